#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "TempFolder.h"
#include "platform/DisplayProbe.h"

namespace tolvan::platform {
namespace {

// A Unix socket at `path`, listening while the object lives.
class ListeningSocket {
 public:
  explicit ListeningSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::listen(fd_, 4), 0);
  }
  ~ListeningSocket() { ::close(fd_); }
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

 private:
  int fd_;
};

TEST(DisplayProbeTest, OnlyAServerThatListensCountsAndARemoteDisplayIsTrusted) {
  testing::TempFolder tmp;
  const DisplaySockets sockets{tmp.path(), tmp.path()};
  {
    const ListeningSocket x7(tmp / "X7");
    const ListeningSocket wayland(tmp / "wayland-3");
    for (const char* display : {":7", ":7.0", "unix:7"}) {
      EXPECT_TRUE(DisplayAnswers(display, "", sockets)) << display;
    }
    EXPECT_TRUE(DisplayAnswers("", "wayland-3", sockets));
    EXPECT_TRUE(DisplayAnswers("", tmp / "wayland-3", DisplaySockets{tmp.path(), ""}));
    EXPECT_FALSE(DisplayAnswers("", "wayland-3", DisplaySockets{tmp.path(), ""}));
  }
  // The servers have gone; their socket files stay behind, as after a crash.
  for (const char* display : {":7", ":8", "", ":x", "7"}) {
    EXPECT_FALSE(DisplayAnswers(display, "wayland-3", sockets)) << display;
  }
  EXPECT_TRUE(DisplayAnswers("remote.example:10.0", "", sockets));
}

}  // namespace
}  // namespace tolvan::platform
