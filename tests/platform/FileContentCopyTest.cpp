#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "TempFolder.h"
#include "platform/FileContentCopy.h"
#include "platform/LinuxFileSystem.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

constexpr off_t kMiB = 1024 * 1024;
constexpr off_t kSparseSize = 8 * kMiB;

// In one read (ReadText reads 8 KiB at a time).
std::string SparseContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(kSparseSize + 1, '\0');
  in.read(text.data(), kSparseSize + 1);
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

off_t AllocatedBytes(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_blocks * 512 : -1;
}

// Holes stay holes, through the kernel's copy and through reads and writes alike (a folder on
// another file system, where copy_file_range answers EXDEV).
TEST(FileContentCopyTest, HolesStayHoles) {
  TempFolder tmp;
  LinuxFileSystem fs;
  std::vector<std::string> targetFolders{tmp.path()};
  if (tmp.mountTmpfs("other", "4m")) targetFolders.push_back(tmp / "other");
  // Data extents (offset, length) of each file; the rest is holes.
  const std::vector<std::pair<off_t, std::size_t>> layouts[] = {
      {{0, 4096}, {4 * kMiB + 4096, 8192}}, {{kSparseSize - 4096, 4096}}, {}};
  for (const auto& extents : layouts) {
    const std::string source = tmp / "sparse";
    WriteText(source, "");
    ASSERT_EQ(::truncate(source.c_str(), kSparseSize), 0);
    UniqueFd fd(::open(source.c_str(), O_WRONLY | O_CLOEXEC));
    for (const auto& [offset, length] : extents)
      ASSERT_EQ(::pwrite(fd.get(), std::string(length, 'd').data(), length, offset),
                static_cast<ssize_t>(length));
    if (AllocatedBytes(source) >= kMiB)
      GTEST_SKIP() << "the temporary folder's file system does not keep holes";
    for (const std::string& folder : targetFolders) {
      ASSERT_EQ(fs.copyFile(source, folder + "/copy", nullptr), 0) << folder;
      EXPECT_TRUE(SparseContent(folder + "/copy") == SparseContent(source)) << folder;
      EXPECT_LT(AllocatedBytes(folder + "/copy"), kMiB) << folder;
    }
  }
}

// What was appended after the file was opened is left for the next run: the copy always ends.
TEST(FileContentCopyTest, CopiesNoMoreThanTheSizeAtOpening) {
  TempFolder tmp;
  const std::string original(3 * kMiB + 5, 'o');
  WriteText(tmp / "growing", original);
  UniqueFd from(::open((tmp / "growing").c_str(), O_RDONLY | O_CLOEXEC));
  struct stat atOpening {};
  ASSERT_EQ(::fstat(from.get(), &atOpening), 0);
  std::ofstream(tmp / "growing", std::ios::binary | std::ios::app) << std::string(kMiB, 'x');
  UniqueFd to(::open((tmp / "copy").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  std::vector<char> buffer;
  ASSERT_EQ(CopyFileContent(from.get(), to.get(), atOpening, buffer), 0);
  EXPECT_TRUE(ReadText(tmp / "copy") == original);
}

}  // namespace
}  // namespace tolvan::platform
