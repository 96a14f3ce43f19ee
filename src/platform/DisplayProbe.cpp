#include "platform/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

// `abstractName`: the name lies in the abstract namespace (Linux X servers listen there too).
bool SocketAnswers(const std::string& path, bool abstractName) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstractName ? 1 : 0;
  if (path.empty() || path.size() + offset >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const UniqueFd socketFd{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  if (socketFd.get() < 0) return false;
  const auto length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  return ::connect(socketFd.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

bool WaylandAnswers(const std::string& name, const std::string& runtimeFolder) {
  if (name.empty()) return false;
  if (name.front() == '/') return SocketAnswers(name, false);
  return !runtimeFolder.empty() && SocketAnswers(runtimeFolder + "/" + name, false);
}

// ":0", ":0.1", "unix:0" are local servers; "host:10.0" is another host's.
bool X11Answers(const std::string& display, const std::string& x11Folder) {
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  if (!host.empty() && host != "unix") return true;
  const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::string path = x11Folder + "/X" + number;
  return SocketAnswers(path, false) || SocketAnswers(path, true);
}

}  // namespace

bool DisplayAnswers(const std::string& display, const std::string& waylandDisplay,
                    const DisplaySockets& sockets) {
  return WaylandAnswers(waylandDisplay, sockets.runtimeFolder) ||
         (!display.empty() && X11Answers(display, sockets.x11Folder));
}

}  // namespace tolvan::platform
