#include "jobs/location_names.hpp"

#include <algorithm>
#include <cctype>
#include <set>

#include "cli/input_files.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "text/csv.hpp"
#include "text/names.hpp"
#include "text/utf8.hpp"

namespace metclust::jobs {
namespace {

using records::decimal;

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool same_word(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string by_number(std::size_t k) {
  return "(location " + decimal(static_cast<std::int64_t>(k) + 1) + ")";
}

}  // namespace

std::string name_text(std::string_view field) {
  return text::normalized_name(text::valid_utf8(field));
}

bool has_name(std::string_view field) { return !name_text(field).empty(); }

std::string location_name(std::string_view field, std::int32_t number) {
  std::string name = name_text(field);
  return name.empty() ? by_number(static_cast<std::size_t>(number) - 1) : name;
}

std::vector<std::string> distinct_labels(
    std::vector<std::string> names, std::string_view stem, std::vector<std::string>& notes,
    std::vector<std::pair<std::int32_t, std::int32_t>>* first_of) {
  std::map<std::string, std::size_t> first;  // name -> first location that has it
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (names[k].empty()) {
      names[k] = by_number(k);
      notes.push_back(std::string(stem) + ": location " + decimal(static_cast<std::int64_t>(k) + 1) +
                      " has no name; it is called " + names[k]);
      continue;
    }
    const auto [at, fresh] = first.emplace(names[k], k);
    if (fresh) continue;
    std::string label = names[k] + " " + by_number(k);
    notes.push_back(std::string(stem) + ": locations " +
                    decimal(static_cast<std::int64_t>(at->second) + 1) + " and " +
                    decimal(static_cast<std::int64_t>(k) + 1) + " are both named '" + names[k] +
                    "'; location " + decimal(static_cast<std::int64_t>(k) + 1) + " is called '" +
                    label + "'");
    if (first_of != nullptr) {
      first_of->emplace_back(static_cast<std::int32_t>(k) + 1,
                             static_cast<std::int32_t>(at->second) + 1);
    }
    names[k] = std::move(label);
  }
  return names;
}

std::optional<FullNames> read_full_names(const std::string& file, std::vector<std::string>& notes) {
  const std::optional<std::string> bytes = cli::read_file_if_present(file);
  if (!bytes) return std::nullopt;
  const std::vector<text::CsvRow> rows = text::read_csv(*bytes, file);
  if (rows.empty()) throw records::LocatedError(file, 1, 0, "no header row");
  std::optional<std::size_t> full_column;
  std::optional<std::size_t> name_column;
  for (std::size_t c = 0; c < rows.front().fields.size(); ++c) {
    const std::string word = trimmed(rows.front().fields[c].text);
    if (same_word(word, "location") && !full_column) full_column = c;
    if (same_word(word, "name") && !name_column) name_column = c;
  }
  if (!full_column || !name_column) {
    throw records::LocatedError(file, rows.front().line, 0,
                                "the header row needs the columns 'location' (the full name) "
                                "and 'name' (the name in the job)");
  }
  FullNames names;
  names.file = file;
  std::set<std::string> doubtful;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const text::CsvRow& row = rows[r];
    if (row.fields.size() <= std::max(*full_column, *name_column)) {
      throw records::LocatedError(file, row.line, 0,
                                  "the row has " + decimal(static_cast<std::int64_t>(row.fields.size())) +
                                      " fields, too few for the columns of the header row");
    }
    // As read back from the CSV writer, whose guard against spreadsheet
    // formulas put an apostrophe before a name such as "-North".
    const std::string name = name_text(text::unguarded(row.fields[*name_column].text));
    const std::string full = name_text(text::unguarded(row.fields[*full_column].text));
    if (name.empty() || full.empty()) continue;
    const auto [at, fresh] = names.by_name.emplace(name, full);
    if (!fresh && at->second != full) doubtful.insert(name);
  }
  for (const std::string& name : doubtful) {
    names.by_name.erase(name);
    notes.push_back(file + ": the name '" + name +
                    "' stands for two different full names; its full name is left out");
  }
  return names;
}

std::optional<FullNames> read_job_full_names(const std::string& job,
                                             std::vector<std::string>& notes,
                                             const std::optional<std::string>& ema_file) {
  if (std::optional<FullNames> names = read_full_names(job + "-names.csv", notes)) return names;
  // JOB-s1 ... JOB-s8, the runs of metclust --strategy all.
  if (job.size() > 3 && job[job.size() - 3] == '-' && job[job.size() - 2] == 's' &&
      job.back() >= '1' && job.back() <= '8') {
    if (std::optional<FullNames> names =
            read_full_names(job.substr(0, job.size() - 3) + "-names.csv", notes)) {
      return names;
    }
  }
  if (ema_file && ema_file->size() > 4 && same_word(ema_file->substr(ema_file->size() - 4), ".EMA")) {
    return read_full_names(ema_file->substr(0, ema_file->size() - 4) + "-names.csv", notes);
  }
  return std::nullopt;
}

}  // namespace metclust::jobs
