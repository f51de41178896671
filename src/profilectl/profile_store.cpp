#include "profilectl/profile_store.h"

#include <algorithm>

namespace profilectl {
namespace {

void VisitEntries(std::string_view list, ListVisitor& visitor) {
  for (const std::string& entry : ListEntries(list)) {
    if (!visitor.Entry(entry)) return;
  }
}

}  // namespace

std::vector<std::string> ListEntries(std::string_view list) {
  std::vector<std::string> entries;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find('\0'), list.size());
    entries.emplace_back(list.substr(0, end));
    list.remove_prefix(std::min(end + 1, list.size()));
  }
  return entries;
}

// A store whose functions only fill buffers lists through them.

bool ProfileStore::VisitSectionNames(const std::string& file, ListVisitor& visitor) {
  VisitEntries(SectionNames(file, kWholeList), visitor);
  return true;
}

bool ProfileStore::VisitKeyNames(const std::string& file, const std::string& section, ListVisitor& visitor) {
  const std::string list = KeyNames(file, section, kWholeList);
  VisitEntries(list, visitor);
  return !list.empty() || HasSection(file, section);
}

bool ProfileStore::VisitSectionLines(const std::string& file, const std::string& section, ListVisitor& visitor) {
  const std::string list = SectionLines(file, section, kWholeList);
  VisitEntries(list, visitor);
  return !list.empty() || HasSection(file, section);
}

}  // namespace profilectl
