#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/EntryInfo.h"
#include "engine/MountPoints.h"
#include "engine/TreeListings.h"

namespace tolvan {

struct Engine;
struct OsVersionInfo;

// Copies one file (or link) onto the backup atomically, keeping content, permissions and
// modification time. With the shell copy (ErrorFreeOption and OldNT off) and TrashBox on,
// the old copy goes to the trash once the new one is complete. A master that changes while it
// is read is copied again (CopyWhileSteady). 0, platform::kChangedWhileCopied or an errno.
[[nodiscard]] int CopyFileWithAttributes(Engine& engine, const std::string& source,
                                         const std::string& target, std::int16_t oldNT);
// The same for a caller that has just looked the target up: `backup` is what it found, or a
// missing entry when the lookup said there is none (ENOENT or ENOTDIR; not after any other
// failure). The copy then does not look the target up again.
[[nodiscard]] int CopyFileWithAttributes(Engine& engine, const std::string& source,
                                         const std::string& target, std::int16_t oldNT,
                                         const EntryInfo& backup);

// Looks one entry up (never following a link). A missing entry is not a failure. Returns 1
// after writing an Error line when the time cannot be converted, else 0.
[[nodiscard]] int GetEntryInfo(Engine& engine, const std::string& path, EntryInfo& out);
// The same, also giving the errno of a failed lookup (0 when the entry was found). ENOENT and
// ENOTDIR mean "no such entry"; any other value means the entry could not be looked up
// (for example permission denied on its folder), and `out` then describes a missing entry.
[[nodiscard]] int GetEntryInfo(Engine& engine, const std::string& path, EntryInfo& out,
                               int& lookupError);

// Fills `info` from the running kernel; -1 for the Windows 95 family, else 0.
std::int16_t GetOSVersion(Engine& engine, OsVersionInfo& info);

// What a size walk asks of its caller before each entry.
struct SizeWalkHooks {
  std::function<bool()> stopRequested;
  std::function<void()> letEventsRun;
  // Told each leftover of a killed copy the walk has removed, where set.
  std::function<void(const std::string& path)> removedLeftover;
};

struct RunExclusions;

// What a size walk keeps of the tree besides its figures, where asked: the listings of its
// folders, the identities of its folders, and its folders on volumes of their own. Entries
// `exclusions` leave out are neither counted, walked nor kept.
struct SizeWalkRecords {
  TreeListings* listings = nullptr;
  FolderIdentities* folders = nullptr;
  MountPoints* mounts = nullptr;
  const RunExclusions* exclusions = nullptr;
};

// What the size walk does with leftovers of killed copies (IsPartialCopyLeftover): they are
// never counted; the walk of the backup tree before a real run removes them.
enum class LeftoverCopies : std::uint8_t { Keep, Remove };

// Total bytes of a tree; adds to the folder and file counts. A folder that cannot be listed
// adds 0 bytes. Hidden entries count.
[[nodiscard]] double TreeSize(Engine& engine, const std::string& folder, std::int16_t childDir,
                              std::int64_t& folders, std::int64_t& files,
                              LeftoverCopies leftovers = LeftoverCopies::Keep,
                              SizeWalkRecords records = {});

// TreeSize on any file system object (one of another thread's own, for instance), with
// leftovers of killed copies removed on request.
[[nodiscard]] double TreeSizeWith(platform::FileSystem& fs, const std::string& folder,
                                  std::int16_t childDir, std::int64_t& folders, std::int64_t& files,
                                  const SizeWalkHooks& hooks, bool removeLeftovers,
                                  SizeWalkRecords records = {});

// Free (for the running user) and total bytes of the volume holding `path`.
[[nodiscard]] bool GetDiskSpace(Engine& engine, const std::string& path, double& freeBytes,
                                double& totalBytes);
[[nodiscard]] double DriveTotalSpace(Engine& engine, const std::string& path);
[[nodiscard]] double DriveFreeSpace(Engine& engine, const std::string& path);

[[nodiscard]] std::string TextBeforeNul(const std::string& text);
// The name after the last "/"; `folder` gets the text before it ("/" for a name directly
// below the root).
[[nodiscard]] std::string SplitPath(const std::string& path, std::string& folder);
// The 8.3 form of the path where the volume keeps aliases (FAT), else the path itself;
// empty text when it does not exist.
[[nodiscard]] std::string ShortPathName(Engine& engine, const std::string& path);
// A 16-bit whole number, rounded half to even; 0 when the text is not a number.
[[nodiscard]] std::int16_t TextToInteger(const std::string& text);
[[nodiscard]] std::string TempFolder(Engine& engine);

}  // namespace tolvan
