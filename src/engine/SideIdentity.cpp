#include "engine/SideIdentity.h"

#include <algorithm>

#include "engine/Paths.h"

namespace tolvan {
namespace {

bool Within(const platform::ResolvedPath& inner, const platform::ResolvedPath& outer) {
  if (IsSameOrBelow(inner.path, outer.path)) return true;
  const platform::EntryIdentity& folder = outer.lineage.front();
  return std::find(inner.lineage.begin(), inner.lineage.end(), folder) != inner.lineage.end();
}

bool Resolve(platform::FileSystem& fs, const std::string& path, platform::ResolvedPath& out) {
  return IsUsablePathText(path) && fs.resolvePath(path, out) == 0 && !out.lineage.empty();
}

}  // namespace

bool IsUsablePathText(std::string_view path) {
  return path.size() < platform::kPathLimit && path.find('\0') == std::string_view::npos;
}

bool LiesWithin(platform::FileSystem& fs, const std::string& inner, const std::string& outer) {
  platform::ResolvedPath resolvedInner;
  platform::ResolvedPath resolvedOuter;
  return Resolve(fs, inner, resolvedInner) && Resolve(fs, outer, resolvedOuter) &&
         Within(resolvedInner, resolvedOuter);
}

bool SidesOverlap(platform::FileSystem& fs, const std::string& from, const std::string& to) {
  platform::ResolvedPath resolvedFrom;
  platform::ResolvedPath resolvedTo;
  if (!Resolve(fs, from, resolvedFrom) || !Resolve(fs, to, resolvedTo)) return false;
  return Within(resolvedFrom, resolvedTo) || Within(resolvedTo, resolvedFrom);
}

}  // namespace tolvan
