#include "check/ema_check.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <vector>

#include "cluster/agglom.hpp"
#include "formats/capacity.hpp"
#include "formats/ema.hpp"
#include "formats/node_names.hpp"
#include "records/layout_fields.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/numeric_input.hpp"
#include "records/packed.hpp"
#include "records/reports.hpp"
#include "records/shown_text.hpp"
#include "text/csv.hpp"

namespace metclust::check {
namespace {

using records::decimal;

// True when an integer fits an output field of `width` columns (Iw): a
// negative number needs a column for its sign.
bool fits(std::int64_t value, int width) {
  std::int64_t high = 1;
  for (int k = 0; k < width; ++k) high *= 10;
  --high;
  return value >= -(high / 10) && value <= high;
}

// The records of the bytes as a channel cuts them: at each LF, without a CR
// right before it; bytes after the last LF form a last record.
std::vector<std::string_view> records_of(std::string_view bytes) {
  std::vector<std::string_view> out;
  while (!bytes.empty()) {
    const std::size_t lf = bytes.find('\n');
    std::string_view record = bytes.substr(0, lf);
    if (lf != std::string_view::npos && !record.empty() && record.back() == '\r') record.remove_suffix(1);
    out.push_back(record);
    if (lf == std::string_view::npos) break;
    bytes.remove_prefix(lf + 1);
  }
  return out;
}

// The columns first..first+width-1 of a record, as far as it reaches.
std::string_view columns(std::string_view record, std::int64_t first, std::int64_t width) {
  const auto from = std::min(static_cast<std::size_t>(first - 1), record.size());
  const auto to = std::min(static_cast<std::size_t>(first - 1 + width), record.size());
  return record.substr(from, to - from);
}

// The first column at or after `first` that is not blank; 0 when none.
std::int64_t text_after(std::string_view record, std::int64_t first) {
  if (first - 1 >= static_cast<std::int64_t>(record.size())) return 0;
  const std::size_t at = record.find_first_not_of(' ', static_cast<std::size_t>(first - 1));
  return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

bool only_blanks(std::string_view record, std::string_view blanks = " ") {
  return record.find_first_not_of(blanks) == std::string_view::npos;
}

// The offset of a UTF-8 sequence that the end of a fixed-length text cuts
// short, when there is one.
std::optional<std::size_t> cut_character(std::string_view text) {
  std::size_t start = text.size();
  int continuation = 0;
  while (start > 0 && continuation < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0u) == 0x80u) {
    --start;
    ++continuation;
  }
  if (start == 0) return std::nullopt;
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  const int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
  if (lead < 0xC2 || lead > 0xF4 || continuation + 1 >= length) return std::nullopt;
  return start - 1;
}

// Text of the file as a message quotes it, control bytes escaped.
std::string quoted(std::string_view text) { return "\"" + records::shown_text(text) + "\""; }

std::string year_text(std::int32_t IYEAR) { return "year " + decimal(IYEAR); }

// The numbers a year's report names: the year.
std::array<std::int64_t, 1> year_values(std::int32_t IYEAR) { return {IYEAR}; }

// "strategy 3", "strategies 2, 5 and 8", "every strategy".
std::string strategies_text(const std::vector<int>& numbers) {
  if (numbers.size() == 8) return "every strategy";
  std::string text = numbers.size() == 1 ? "strategy " : "strategies ";
  for (std::size_t k = 0; k < numbers.size(); ++k) {
    if (k > 0) text += k + 1 == numbers.size() ? " and " : ", ";
    text += decimal(numbers[k]);
  }
  return text;
}

struct IgnoreFusions : cluster::FusionSink {
  void fusion(std::int32_t, std::int32_t, std::int32_t, double) override {}
};

class Checker {
 public:
  Checker(std::string_view bytes, const std::string& file, Diagnostics& out)
      : file_(file), records_(records_of(bytes)), out_(out),
        channels_(records::ConsoleStreams{}, records::ChannelTable::Failures::Throw),
        reader_(channels_) {
    channels_.open_bytes(records::kEma, file, std::string(bytes));
  }

