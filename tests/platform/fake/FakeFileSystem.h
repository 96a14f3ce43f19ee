#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Trash.h"

namespace tolvan::platform {

// An in-memory file system that records what was created, copied and removed, and fails
// on request. Listings are in name order.
class FakeFileSystem : public FileSystem {
 public:
  enum class Op { List, Stat, Copy, MakeDir, SetPermissions, Remove, Open, Write, ReadFile, Close };

  struct Node {
    std::string path;  // as created (the spelling a case-blind lookup reports)
    EntryKind kind = EntryKind::File;
    std::uint32_t mode = 0644;
    std::string content;  // a file's bytes or a link's target
    std::int64_t mtime = 0;
    std::uint64_t inode = 0;  // given by the tree when 0; kept through renames
  };

  FakeFileSystem() { put({"/", EntryKind::Directory, 0755, {}}); }

  // --- Building a tree (missing folders on the way are made) ---
  void addDirectory(const std::string& path, std::int64_t mtime = 0, std::uint32_t mode = 0755) {
    add({path, EntryKind::Directory, mode, {}, mtime});
  }
  void addFile(const std::string& path, std::string content = {}, std::int64_t mtime = 0,
               std::uint32_t mode = 0644) {
    add({path, EntryKind::File, mode, std::move(content), mtime});
  }
  void addLink(const std::string& path, const std::string& target, std::int64_t mtime = 0) {
    add({path, EntryKind::Symlink, 0777, target, mtime});
  }
  void addSpecial(const std::string& path, std::int64_t mtime = 0) {
    add({path, EntryKind::Special, 0644, {}, mtime});
  }
  void setMtime(const std::string& path, std::int64_t mtime) {
    if (Node* node = at(path)) node->mtime = mtime;
  }
  // `path` now reads as the very folder `other` (as a bind mount would), its own entries kept.
  void shareIdentity(const std::string& path, const std::string& other) {
    if (Node* node = at(path); node != nullptr && exists(other)) node->inode = find(other)->inode;
  }
  // Lookups at or below `root` ignore letter case (a vfat mount there; "/": all, "": none).
  void setCaseBlindBelow(const std::string& root) { caseBlindRoot_ = root; }

  // --- Failures ---
  // The next calls of `op` on exactly `path` fail with `error` (forever unless `times`).
  void failOn(Op op, const std::string& path, int error, int times = -1) {
    failures_[{op, path}] = {error, times};
  }
  // The next `times` copies of `source` find it rewritten in place while they read it: half
  // of the old content is read, then the file holds `rewritten`, a second newer. As the real
  // copy does, such a copy puts nothing in place and gives kChangedWhileCopied.
  void rewriteDuringCopy(const std::string& source, std::string rewritten, int times) {
    rewrites_[key(source)] = {std::move(rewritten), times};
  }
  // A listing of `path` fails with `error` after returning `afterEntries` entries.
  void failListingAfter(const std::string& path, std::size_t afterEntries, int error) {
    listingFailures_[path] = {afterEntries, error};
  }
  // Set, copyOnWorker calls this (from the workers' threads).
  std::function<int(const std::string& source, const std::string& target, bool replace)> workerCopy;
  // Set, the volume is as a network share: every listing open, entry read and lookup waits
  // this long first. Either set, forAnotherThread gives copies of this object as it is then,
  // so that other threads read the same tree and never touch this one.
  std::optional<std::chrono::microseconds> roundTrip;
  std::int64_t lookupNs = 0;       // what lookupNanoseconds says
  std::size_t listingsOpened = 0;  // through this object
  std::unique_ptr<FileSystem> forAnotherThread() override {
    if (!workerCopy && !roundTrip) return nullptr;
    return std::make_unique<FakeFileSystem>(*this);
  }
  std::int64_t lookupNanoseconds(const std::string&) override { return lookupNs; }
  int copyOnWorker(const std::string& source, const std::string& target, bool replace) override {
    return workerCopy ? workerCopy(source, target, replace) : ENOTSUP;
  }
  // Called before every call of `op` on a path, e.g. to change the tree under a running pass.
  std::function<void(Op op, const std::string& path)> beforeOp;
  // Another process holds the file locked (as an open file of this one would).
  void lockByOtherProcess(const std::string& path) {
    heldLocks_[key(path)] = std::make_shared<std::string>(path);
  }
  void unlockByOtherProcess(const std::string& path) { heldLocks_.erase(key(path)); }

