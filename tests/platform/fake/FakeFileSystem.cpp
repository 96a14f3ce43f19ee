#include "platform/fake/FakeFileSystem.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <sstream>

namespace tolvan::platform {
namespace {

FileStat StatOf(const FakeFileSystem::Node& node) {
  FileStat st;
  st.kind = node.kind;
  if (node.kind == EntryKind::Directory) st.attributes |= kAttrDirectory;
  if (node.kind == EntryKind::Symlink) st.attributes |= kAttrLink;
  if ((node.mode & 0200) == 0) st.attributes |= kAttrReadOnly;
  if (node.path.compare(node.path.rfind('/') + 1, 1, ".") == 0) st.attributes |= kAttrHidden;
  st.size =
      node.kind == EntryKind::Directory ? 4096 : static_cast<std::int64_t>(node.content.size());
  st.mtimeSeconds = node.mtime;
  st.mode = node.mode;
  st.device = 1;
  st.inode = node.inode;
  return st;
}

bool IsBelow(const std::string& key, const std::string& dirKey) {
  if (dirKey == "/") return key.size() > 1 && key[0] == '/';
  return key.size() > dirKey.size() && key.compare(0, dirKey.size(), dirKey) == 0 &&
         key[dirKey.size()] == '/';
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Pushes the components of `path` so that the first one is popped first.
void PushComponents(const std::string& path, std::vector<std::string>& stack) {
  std::vector<std::string> parts;
  std::istringstream components(path);
  for (std::string part; std::getline(components, part, '/');)
    if (!part.empty()) parts.push_back(part);
  stack.insert(stack.end(), parts.rbegin(), parts.rend());
}

}  // namespace

class FakeListing : public DirectoryListing {
 public:
  FakeListing(FakeFileSystem& fs, std::vector<std::string> paths, std::pair<std::size_t, int> fail)
      : fs_(fs), paths_(std::move(paths)), fail_(fail) {}

  int next(std::string_view& name, FileStat& stat) override {
    fs_.waitRoundTrip();
    if (returned_ == fail_.first) return fail_.second;
    while (index_ < paths_.size()) {
      const auto* node = fs_.find(paths_[index_++]);
      if (node == nullptr) continue;  // removed while listed
      name = current_ = node->path.substr(node->path.rfind('/') + 1);
      stat = StatOf(*node);
      ++returned_;
      return 0;
    }
    return -1;
  }

 private:
  FakeFileSystem& fs_;
  std::vector<std::string> paths_;
  std::pair<std::size_t, int> fail_;  // entries returned before the listing fails, and how
  std::size_t index_ = 0, returned_ = 0;
  std::string current_;
};

class FakeLockedFile : public LockedFile {
 public:
  FakeLockedFile(FakeFileSystem& fs, std::shared_ptr<std::string> path)
      : fs_(fs), path_(std::move(path)) {}
  ~FakeLockedFile() override { (void)close(); }
  int write(std::string_view bytes) override { return open_ ? fs_.append(*path_, bytes) : EBADF; }
  int hold(std::string_view bytes) override {
    if (!open_) return EBADF;
    held_ += bytes;
    return 0;
  }
  int writeHeld() override {
    if (!open_ || held_.empty()) return 0;
    return fs_.append(*path_, std::exchange(held_, {}));
  }
  int truncate() override {
    held_.clear();
    return open_ ? fs_.writeFile(*path_, {}) : EBADF;
  }
  // The lock goes whether the close fails or not.
  int close() override {
    if (!open_) return 0;
    const int held = writeHeld();
    open_ = false;
    fs_.heldLocks_.erase(fs_.key(*path_));
    const int closed = fs_.injected(FakeFileSystem::Op::Close, *path_);
    return held != 0 ? held : closed;
  }