  EmaSummary run() {
    if (!header()) return summary_;
    if (!step("the title record", [&] { reader_.read_title(); })) return summary_;
    title();
    if (!step("the option record", [&] { reader_.read_options(); })) return summary_;
    std::int32_t NL = 0;  // kept from year to year, as a run keeps it
    std::vector<std::int32_t> ELIM(static_cast<std::size_t>(MAXL_), 0);
    for (;;) {
      std::int32_t IYEAR = 0;
      records::Name YLABEL = records::kBlankName;
      bool more = false;
      if (!step("the year record", [&] { more = reader_.read_year(IYEAR, YLABEL); })) return summary_;
      if (!more) break;
      if (!year(IYEAR, NL, ELIM)) return summary_;
    }
    if (summary_.years == 0) {
      out_.warning(file_, 0, 0, "the file holds no year group: metclust clusters nothing");
    }
    return summary_;
  }

 private:
  std::int64_t consumed() const { return channels_.record_number(records::kEma); }
  std::string_view record(std::int64_t line) const {
    return line >= 1 && line <= static_cast<std::int64_t>(records_.size())
               ? records_[static_cast<std::size_t>(line - 1)]
               : std::string_view();
  }

  // Every strategy that has not yet ended ends now with this report.
  void end_all(int report) {
    for (int& status : summary_.status) {
      if (status == 0) status = report;
    }
  }

  // One read statement of a run. A fault that ends a run is an error at the
  // place the reader names; false then, and nothing after it is read.
  template <class Read>
  bool step(std::string_view what, Read read) {
    try {
      read();
      return true;
    } catch (const records::LocatedError& fault) {
      const int report = fault.report();
      std::string text = std::string(what) + ": " + fault.what();
      if (report != 0) {
        text += "; metclust ends here with report " + decimal(report) + " (" +
                records::report::catalog_text(report) + ")";
      }
      out_.error(file_, fault.line(), fault.column(), text);
      end_all(report);
      return false;
    }
  }

  bool header() {
    formats::RunHeaderValues h;
    if (!step("the run header", [&] { h = reader_.read_run_header(); })) return false;
    const std::int64_t line = consumed();
    MAXL_ = h.MAXL;
    if (!formats::fits_work_space(h.MAXL)) {
      const std::int64_t values[] = {h.MAXL, formats::kLocationsHeld, formats::kLargestBuildLocations};
      const std::string why =
          h.MAXL < 1 ? "MAXL " + decimal(h.MAXL) + " is below 1 and needs more work space than this build has"
                     : records::report::catalog_text(records::report::kWorkSpaceTooSmall, values);
      out_.error(file_, line, 0,
                 why + ": the run is refused after the dimension report and nothing is clustered "
                       "(run from the command line, metclust ends with report " +
                     decimal(records::report::kWorkSpaceTooSmall) + ")");
      summary_.refused = true;
      return false;
    }
    if (h.MAXL < 1) {
      out_.error(file_, line, 0,
                 "MAXL " + decimal(h.MAXL) + " is below 1; metclust ends after the dimension report with report " +
                     decimal(records::report::kLocationsBelowOne) + " (" +
                     records::report::catalog_text(records::report::kLocationsBelowOne) + ")");
      end_all(records::report::kLocationsBelowOne);
      return false;
    }
    const struct {
      const char* name;
      std::int64_t value;
    } summary[] = {{"MAXY", h.MAXY}, {"MAXG", h.MAXG}, {"IYS", h.IYS}, {"IYF", h.IYF},
                   {"NYA", formats::run_summary(h).NYA}};
    for (const auto& item : summary) {
      if (!fits(item.value, 6)) {
        out_.warning(file_, line, 0,
                     std::string(item.name) + " " + decimal(item.value) +
                         " shows as ****** in the run summary of .SCL and .CLS (six columns), "
                         "with report 63");
      }
    }
    for (const auto& [name, value] : {std::pair{"IYS", h.IYS}, std::pair{"IYF", h.IYF}}) {
      if (!fits(value, 3)) {
        out_.warning(file_, line, 0,
                     std::string(name) + " " + decimal(value) +
                         " shows as *** on the sequence line of .SCL and the console (three "
                         "columns), with report 63; years of four digits are written as year - 1900 "
                         "there, 95 for 1995");
      }
    }
    return true;
  }

