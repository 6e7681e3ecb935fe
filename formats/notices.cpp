#include "formats/notices.h"

#include <algorithm>
#include <utility>

namespace orvida::formats {

void NoticeList::Report(Notice notice) { notices_.push_back(std::move(notice)); }

std::vector<std::pair<std::string, int>> NoticeList::CountByKind() const {
  std::vector<std::pair<std::string, int>> counts;
  for (const Notice& notice : notices_) {
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&](const auto& entry) { return entry.first == notice.kind; });
    if (found == counts.end()) {
      counts.emplace_back(notice.kind, 1);
    } else {
      ++found->second;
    }
  }
  return counts;
}

std::string FormatNotice(const Notice& notice) {
  std::string place = notice.where;
  if (notice.position >= 0) {
    if (!place.empty()) place += ", ";
    place += "registro " + std::to_string(notice.position);
  }
  if (!notice.key.empty()) {
    if (!place.empty()) place += ' ';
    place += "(" + notice.key + ")";
  }
  if (place.empty()) return notice.message;
  if (notice.message.empty()) return place;
  return place + ": " + notice.message;
}

}  // namespace orvida::formats
