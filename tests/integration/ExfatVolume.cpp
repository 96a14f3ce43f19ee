#include "ExfatVolume.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/TempFolder.h"

namespace tolvan::testing {
namespace {

using namespace std::chrono_literals;

// The full path of a system tool, or empty text when it is not installed.
std::string Tool(const std::string& name) {
  for (const char* folder : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
    const std::string path = folder + name;
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

// Runs a tool with its output (both streams) in `output`; its exit status, -1 when it did
// not exit normally.
int RunTool(const std::vector<std::string>& argv, std::string& output) {
  char pattern[] = "/tmp/tolvan-tool-XXXXXX";
  const int out = ::mkstemp(pattern);
  if (out < 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  const bool exited = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status);
  ::close(out);
  output = platform::testing::ReadText(pattern);
  ::unlink(pattern);
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  return exited ? WEXITSTATUS(status) : -1;
}

std::string Failed(const std::vector<std::string>& argv, const std::string& output) {
  std::string command;
  for (const auto& arg : argv) command += (command.empty() ? "" : " ") + arg;
  return "'" + command + "' failed: " + output;
}

std::uint64_t DeviceOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

bool IsMountedOn(const std::string& mountPoint) {
  const std::uint64_t own = DeviceOf(mountPoint);
  return own != 0 && own != DeviceOf(mountPoint + "/..");
}

}  // namespace

ExfatVolume::ExfatVolume(const std::string& image, const std::string& mountPoint)
    : mountPoint_(mountPoint) {
  whyNot_ = missingPrerequisite();
  if (whyNot_.empty()) whyNot_ = attachAndMount(image);
}

ExfatVolume::~ExfatVolume() {
  unmount();
  detach();
}

std::string ExfatVolume::missingPrerequisite() const {
  if (::geteuid() != 0) return "attaching a loop device needs root";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "no usable /dev/fuse";
  for (const char* tool : {"losetup", "mkfs.exfat", "mount.exfat-fuse"}) {
    if (Tool(tool).empty())
      return std::string("no ") + tool + " (scripts/setup.sh installs exfat-fuse and exfatprogs)";
  }
  return {};
}

// mount.exfat-fuse mounts block devices only ("Block device required" for an image file),
// hence the loop device.
std::string ExfatVolume::attachAndMount(const std::string& image) {
  std::string output;
  platform::testing::WriteText(image, "");
  if (::truncate(image.c_str(), 16 << 20) != 0) return "cannot make the image " + image;
  const std::vector<std::string> format{Tool("mkfs.exfat"), image};
  if (RunTool(format, output) != 0) return Failed(format, output);
  const std::vector<std::string> attach{Tool("losetup"), "--find", "--show", image};
  if (RunTool(attach, output) != 0) return Failed(attach, output);
  loopDevice_ = output;
  const std::vector<std::string> mount{Tool("mount.exfat-fuse"), loopDevice_, mountPoint_};
  if (RunTool(mount, output) != 0) return Failed(mount, output);
  mounted_ = true;
  // The file system daemon may still be settling when the mount command returns.
  for (int tries = 0; tries < 100 && !IsMountedOn(mountPoint_); ++tries)
    std::this_thread::sleep_for(50ms);
  return IsMountedOn(mountPoint_) ? "" : mountPoint_ + " does not show the mounted volume";
}

void ExfatVolume::unmount() {
  if (!mounted_) return;
  std::string output;
  if (RunTool({Tool("umount"), mountPoint_}, output) != 0 &&
      RunTool({Tool("fusermount"), "-u", mountPoint_}, output) != 0) {
    (void)::umount2(mountPoint_.c_str(), MNT_DETACH);  // gone as soon as it is no longer busy
  }
  mounted_ = false;
}

void ExfatVolume::detach() {
  if (loopDevice_.empty()) return;
  std::string output;
  // The daemon may hold the device for a moment after the unmount.
  for (int tries = 0; tries < 50 && RunTool({Tool("losetup"), "-d", loopDevice_}, output) != 0;
       ++tries)
    std::this_thread::sleep_for(100ms);
  loopDevice_.clear();
}

}  // namespace tolvan::testing