  void title() {
    const std::int64_t line = consumed();
    if (const std::int64_t at = text_after(record(line), 51)) {
      out_.warning(file_, line, at, "the title is cut at 50 characters: text from column 51 on is not read");
    }
  }

  bool year(std::int32_t IYEAR, std::int32_t& NL, std::vector<std::int32_t>& ELIM) {
    const std::int64_t year_line = consumed();
    const std::string what = year_text(IYEAR);
    // A blank record where a year record would begin, with nothing but
    // blanks after it: a run takes it for year 0 and then finds the end of
    // the file, after clustering every year before it.
    bool blank_tail = only_blanks(record(year_line));
    for (std::int64_t l = year_line + 1; blank_tail && l <= static_cast<std::int64_t>(records_.size()); ++l) {
      blank_tail = only_blanks(record(l), " \t");
    }
    if (blank_tail) {
      out_.error(file_, year_line, 0,
                 "an empty line at the end: metclust reads it as the year record of year 0 and "
                 "then ends with report 24 (end-of-file during read) after clustering every year; "
                 "remove the empty line");
      end_all(records::report::kEndOfFile);
      return false;
    }
    year_record(IYEAR, year_line);

    if (!step(what + ": the number of locations (NL)", [&] { reader_.read_count(NL); })) return false;
    const std::int64_t count_line = consumed();
    if (NL < 1 || NL > MAXL_) {
      out_.error(file_, count_line, 0,
                 what + ": NL " + decimal(NL) + " lies outside 1 to MAXL (" + decimal(MAXL_) +
                     "); metclust ends here with report " +
                     decimal(records::report::kLocationsOutOfRange) + " (" +
                     records::report::catalog_text(records::report::kLocationsOutOfRange, year_values(IYEAR)) + ")");
      end_all(records::report::kLocationsOutOfRange);
      return false;
    }
    if (NL > formats::kMaxYearLocations) {
      const std::int64_t values[] = {IYEAR, NL, formats::kMaxYearLocations};
      out_.error(file_, count_line, 0,
                 what + ": NL " + decimal(NL) + " is more than a year may have: the plot records (.PCL) number " +
                     "the year's 2NL - 1 dendrogram nodes in three columns; metclust ends here with report " +
                     decimal(records::report::kYearBeyondPlotRecords) + " (" +
                     records::report::catalog_text(records::report::kYearBeyondPlotRecords, values) + ")");
      end_all(records::report::kYearBeyondPlotRecords);
      return false;
    }
    if (!step(what + ": the elimination vector", [&] { reader_.read_elimination(ELIM); })) return false;
    elimination(what, NL, ELIM, consumed());

    std::vector<double> PII(static_cast<std::size_t>(records::packed_size(NL)), 0.0);
    std::set<records::Name> names;
    for (std::int32_t i = 1; i <= NL; ++i) {
      const std::int64_t first_line = consumed() + 1;
      std::int32_t number = 0;
      records::Name name = records::kBlankName;
      const std::span<double> proximities =
          std::span<double>(PII).subspan(static_cast<std::size_t>(records::packed_index(1, i)),
                                         static_cast<std::size_t>(i - 1));
      if (!step(what + ": matrix row " + decimal(i),
                [&] { reader_.read_matrix_row(number, name, proximities); })) {
        return false;
      }
      matrix_row(what, i, first_line, name, proximities);
      if (!names.insert(name).second) {
        out_.warning(file_, first_line, 8,
                     what + ": the name " + quoted(records::view(name)) +
                         " stands twice among the year's locations");
      }
    }
    clustering(IYEAR, NL, PII);
    ++summary_.years;
    return true;
  }

