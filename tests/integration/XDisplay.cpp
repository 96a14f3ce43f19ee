#include "XDisplay.h"

// Before Xlib.h, whose macros (None, Bool) break the test framework's headers.
#include "ProgramRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <thread>

namespace tolvan::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads from `fd` until it is closed or the deadline passes; false on the deadline.
bool ReadUntilClosed(int fd, Clock::time_point deadline, std::string& text,
                     const std::function<bool(const std::string&)>& enough = {}) {
  char buffer[4096];
  for (;;) {
    if (enough && enough(text)) return true;
    pollfd ready{fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, MillisecondsLeft(deadline));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return false;
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return true;
    text.append(buffer, static_cast<std::size_t>(count));
  }
}

int Collect(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string InstalledProgram(const std::string& name) {
  for (const char* folder : {"/usr/local/bin/", "/usr/bin/", "/bin/"}) {
    const std::string path = folder + name;
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

XvfbDisplay::~XvfbDisplay() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (!WaitFor([this] { return HasEnded(pid_); }, std::chrono::seconds(5))) ::kill(pid_, SIGKILL);
  (void)Collect(pid_);
}

std::string XvfbDisplay::start(const std::string& logPath) {
  const std::string server = InstalledProgram("Xvfb");
  if (server.empty()) return "Xvfb is not installed";
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return "no pipe for Xvfb";
  pid_ = ::fork();
  if (pid_ == 0) {
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = ::open("/dev/null", O_RDONLY);
    if (log < 0 || in < 0) _exit(127);
    ::dup2(in, 0);
    ::dup2(log, 1);
    ::dup2(log, 2);
    ::dup2(pipeEnds[1], 3);  // the server writes its display number there
    ::fcntl(3, F_SETFD, 0);  // kept open across exec, also when the pipe already was fd 3
    std::vector<std::string> argv{server,        "-displayfd", "3",   "-screen", "0",
                                  "1024x768x24", "-nolisten",  "tcp", "-noreset"};
    ::execv(server.c_str(), CStrings(argv).data());
    _exit(127);
  }
  ::close(pipeEnds[1]);
  std::string number;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  (void)ReadUntilClosed(pipeEnds[0], deadline, number,
                        [](const std::string& text) { return text.find('\n') != text.npos; });
  ::close(pipeEnds[0]);
  if (pid_ < 0 || number.find('\n') == std::string::npos) return "Xvfb did not start (see its log)";
  name_ = ":" + number.substr(0, number.find('\n'));
  return {};
}

ToolResult RunXTool(const std::string& display, const std::vector<std::string>& argv,
                    std::chrono::milliseconds limit) {
  ToolResult result;
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(pipeEnds[1], 1);
    ::dup2(in, 2);
    std::vector<std::string> args = argv;
    std::vector<std::string> environment{"DISPLAY=" + display, "PATH=/usr/bin:/bin"};
    ::execve(args[0].c_str(), CStrings(args).data(), CStrings(environment).data());
    _exit(127);
  }
  ::close(pipeEnds[1]);
  if (pid < 0) {
    ::close(pipeEnds[0]);
    return result;
  }
  const bool finished = ReadUntilClosed(pipeEnds[0], Clock::now() + limit, result.out);
  ::close(pipeEnds[0]);
  if (!finished) ::kill(pid, SIGKILL);
  const int status = Collect(pid);
  result.exitStatus = finished ? status : -1;
  return result;
}

bool AskWindowToClose(const std::string& display, const std::string& windowId) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = static_cast<Window>(std::stoul(windowId));
  message.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
  message.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(connection, message.xclient.window, False, NoEventMask, &message);
  XSync(connection, False);
  XCloseDisplay(connection);
  return sent != 0;
}

bool WaitFor(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (ready()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace tolvan::testing
