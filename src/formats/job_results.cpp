#include "formats/job_results.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "formats/cls.hpp"
#include "formats/pcl.hpp"
#include "formats/scl.hpp"
#include "records/channel_table.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/numeric_input.hpp"
#include "records/record_reader.hpp"
#include "records/shown_text.hpp"

namespace metclust::formats {
namespace {

using records::decimal;
using records::LocatedError;

constexpr int kUnit = 1;  // the one channel of a reading table

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string trailing_trimmed(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

template <std::size_t N>
std::string_view view(const std::array<char, N>& text) {
  return {text.data(), text.size()};
}

// A table with the file as its one input channel, failing with located
// errors; `line()` is the record just read.
class FileReader {
 public:
  FileReader(std::string_view bytes, const std::string& file)
      : channels_({}, records::ChannelTable::Failures::Throw), in_(channels_), file_(file) {
    channels_.open_bytes(kUnit, file, std::string(bytes));
  }
  records::RecordReader& in() { return in_; }
  std::int64_t line() const { return channels_.record_number(kUnit); }
  [[noreturn]] void fail(std::int64_t line, std::int64_t column, const std::string& what) const {
    throw LocatedError(file_, line, column, what);
  }

 private:
  records::ChannelTable channels_;
  records::RecordReader in_;
  const std::string& file_;
};

// A node number of three columns: a whole number, or blank (0).
std::int32_t node_number(const FileReader& file, const pcl::NodeNumber& text, std::int64_t column,
                         const std::string& item) {
  if (view(text).find_first_not_of(' ') == std::string_view::npos) return 0;
  const std::optional<std::int32_t> value = records::parse_int_field(view(text));
  if (!value) {
    file.fail(file.line(), column,
              "expected " + item + " in columns " + decimal(column) + "-" + decimal(column + 2) +
                  ", found \"" + records::shown_text(view(text)) + "\"");
  }
  return *value;
}

float coordinate(const FileReader& file, const std::optional<float>& value, std::int64_t column,
                 const std::string& item) {
  if (!value) {
    file.fail(file.line(), column,
              item + " (columns " + decimal(column) + "-" + decimal(column + 6) + ") is blank");
  }
  return *value;
}

// The node listing entry that record `slot` after the header carries.
void listing_entry(const FileReader& file, const pcl::ReadRecord& record, std::int32_t slot,
                   std::int32_t locations, std::vector<bool>& seen, YearPlot& year) {
  const std::int32_t number =
      node_number(file, record.entry_number, pcl::kColumnEntry, "a node number");
  if (slot <= locations) {
    if (number < 1 || number > locations) {
      file.fail(file.line(), pcl::kColumnEntry,
                "node listing entry " + decimal(slot) + " should be a location 1.." +
                    decimal(locations) + ", found " + decimal(number));
    }
    if (seen[static_cast<std::size_t>(number)]) {
      file.fail(file.line(), pcl::kColumnEntry, "location " + decimal(number) + " is listed twice");
    }
    seen[static_cast<std::size_t>(number)] = true;
  } else if (number != slot) {
    file.fail(file.line(), pcl::kColumnEntry,
              "node listing entry " + decimal(slot) + " should be node " + decimal(slot) +
                  ", found " + decimal(number));
  }
  year.listing.push_back({number, trailing_trimmed(view(record.entry_name))});
}

// The six records of fusion s: five points and a record without a point.
// `state` tracks each node: 0 not made yet, 1 free to be joined, 2 joined.
void read_fusion_records(FileReader& file, YearPlot& year, std::int32_t s,
                         std::vector<std::uint8_t>& state, std::vector<bool>& seen) {
  static constexpr const char* kWhich[] = {"point 1", "point 2", "point 3", "point 4", "point 5"};
  const std::int32_t locations = year.locations;
  const std::int32_t slots = 2 * locations - 1;
  const std::string of_fusion = " of fusion " + decimal(s);
  PlotFusion fusion;
  std::array<std::int64_t, 5> lines{};
  pcl::ReadRecord record;
  for (std::size_t p = 0; p < 6; ++p) {
    record = pcl::ReadRecord{};
    pcl::read_record(file.in(), kUnit, record);
    const std::int32_t slot = 6 * (s - 1) + static_cast<std::int32_t>(p) + 1;
    if (slot <= slots) listing_entry(file, record, slot, locations, seen, year);
    if (p == 5) {
      if (record.x || record.y || view(record.number) != "   " ||
          record.name != records::kBlankName) {
        file.fail(file.line(), 1, "record 6 of fusion " + decimal(s) + " should hold no point");
      }
      break;
    }
    const std::string which = kWhich[p] + of_fusion;
    PlotPoint& point = fusion.points[p];
    lines[p] = file.line();
    if (p == 0) fusion.line = file.line();
    point.x = coordinate(file, record.x, pcl::kColumnX, "abscissa of " + which);
    point.y = coordinate(file, record.y, pcl::kColumnY, "ordinate of " + which);
    point.node = node_number(file, record.number, pcl::kColumnNumber, "the node number of " + which);
    point.name = trailing_trimmed(view(record.name));
    if (p % 2 == 0 && point.node < 1) {
      file.fail(file.line(), pcl::kColumnNumber, which + " carries no node number");
    }
  }

  const std::int32_t made = locations + s;
  if (fusion.points[2].node != made) {
    file.fail(lines[2], pcl::kColumnNumber,
              "point 3 of fusion " + decimal(s) + " should be node " + decimal(made) + ", found " +
                  decimal(fusion.points[2].node));
  }
  for (std::size_t p : {std::size_t{0}, std::size_t{4}}) {
    const std::int32_t node = fusion.points[p].node;
    if (node >= made || state[static_cast<std::size_t>(node)] == 0) {
      file.fail(lines[p], pcl::kColumnNumber,
                "fusion " + decimal(s) + " joins node " + decimal(node) +
                    ", which is neither a location nor an earlier group");
    }
    if (state[static_cast<std::size_t>(node)] == 2) {
      file.fail(lines[p], pcl::kColumnNumber,
                "fusion " + decimal(s) + " joins node " + decimal(node) + ", which is joined already");
    }
    state[static_cast<std::size_t>(node)] = 2;
  }
  state[static_cast<std::size_t>(made)] = 1;
  year.fusions.push_back(fusion);
}

}  // namespace

std::vector<YearPlot> read_plot_records(std::string_view bytes, const std::string& file_name) {
  FileReader file(bytes, file_name);
  std::vector<YearPlot> years;
  for (;;) {
    std::optional<std::int32_t> IYEAR;
    std::optional<std::int32_t> NL;
    std::array<char, 50> TITLE;
    if (!pcl::read_header(file.in(), kUnit, IYEAR, NL, TITLE, records::AtEnd::Return)) break;
    if (!IYEAR || !NL) {
      file.fail(file.line(), IYEAR ? 6 : 1,
                "expected a year header (year in columns 1-5, number of locations in "
                "columns 6-10), found a record without them");
    }
    YearPlot year;
    year.line = file.line();
    year.year = *IYEAR;
    year.locations = *NL;
    year.title = trimmed(view(TITLE));
    if (year.locations > kMaxPlotLocations) {
      file.fail(year.line, 6,
                "year " + decimal(year.year) + " has " + decimal(year.locations) +
                    " locations; the plot records number at most " + decimal(kMaxPlotLocations));
    }
    const std::int32_t fusions = std::max(0, year.locations - 1);
    if (fusions > 0) {
      std::vector<std::uint8_t> state(2 * static_cast<std::size_t>(year.locations), 0);
      std::fill_n(state.begin() + 1, year.locations, std::uint8_t{1});
      std::vector<bool> seen(static_cast<std::size_t>(year.locations) + 1, false);
      year.listing.reserve(2 * static_cast<std::size_t>(year.locations) - 1);
      year.fusions.reserve(static_cast<std::size_t>(fusions));
      for (std::int32_t s = 1; s <= fusions; ++s) read_fusion_records(file, year, s, state, seen);
    }
    years.push_back(std::move(year));
  }
  return years;
}

ClusterValues read_cluster_records(std::string_view bytes, const std::string& file_name) {
  FileReader file(bytes, file_name);
  ClusterValues values;
  std::array<std::int32_t, 7> counts{};
  cls::read_counts(file.in(), kUnit, counts);
  const std::int32_t MAXL = counts[1];
  Title TITLE;
  cls::read_title(file.in(), kUnit, TITLE);
  values.title = trimmed(view(TITLE));
  Options options;
  cls::read_options(file.in(), kUnit, options, values.strategy);
  std::array<std::int32_t, 2> sequence{};
  cls::read_integers(file.in(), kUnit, sequence);

  // The elimination vector is read whole (as many records as MAXL needs)
  // and not kept; MAXL itself bounds what a year can hold.
  if (MAXL > 1'000'000) {
    file.fail(1, 7, "MAXL " + decimal(MAXL) + " is beyond any job a .CLS file can describe");
  }
  std::vector<std::int32_t> ELIM(static_cast<std::size_t>(std::max(MAXL, 0)));
  for (;;) {
    ClusterYear year;
    records::Name YLABEL;
    if (!read_year_record(file.in(), kUnit, year.year, YLABEL, records::AtEnd::Return)) break;
    year.line = file.line();
    year.label = trimmed(records::view(YLABEL));
    cls::read_integers(file.in(), kUnit, std::span<std::int32_t>(&year.locations, 1));
    if (year.locations > MAXL) {
      file.fail(file.line(), 1,
                "year " + decimal(year.year) + " has " + decimal(year.locations) +
                    " locations, more than MAXL " + decimal(MAXL));
    }
    if (!ELIM.empty()) cls::read_integers(file.in(), kUnit, ELIM);
    const std::int32_t fusions = std::max(0, year.locations - 1);
    year.fusions.reserve(static_cast<std::size_t>(fusions));
    for (std::int32_t s = 1; s <= fusions; ++s) {
      FusionRecord record;
      read_fusion(file.in(), kUnit, record);
      year.fusions.push_back({record.first, record.second, record.made, record.level, file.line()});
    }
    values.years.push_back(std::move(year));
  }
  return values;
}

void attach_cluster_values(std::vector<YearPlot>& years, const ClusterValues& values,
                           const std::string& cluster_file, const std::string& plot_file) {
  if (values.years.size() != years.size()) {
    throw LocatedError(cluster_file, 0, 0,
                       "holds " + decimal(static_cast<std::int64_t>(values.years.size())) +
                           " year groups, " + plot_file + " " +
                           decimal(static_cast<std::int64_t>(years.size())));
  }
  for (std::size_t k = 0; k < years.size(); ++k) {
    YearPlot& plot = years[k];
    const ClusterYear& cluster = values.years[k];
    if (cluster.year != plot.year || cluster.locations != plot.locations) {
      throw LocatedError(cluster_file, cluster.line, 0,
                         "year " + decimal(cluster.year) + " with " + decimal(cluster.locations) +
                             " locations does not match year " + decimal(plot.year) + " with " +
                             decimal(plot.locations) + " locations at " + plot_file + ":" +
                             decimal(plot.line));
    }
    // Equal location counts give equal numbers of fusions.
    std::vector<double> levels;
    levels.reserve(cluster.fusions.size());
    for (std::size_t s = 0; s < cluster.fusions.size(); ++s) {
      const FusionLevel& level = cluster.fusions[s];
      const PlotFusion& fusion = plot.fusions[s];
      if (level.first != fusion.first() || level.second != fusion.second() ||
          level.node != fusion.points[2].node) {
        throw LocatedError(
            cluster_file, level.line, 0,
            "fusion " + decimal(level.first) + " + " + decimal(level.second) + " = " +
                decimal(level.node) + " does not match " + plot_file + ":" + decimal(fusion.line) +
                " (" + decimal(fusion.first()) + " + " + decimal(fusion.second()) + " = " +
                decimal(fusion.points[2].node) + ")");
      }
      levels.push_back(level.level);
    }
    plot.label = cluster.label;
    plot.levels = std::move(levels);
  }
}

std::vector<std::string> year_file_stems(const std::string& job,
                                         const std::vector<YearPlot>& years) {
  std::map<std::int32_t, int> seen;
  std::vector<std::string> stems;
  stems.reserve(years.size());
  for (const YearPlot& year : years) {
    const int count = ++seen[year.year];
    std::string stem = job + "-" + decimal(year.year);
    if (count > 1) stem += "-" + decimal(count);
    stems.push_back(std::move(stem));
  }
  return stems;
}

}  // namespace metclust::formats