  void year_record(std::int32_t IYEAR, std::int64_t line) {
    if (!fits(IYEAR, 5)) {
      out_.warning(file_, line, 1,
                   year_text(IYEAR) + " shows as ***** in .PCL (five columns), with report 63");
    }
    const std::vector<records::FieldColumns> fields = records::field_columns(formats::ema_year_record(), 2, 0);
    const records::FieldColumns& label = fields[1];
    const std::string_view text = record(line);
    if (const std::int64_t at = text_after(text, label.column + label.width)) {
      out_.warning(file_, line, at,
                   "text after the year label (columns " + decimal(label.column) + "-" +
                       decimal(label.column + label.width - 1) + ") is not read");
    }
    if (const auto cut = cut_character(columns(text, label.column, label.width))) {
      out_.warning(file_, line, label.column + static_cast<std::int64_t>(*cut),
                   "the year label ends inside a UTF-8 character");
    }
  }

  void elimination(const std::string& what, std::int32_t NL, const std::vector<std::int32_t>& ELIM,
                   std::int64_t line) {
    const auto ones = std::count(ELIM.begin(), ELIM.end(), 1);
    if (ones != NL) {
      out_.warning(file_, line, 0,
                   what + ": the elimination vector has 1 in " + decimal(ones) +
                       (ones == 1 ? " place" : " places") + ", but NL is " + decimal(NL));
    }
    for (std::size_t k = 0; k < ELIM.size(); ++k) {
      if (ELIM[k] == 0 || ELIM[k] == 1) continue;
      out_.warning(file_, line, 0,
                   what + ": the elimination vector holds " + decimal(ELIM[k]) + " at place " +
                       decimal(static_cast<std::int64_t>(k) + 1) + " where 0 or 1 is meant" +
                       (fits(ELIM[k], 4) ? "" : "; it shows as **** in .CLS (four columns), with report 63"));
      break;
    }
  }