  // --- Inspection ---
  [[nodiscard]] bool exists(const std::string& path) const { return find(path) != nullptr; }
  [[nodiscard]] const Node* find(const std::string& path) const {
    auto it = nodes_.find(key(path));
    return it == nodes_.end() ? nullptr : &it->second;
  }
  [[nodiscard]] std::string contentOf(const std::string& path) const {
    const Node* node = find(path);
    return node != nullptr ? node->content : std::string();
  }
  [[nodiscard]] std::vector<std::string> childrenOf(const std::string& dir) const;
  // True when a folder of `path` below the write root is a link.
  [[nodiscard]] bool linkOnTheWay(const std::string& path) const;
  std::vector<std::string> created;  // folders made and files copied, in order
  std::vector<std::pair<std::string, std::string>> copied;
  std::vector<std::string> removed;  // every path removed, a tree's content included
  std::string writeRoot;

  // --- Volumes ---
  std::uint64_t freeBytes = 1ULL << 40, totalBytes = 1ULL << 41;
  int diskSpaceError = 0;
  std::map<std::string, std::string> labels;  // mount point -> label
  std::set<std::string> mountPoints{"/"};
  // What checkHeldRoot says of the master's and of the backup's root (0: still there).
  int heldRootError[2] = {0, 0};

  // FileSystem
  std::unique_ptr<DirectoryListing> openListing(const std::string& dir, int& error) override;
  int statEntry(const std::string& path, FileStat& out) override;
  int readLink(const std::string& path, std::string& text) override {
    const Node* node = find(path);
    if (node == nullptr) return ENOENT;
    if (node->kind != EntryKind::Symlink) return EINVAL;
    text = node->content;
    return 0;
  }
  int storedName(const std::string& path, std::string& name) override {
    const Node* node = find(path);
    if (node != nullptr) name = node->path.substr(node->path.rfind('/') + 1);
    return node != nullptr ? 0 : ENOENT;
  }
  void setReadRoot(const std::string& root) override { holdRoot(Side::Master, root); }
  void setWriteRoot(const std::string& root) override {
    writeRoot = root;
    holdRoot(Side::Backup, root);
  }
  int checkHeldRoot(Side side) override;
  int heldRootIdentity(Side side, EntryIdentity& out) override;
  int copyFile(const std::string& source, const std::string& target, Trash* trash) override {
    return copyOnto(source, target, trash, false);
  }
  int copyNewFile(const std::string& source, const std::string& target) override {
    return copyOnto(source, target, nullptr, true);
  }
  // Set, the volume is a share whose server follows links by path: a copied link takes this
  // time, of its making, instead of the master link's, and a removal follows the links in the
  // folder part of its path.
  std::optional<std::int64_t> linksMadeAt;
  bool followsLinksByPath(const std::string&) override { return linksMadeAt.has_value(); }
  int makeDirectory(const std::string& path) override {
    if (int e = injected(Op::MakeDir, path); e != 0) return e;
    if (exists(path)) return EEXIST;
    if (int e = checkParent(path); e != 0) return e;
    put(Node{path, EntryKind::Directory, 0755, {}});
    created.push_back(path);
    return 0;
  }
  int setPermissions(const std::string& path, std::uint32_t mode) override {
    if (int e = injected(Op::SetPermissions, path); e != 0) return e;
    Node* node = at(path);
    if (node != nullptr) node->mode = mode & 07777;
    return node != nullptr ? 0 : ENOENT;
  }
  int removeEntry(const std::string& path) override;
  int removeTree(const std::string& path) override;
  // The fake has no permission bits that could stand in the way.
  int moveToTrash(const std::string& path, Trash& trash) override {
    return trash.moveToTrash(path);
  }
  int diskSpace(const std::string&, std::uint64_t& freeOut, std::uint64_t& totalOut) override {
    if (diskSpaceError != 0) return diskSpaceError;
    freeOut = freeBytes;
    totalOut = totalBytes;
    return 0;
  }
  int volumeLabel(const std::string& path, std::string& label) override;
  bool isMountPoint(const std::string& path) override { return mountPoints.count(path) != 0; }
  // No aliases: the path itself when it exists.
  int shortPath(const std::string& path, std::string& out) override {
    out = path;
    return exists(path) ? 0 : ENOENT;
  }
  bool isOnUnmountedVolume(const std::string&) override { return false; }
  std::unique_ptr<LockedFile> openLocked(const std::string& path, OpenMode mode,
                                         int& error) override;
  int readFile(const std::string& path, std::string& content) override {
    if (int e = injected(Op::ReadFile, path); e != 0) return e;
    const Node* node = find(path);
    if (node == nullptr) return ENOENT;
    if (node->kind == EntryKind::Directory) return EISDIR;
    content = node->content;
    return 0;
  }
  int writeFile(const std::string& path, std::string_view content) override {
    if (int e = injected(Op::Write, path); e != 0) return e;
    if (int e = checkParent(path); e != 0) return e;
    const Node* old = find(path);
    if (old != nullptr && old->kind == EntryKind::Directory) return EISDIR;
    put(Node{old != nullptr ? old->path : path, EntryKind::File, 0644, std::string(content)});
    return 0;
  }
  int renameEntry(const std::string& from, const std::string& to) override;
  int makeDirectories(const std::string& path) override;
  // Links resolved through the tree; the identity of an entry is its inode (device 1), which
  // a rename keeps and shareIdentity gives to a second path.
  int resolvePath(const std::string& path, ResolvedPath& out) override;

