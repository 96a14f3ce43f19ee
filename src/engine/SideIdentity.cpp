#include "engine/SideIdentity.h"

#include <algorithm>

#include "engine/Paths.h"

namespace tolvan {

bool IsUsablePathText(std::string_view path) {
  return path.size() < platform::kPathLimit && path.find('\0') == std::string_view::npos;
}

bool ResolveSide(platform::FileSystem& fs, const std::string& path, platform::ResolvedPath& out) {
  return IsUsablePathText(path) && fs.resolvePath(path, out) == 0 && !out.lineage.empty();
}

bool LiesWithin(const platform::ResolvedPath& inner, const platform::ResolvedPath& outer) {
  if (IsSameOrBelow(inner.path, outer.path)) return true;
  const platform::EntryIdentity& folder = outer.lineage.front();
  return std::find(inner.lineage.begin(), inner.lineage.end(), folder) != inner.lineage.end();
}

bool SidesOverlap(const platform::ResolvedPath& from, const platform::ResolvedPath& to) {
  return LiesWithin(from, to) || LiesWithin(to, from);
}

bool IsHeldRoot(platform::FileSystem& fs, platform::Side side,
                const platform::ResolvedPath& resolved) {
  platform::EntryIdentity held;
  if (fs.heldRootIdentity(side, held) != 0) return true;
  return resolved.lineage.front() == held;
}

}  // namespace tolvan