  void matrix_row(const std::string& what, std::int32_t i, std::int64_t first_line, const records::Name& name,
                  std::span<const double> proximities) {
    const std::string row = what + ", row " + decimal(i);
    // Row number, name, the i - 1 proximities and the diagonal.
    const std::vector<records::FieldColumns> fields = records::field_columns(formats::ema_matrix_row(), i + 2, 0);
    const records::FieldColumns& name_field = fields[1];
    const std::string_view first = record(first_line);
    const std::int64_t after_name = name_field.column + name_field.width;
    if (const std::int64_t at = text_after(columns(first, 1, fields[2].column - 1), after_name)) {
      out_.warning(file_, first_line, at,
                   row + ": the name is cut at " + decimal(name_field.width) + " characters: " +
                       quoted(columns(first, at, fields[2].column - at)) + " in column " +
                       decimal(at) + " is not read");
    }
    if (const auto cut = cut_character(records::view(name))) {
      out_.warning(file_, first_line, name_field.column + static_cast<std::int64_t>(*cut),
                   row + ": the name ends inside a UTF-8 character");
    }
    // The value fields, record by record.
    std::int64_t implied_line = 0;
    for (std::size_t k = 2; k < fields.size(); ++k) {
      const records::FieldColumns& field = fields[k];
      const std::int64_t line = first_line + field.record;
      const std::string_view text = columns(record(line), field.column, field.width);
      const std::size_t value = k - 2;
      if (line != implied_line && text.find('.') == std::string_view::npos) {
        const auto as_written = records::parse_real_field<double>(text, 0);
        const auto as_read = records::parse_real_field<double>(text, field.digits);
        if (as_written && as_read && *as_written != *as_read) {
          implied_line = line;
          const std::size_t starts = text.find_first_not_of(' ');
          std::string trimmed(text.substr(starts));
          trimmed.erase(trimmed.find_last_not_of(' ') + 1);
          out_.warning(file_, line, field.column + static_cast<std::int64_t>(starts),
                       row + ": the value " + quoted(trimmed) +
                           " has no decimal point, so its last " + decimal(field.digits) +
                           " digits are decimals: metclust reads " +
                           records::shortest_text(*as_read) + "; write " + quoted(trimmed + ".0") +
                           " for " + records::shortest_text(*as_written));
        }
      }
      if (value + 1 < fields.size() - 2) {
        const double d = proximities[value];
        if (d < 0.0) {
          out_.warning(file_, line, field.column,
                       row + ": negative proximity " + records::shortest_text(d) + ", clustered as it stands");
        } else if (d > cluster::kCeiling) {
          out_.warning(file_, line, field.column,
                       row + ": proximity " + records::shortest_text(d) +
                           " lies above the search ceiling (1E20): a fusion never picks this pair");
        }
      }
      // After the last field of a record, nothing more is read from it.
      const bool last_of_record = k + 1 == fields.size() || fields[k + 1].record != field.record;
      if (last_of_record) {
        if (const std::int64_t at = text_after(record(line), field.column + field.width)) {
          std::string why = row + ": text from column " + decimal(at) + " on is not read: ";
          if (k + 1 < fields.size()) {
            const auto here = std::count_if(fields.begin() + 2, fields.end(), [&](const records::FieldColumns& f) {
              return f.record == field.record;
            });
            why += "a record holds " + decimal(here) + " values, and row " + decimal(i) +
                   " goes on in the next record from column " + decimal(fields[k + 1].column);
          } else {
            why += "row " + decimal(i) + " ends in column " +
                   decimal(field.column + field.width - 1);
          }
          out_.warning(file_, line, at, why);
        }
      }
    }
  }

  // Which strategies find no pair to join at some fusion of the year.
  void clustering(std::int32_t IYEAR, std::int32_t NL, const std::vector<double>& PII) {
    std::vector<int> stuck;
    IgnoreFusions ignore;
    const auto n = static_cast<std::size_t>(NL);
    for (int strategy = 1; strategy <= 8; ++strategy) {
      if (summary_.status[static_cast<std::size_t>(strategy - 1)] != 0) continue;
      std::vector<double> matrix = PII;
      std::vector<std::int32_t> G(n), LABEL(n), HIST(2 * (n - 1));
      if (!cluster::AGGLOM(matrix, G, LABEL, HIST, NL, 0.0, strategy, ignore)) {
        stuck.push_back(strategy);
        summary_.status[static_cast<std::size_t>(strategy - 1)] = records::report::kNoPairBelowCeiling;
      }
    }
    if (stuck.empty()) return;
    out_.error(file_, consumed(), 0,
               year_text(IYEAR) + ": with " + strategies_text(stuck) +
                   " a fusion finds no pair at or below the search ceiling (1E20); metclust ends "
                   "after this year's matrix with report " +
                   decimal(records::report::kNoPairBelowCeiling) + " (" +
                   records::report::catalog_text(records::report::kNoPairBelowCeiling, year_values(IYEAR)) + ")");
  }

  std::string file_;
  std::vector<std::string_view> records_;
  Diagnostics& out_;
  records::ChannelTable channels_;
  formats::EmaReader reader_;
  EmaSummary summary_;
  std::int32_t MAXL_ = 0;
};

}  // namespace

EmaSummary check_ema(std::string_view bytes, const std::string& file, Diagnostics& out) {
  return Checker(bytes, file, out).run();
}

}  // namespace metclust::check