  // Used by the fake trash: takes a whole subtree out of the tree.
  std::vector<Node> detach(const std::string& path);

 private:
  friend class FakeListing;
  friend class FakeLockedFile;

  // A side's root as held when it was set: its path, and its identity or why it had none.
  struct HeldRoot {
    std::string path;
    EntryIdentity identity;
    int error = 0;
  };
  void holdRoot(Side side, const std::string& root);
  // A side's root path is listed as the folder held there, wherever that folder is now.
  [[nodiscard]] std::string heldFolderAt(const std::string& dir) const;

  int copyOnto(const std::string& source, const std::string& target, Trash* trash,
               bool mustBeAbsent);
  // The content a copy of `source` reads, rewritten halfway if asked (rewriteDuringCopy);
  // kChangedWhileCopied when the file moved meanwhile.
  int readForCopy(const std::string& source, std::string& content);
  [[nodiscard]] std::string key(const std::string& path) const;
  // `path` with the links of its folder part followed where linksMadeAt says the server does.
  [[nodiscard]] std::string asTheServerFinds(const std::string& path) const;
  Node* at(const std::string& path) { return const_cast<Node*>(find(path)); }
  [[nodiscard]] int injected(Op op, const std::string& path) {
    if (beforeOp) beforeOp(op, path);
    auto it = failures_.find({op, path});
    if (it == failures_.end() || it->second.second == 0) return 0;
    if (it->second.second > 0) --it->second.second;
    return it->second.first;
  }
  [[nodiscard]] int checkParent(const std::string& path) const;
  [[nodiscard]] int followLinks(const std::string& path, std::string& resolved) const;
  int append(const std::string& path, std::string_view bytes);
  void add(Node node);
  void waitRoundTrip() const {
    if (roundTrip) std::this_thread::sleep_for(*roundTrip);
  }
  void put(Node node) {
    if (node.inode == 0) node.inode = ++lastInode_;
    nodes_[key(node.path)] = std::move(node);
  }

  std::map<std::string, Node> nodes_;                                   // by key()
  std::map<std::pair<Op, std::string>, std::pair<int, int>> failures_;  // error, calls left to fail
  std::map<std::string, std::pair<std::size_t, int>> listingFailures_;
  std::map<std::string, std::pair<std::string, int>> rewrites_;  // by key(): content, copies
  // By key(): the path of the open file that holds the lock, shared with that file so that a
  // rename takes the lock and the file's later writes along (a lock belongs to the open file).
  std::map<std::string, std::shared_ptr<std::string>> heldLocks_;
  std::string caseBlindRoot_;
  std::uint64_t lastInode_ = 0;
  HeldRoot heldRoots_[2];
};

// Takes entries out of a FakeFileSystem and keeps them, so tests can see what was trashed.
class FakeTrash : public Trash {
 public:
  explicit FakeTrash(FakeFileSystem& fs) : fs_(fs) {}
  int moveToTrash(const std::string& path) override {
    if (failWith != 0) return failWith;
    if (fs_.linkOnTheWay(path)) return ELOOP;
    if (!fs_.exists(path)) return ENOENT;
    auto nodes = fs_.detach(path);
    contents.insert(contents.end(), nodes.begin(), nodes.end());
    trashed.push_back(path);
    return 0;
  }

  int failWith = 0;                  // every move fails with this errno when non-zero
  std::vector<std::string> trashed;  // top paths moved, in order
  std::vector<FakeFileSystem::Node> contents;

 private:
  FakeFileSystem& fs_;
};

}  // namespace tolvan::platform
