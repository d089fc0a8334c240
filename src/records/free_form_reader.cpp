#include "records/free_form_reader.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "records/numeric_input.hpp"
#include "records/shown_text.hpp"

namespace metclust::records {
namespace {

constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }
constexpr bool ends_value(char c) { return is_blank(c) || c == ',' || c == '/'; }

// The repeat count of r*v and r*: unsigned digits. A count beyond what any
// list can hold is capped there; the caller caps it again by the targets left.
std::optional<std::uint64_t> repeat_count(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  constexpr std::uint64_t kCap = std::uint64_t{1} << 62;
  std::uint64_t count = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    count = std::min(kCap, count * 10 + static_cast<std::uint64_t>(c - '0'));
  }
  return count;
}

// How the scan of one record ended.
enum class Scan {
  NextRecord,  // the record ran out with targets left
  Done,        // every target is filled, or a slash ended the read
};

// One free-form read statement over as many records as it needs.
class Statement {
 public:
  Statement(ChannelTable& channels, int unit, std::span<std::int32_t> targets)
      : channels_(channels), unit_(unit), targets_(targets) {}

  // Takes values from one record. A comma right after a value (blanks and
  // record ends between them included) only separates; any other comma, also
  // one that opens the read, stands for a null value.
  Scan scan(std::string_view record) {
    std::size_t at = 0;
    while (at < record.size()) {
      const char c = record[at];
      if (is_blank(c)) {
        ++at;
      } else if (c == '/') {
        return Scan::Done;
      } else if (c == ',') {
        ++at;
        if (!after_value_ && assign(1, std::nullopt)) return Scan::Done;
        after_value_ = false;
      } else {
        std::size_t end = at;
        while (end < record.size() && !ends_value(record[end])) ++end;
        column_ = at + 1;
        if (value(record.substr(at, end - at))) return Scan::Done;
        after_value_ = true;
        at = end;
      }
    }
    return Scan::NextRecord;
  }

  bool filled() const { return next_ == targets_.size(); }

 private:
  // One value between separators: v, r*v or r*. True when the targets are
  // all filled.
  bool value(std::string_view text) {
    std::uint64_t copies = 1;
    const std::size_t star = text.find('*');
    if (star != std::string_view::npos) {
      const std::optional<std::uint64_t> count = repeat_count(text.substr(0, star));
      if (!count) bad_value(report::kListSyntax, text, "a repeat count before '*'");
      copies = *count;
      text.remove_prefix(star + 1);
      if (text.empty()) return assign(copies, std::nullopt);
    }
    const FreeFormInt parsed = parse_free_form_int(text);
    if (parsed.status == FreeFormStatus::NotANumber) {
      bad_value(report::kListSyntax, text, "a whole number");
    }
    if (parsed.status == FreeFormStatus::OutOfRange) {
      bad_value(report::kInputConversion, text, "a whole number within the 4-byte range");
    }
    return assign(copies, parsed.value);
  }

  // Gives the next `copies` targets the value, or leaves them as they are
  // for a null value. True when the targets are all filled.
  bool assign(std::uint64_t copies, std::optional<std::int32_t> value) {
    const std::size_t left = targets_.size() - next_;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(copies, left));
    if (value) std::fill_n(targets_.subspan(next_, count).begin(), count, *value);
    next_ += count;
    return filled();
  }

  [[noreturn]] void bad_value(int number, std::string_view found, std::string_view expected) {
    std::string detail = "expected ";
    detail += expected;
    detail += ", found \"";
    detail += shown_text(found);
    detail += '"';
    channels_.fail_at(number, unit_, static_cast<std::int64_t>(column_), detail);
  }

  ChannelTable& channels_;
  int unit_;
  std::size_t column_ = 0;  // 1-based column of the value being read
  std::span<std::int32_t> targets_;
  std::size_t next_ = 0;
  bool after_value_ = false;
};

}  // namespace

bool FreeFormReader::read(int unit, std::span<std::int32_t> targets, AtEnd at_end) {
  Statement statement(channels_, unit, targets);
  for (;;) {
    const std::optional<std::string_view> record = channels_.next_record(unit);
    if (!record) {
      if (at_end == AtEnd::Return) return false;
      channels_.fail(report::kEndOfFile, unit);
    }
    // A read with no targets still takes its record; otherwise the record is
    // scanned until the targets are filled or a slash ends the read.
    if (statement.filled() || statement.scan(*record) == Scan::Done) return true;
  }
}

}  // namespace metclust::records