 private:
  FakeFileSystem& fs_;
  std::shared_ptr<std::string> path_;  // follows the file through a rename
  std::string held_;
  bool open_ = true;
};

std::string FakeFileSystem::key(const std::string& path) const {
  const bool blind =
      !caseBlindRoot_.empty() && (path == caseBlindRoot_ || IsBelow(path, caseBlindRoot_));
  if (!blind) return path;
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

void FakeFileSystem::add(Node node) {
  if (!exists(ParentOf(node.path))) addDirectory(ParentOf(node.path), node.mtime);
  put(std::move(node));
}

std::vector<std::string> FakeFileSystem::childrenOf(const std::string& dir) const {
  std::vector<std::string> children;
  const std::string dirKey = key(dir);
  for (const auto& [k, node] : nodes_)
    if (IsBelow(k, dirKey) &&
        k.find('/', dirKey == "/" ? 1 : dirKey.size() + 1) == std::string::npos)
      children.push_back(node.path);
  return children;
}

bool FakeFileSystem::linkOnTheWay(const std::string& path) const {
  if (writeRoot.empty() || !IsBelow(key(path), key(writeRoot))) return false;
  for (std::string folder = ParentOf(path); IsBelow(key(folder), key(writeRoot));
       folder = ParentOf(folder)) {
    const Node* node = find(folder);
    if (node != nullptr && node->kind == EntryKind::Symlink) return true;
  }
  return false;
}

int FakeFileSystem::checkParent(const std::string& path) const {
  const Node* parent = find(ParentOf(path));
  if (parent == nullptr) return ENOENT;
  return parent->kind == EntryKind::Directory ? 0 : ENOTDIR;
}

std::unique_ptr<DirectoryListing> FakeFileSystem::openListing(const std::string& dir, int& error) {
  waitRoundTrip();
  ++listingsOpened;
  error = injected(Op::List, dir);
  const Node* node = find(heldFolderAt(dir));
  if (error == 0 && node == nullptr) error = ENOENT;
  if (error == 0 && node->kind != EntryKind::Directory) error = ENOTDIR;
  if (error != 0) return nullptr;
  const auto fail = listingFailures_.find(dir);
  return std::make_unique<FakeListing>(
      *this, childrenOf(node->path),
      fail != listingFailures_.end() ? fail->second : std::pair{static_cast<std::size_t>(-1), 0});
}

int FakeFileSystem::statEntry(const std::string& path, FileStat& out) {
  waitRoundTrip();
  out = FileStat{};
  if (int e = injected(Op::Stat, path); e != 0) return e;
  const Node* node = find(path);
  if (node == nullptr) return checkParent(path) == ENOTDIR ? ENOTDIR : ENOENT;
  out = StatOf(*node);
  return 0;
}

int FakeFileSystem::readForCopy(const std::string& source, std::string& content) {
  const Node before = *find(source);
  content = before.content.substr(0, before.content.size() / 2);
  auto rewrite = rewrites_.find(key(source));
  if (rewrite != rewrites_.end() && rewrite->second.second > 0) {
    --rewrite->second.second;
    Node* node = at(source);
    node->content = rewrite->second.first;
    node->mtime = before.mtime + 1;
  }
  const Node& now = *find(source);
  content += now.content.substr(std::min(content.size(), now.content.size()));
  return now.content.size() == before.content.size() && now.mtime == before.mtime
             ? 0
             : kChangedWhileCopied;
}

int FakeFileSystem::copyOnto(const std::string& source, const std::string& target, Trash* trash,
                             bool mustBeAbsent) {
  if (int e = injected(Op::Copy, target); e != 0) return e;
  if (int e = injected(Op::Stat, source); e != 0) return e;  // the copy looks its source up
  const Node* src = find(source);
  if (src == nullptr) return ENOENT;
  if (src->kind == EntryKind::Directory) return EISDIR;
  if (int e = checkParent(target); e != 0) return e;
  const Node* old = find(target);
  if (old != nullptr && mustBeAbsent) return EEXIST;
  if (old != nullptr && old->kind == EntryKind::Directory) return EISDIR;
  Node copy = *src;
  if (int e = readForCopy(source, copy.content); e != 0) return e;
  copy.path = old != nullptr ? old->path : target;
  copy.inode = 0;  // a new file
  if (copy.kind == EntryKind::Symlink && linksMadeAt) copy.mtime = *linksMadeAt;
  if (int e = old != nullptr && trash != nullptr ? trash->moveToTrash(target) : 0; e != 0) return e;
  put(copy);
  created.push_back(target);
  copied.emplace_back(source, target);
  return 0;
}

std::string FakeFileSystem::asTheServerFinds(const std::string& path) const {
  std::string folder;
  if (!linksMadeAt || followLinks(ParentOf(path), folder) != 0) return path;
  return (folder == "/" ? "" : folder) + path.substr(path.rfind('/'));
}

int FakeFileSystem::removeEntry(const std::string& asked) {
  if (int e = injected(Op::Remove, asked); e != 0) return e;
  const std::string path = asTheServerFinds(asked);
  auto it = nodes_.find(key(path));
  if (it == nodes_.end()) return ENOENT;
  if (it->second.kind == EntryKind::Directory && !childrenOf(path).empty()) return ENOTEMPTY;
  removed.push_back(it->second.path);
  nodes_.erase(it);
  return 0;
}

int FakeFileSystem::removeTree(const std::string& asked) {
  if (int e = injected(Op::Remove, asked); e != 0) return e;
  const std::string path = asTheServerFinds(asked);
  if (!exists(path)) return ENOENT;
  for (const auto& child : childrenOf(path))
    if (int e = removeTree(child); e != 0) return e;
  return removeEntry(path);
}

std::vector<FakeFileSystem::Node> FakeFileSystem::detach(const std::string& path) {
  std::vector<Node> taken;
  const std::string k = key(path);
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    const bool inside = it->first == k || IsBelow(it->first, k);
    if (inside) taken.push_back(it->second);
    it = inside ? nodes_.erase(it) : std::next(it);
  }
  return taken;
}

int FakeFileSystem::volumeLabel(const std::string& path, std::string& label) {
  // The mount points above a path are listed from the root down: the last one is the nearest.
  label.clear();
  for (const auto& [mount, text] : labels)
    if (path == mount || mount == "/" || IsBelow(path, mount)) label = text;
  return 0;
}

std::unique_ptr<LockedFile> FakeFileSystem::openLocked(const std::string& path, OpenMode mode,
                                                       int& error) {
  error = injected(Op::Open, path);
  if (error == 0 && heldLocks_.count(key(path)) != 0) error = EAGAIN;
  if (error == 0) error = checkParent(path);
  if (error != 0) return nullptr;
  const Node* node = find(path);
  if (node == nullptr || mode == OpenMode::Truncate)
    put(Node{node != nullptr ? node->path : path, EntryKind::File, 0644, {}});
  auto held = std::make_shared<std::string>(path);
  heldLocks_[key(path)] = held;
  return std::make_unique<FakeLockedFile>(*this, held);
}

int FakeFileSystem::append(const std::string& path, std::string_view bytes) {
  if (int e = injected(Op::Write, path); e != 0) return e;
  auto it = nodes_.find(key(path));
  if (it == nodes_.end()) return ENOENT;
  it->second.content.append(bytes);
  return 0;
}

int FakeFileSystem::renameEntry(const std::string& from, const std::string& to) {
  if (!exists(from)) return ENOENT;
  if (int e = checkParent(to); e != 0) return e;
  for (auto& node : detach(from)) {
    node.path = to + node.path.substr(from.size());
    put(node);
  }
  if (auto held = heldLocks_.extract(key(from))) {
    *held.mapped() = to;
    held.key() = key(to);
    heldLocks_.insert(std::move(held));
  }
  return 0;
}

int FakeFileSystem::makeDirectories(const std::string& path) {
  if (exists(path)) return find(path)->kind == EntryKind::Directory ? 0 : ENOTDIR;
  if (int e = makeDirectories(ParentOf(path)); e != 0) return e;
  return makeDirectory(path);
}

int FakeFileSystem::followLinks(const std::string& path, std::string& resolved) const {
  constexpr int kMaxLinks = 40;  // as the kernel
  std::vector<std::string> pending;
  PushComponents(path, pending);
  resolved = "/";
  int links = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    if (name == "..") resolved = ParentOf(resolved);
    if (name == "." || name == "..") continue;
    const Node* node = find(resolved == "/" ? "/" + name : resolved + "/" + name);
    if (node == nullptr) return ENOENT;
    if (node->kind == EntryKind::Symlink) {
      if (++links > kMaxLinks) return ELOOP;
      if (!node->content.empty() && node->content.front() == '/') resolved = "/";
      PushComponents(node->content, pending);
      continue;
    }
    if (!pending.empty() && node->kind != EntryKind::Directory) return ENOTDIR;
    resolved = node->path;
  }
  return 0;
}

int FakeFileSystem::resolvePath(const std::string& path, ResolvedPath& out) {
  out = ResolvedPath{};
  if (path.find('\0') != std::string::npos) return EINVAL;
  if (path.size() >= kPathLimit) return ENAMETOOLONG;
  std::string resolved;
  if (int e = followLinks(path, resolved); e != 0) return e;
  for (std::string folder = resolved;; folder = ParentOf(folder)) {
    out.lineage.push_back({1, find(folder)->inode});
    if (folder == "/") break;
  }
  out.path = std::move(resolved);
  return 0;
}

void FakeFileSystem::holdRoot(Side side, const std::string& root) {
  HeldRoot& held = heldRoots_[static_cast<int>(side)];
  held = HeldRoot{root, {}, 0};
  ResolvedPath resolved;
  if (!root.empty()) held.error = resolvePath(root, resolved);
  if (held.error == 0 && !resolved.lineage.empty()) held.identity = resolved.lineage.front();
}

std::string FakeFileSystem::heldFolderAt(const std::string& dir) const {
  for (const HeldRoot& held : heldRoots_) {
    if (held.path.empty() || held.error != 0 || key(held.path) != key(dir)) continue;
    for (const auto& [k, node] : nodes_)
      if (node.inode == held.identity.inode && node.kind == EntryKind::Directory) return node.path;
  }
  return dir;
}

int FakeFileSystem::checkHeldRoot(Side side) {
  if (int e = heldRootError[static_cast<int>(side)]; e != 0) return e;
  const HeldRoot& held = heldRoots_[static_cast<int>(side)];
  if (held.path.empty()) return 0;
  if (held.error != 0) return held.error;
  ResolvedPath now;
  if (int e = resolvePath(held.path, now); e != 0) return e;
  return now.lineage.front() == held.identity ? 0 : ENODEV;
}

int FakeFileSystem::heldRootIdentity(Side side, EntryIdentity& out) {
  const HeldRoot& held = heldRoots_[static_cast<int>(side)];
  if (held.path.empty()) return ENOENT;
  if (held.error == 0) out = held.identity;
  return held.error;
}

}  // namespace tolvan::platform
