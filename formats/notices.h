#pragma once

#include <map>
#include <string>
#include <vector>

namespace orvida::formats {

// Something a run skipped or settled without stopping: a record without enough fields, a
// merged subject, a code that had to change, a period without a match. Notices never change
// what a run does; they are its report. All texts are UTF-8.
struct Notice {
  std::string kind;     // short Spanish label, the same for every notice of one kind
                        // (e.g. "registro omitido"); reports count notices per kind
  std::string where;    // section or table, e.g. "EMPLEADOS" or "SOLUC"
  int position = -1;    // record or row number within `where`, counted from 1; -1 if none
  std::string key;      // the record's identifying value (its first field, a code ...)
  std::string message;  // one Spanish sentence
};

class NoticeSink {
 public:
  virtual ~NoticeSink() = default;
  virtual void Report(Notice notice) = 0;
};

// Ignores every notice (the window shows none).
class NullNoticeSink : public NoticeSink {
 public:
  void Report(Notice) override {}
};

// Keeps every notice, in the order reported.
class NoticeList : public NoticeSink {
 public:
  void Report(Notice notice) override;
  const std::vector<Notice>& notices() const { return notices_; }
  // Number of notices per kind, kinds in the order they first occurred.
  std::vector<std::pair<std::string, int>> CountByKind() const;

 private:
  std::vector<Notice> notices_;
};

// "EMPLEADOS, registro 3 (1234): el registro tiene 1 campo y se necesitan 6; se omite."
std::string FormatNotice(const Notice& notice);

}  // namespace orvida::formats
