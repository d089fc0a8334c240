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

// Where the brackets of a year put each node, by node number, while its
// fusions are read.
struct Places {
  std::vector<std::optional<std::array<float, 2>>> at;  // x, y
  std::vector<std::int64_t> line;                       // the record that placed it
};

// The node listing entry that record `slot` after the header carries.
void listing_entry(const FileReader& file, const pcl::ReadRecord& record, std::int32_t slot,
                   std::int32_t locations, std::vector<bool>& seen, PlotYear& year) {
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
  year.nodes.push_back({0.0F, 0.0F, number, record.entry_name});
}

// A place as its fields show it (F7.3).
std::string place_text(const std::array<float, 2>& place) {
  return "(" + records::fixed_text(place[0], 3) + ", " + records::fixed_text(place[1], 3) + ")";
}

// The six records of fusion s: five points and a record without a point.
// `state` tracks each node: 0 not made yet, 1 free to be joined, 2 joined.
void read_fusion_records(FileReader& file, PlotYear& year, std::int32_t s,
                         std::vector<std::uint8_t>& state, std::vector<bool>& seen,
                         Places& places) {
  static constexpr const char* kWhich[] = {"point 1", "point 2", "point 3", "point 4", "point 5"};
  const std::int32_t locations = year.locations;
  const std::int32_t slots = 2 * locations - 1;
  const std::string of_fusion = " of fusion " + decimal(s);
  std::array<std::array<float, 2>, 5> at{};
  std::array<std::int32_t, 5> nodes{};
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
    lines[p] = file.line();
    at[p][0] = coordinate(file, record.x, pcl::kColumnX, "abscissa of " + which);
    at[p][1] = coordinate(file, record.y, pcl::kColumnY, "ordinate of " + which);
    nodes[p] = node_number(file, record.number, pcl::kColumnNumber, "the node number of " + which);
    if (p % 2 == 0 && nodes[p] < 1) {
      file.fail(file.line(), pcl::kColumnNumber, which + " carries no node number");
    }
  }

  const std::int32_t made = locations + s;
  if (nodes[2] != made) {
    file.fail(lines[2], pcl::kColumnNumber,
              "point 3 of fusion " + decimal(s) + " should be node " + decimal(made) + ", found " +
                  decimal(nodes[2]));
  }
  for (std::size_t p : {std::size_t{0}, std::size_t{4}}) {
    const std::int32_t node = nodes[p];
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

  // The corners lie at the abscissa of the node below them and the ordinate
  // of the new group; a group joined here stands where its fusion put it.
  for (std::size_t p : {std::size_t{1}, std::size_t{3}}) {
    const std::array<float, 2> corner = {at[p == 1 ? 0 : 4][0], at[2][1]};
    if (at[p] != corner) {
      file.fail(lines[p], 1,
                "point " + decimal(static_cast<std::int64_t>(p) + 1) + of_fusion + " stands at " +
                    place_text(at[p]) + ", not at the corner " + place_text(corner) +
                    " of its bracket");
    }
  }
  for (std::size_t p : {std::size_t{0}, std::size_t{4}, std::size_t{2}}) {
    auto& known = places.at[static_cast<std::size_t>(nodes[p])];
    if (known && *known != at[p]) {
      file.fail(lines[p], 1,
                "node " + decimal(nodes[p]) + " stands at " + place_text(at[p]) + " here and at " +
                    place_text(*known) + " in line " +
                    decimal(places.line[static_cast<std::size_t>(nodes[p])]));
    }
    known = at[p];
    places.line[static_cast<std::size_t>(nodes[p])] = lines[p];
  }
  year.joins.push_back({nodes[0], nodes[4]});
}

}  // namespace

std::vector<PlotYear> read_plot_records(std::string_view bytes, const std::string& file_name) {
  FileReader file(bytes, file_name);
  std::vector<PlotYear> years;
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
    PlotYear year;
    year.line = file.line();
    year.year = *IYEAR;
    year.locations = *NL;
    year.title = trimmed(view(TITLE));
    if (year.locations > kMaxPlotLocations) {
      file.fail(year.line, 6,
                "year " + decimal(year.year) + " has " + decimal(year.locations) +
                    " locations; the plot records number at most " + decimal(kMaxPlotLocations));
    }
    if (year.locations < 0) {
      file.fail(year.line, 6,
                "year " + decimal(year.year) + " has " + decimal(year.locations) + " locations");
    }
    const std::int32_t fusions = std::max(0, year.locations - 1);
    if (fusions > 0) {
      const auto nodes = 2 * static_cast<std::size_t>(year.locations);
      std::vector<std::uint8_t> state(nodes, 0);
      std::fill_n(state.begin() + 1, year.locations, std::uint8_t{1});
      std::vector<bool> seen(static_cast<std::size_t>(year.locations) + 1, false);
      Places places{std::vector<std::optional<std::array<float, 2>>>(nodes),
                    std::vector<std::int64_t>(nodes, 0)};
      year.nodes.reserve(nodes - 1);
      year.joins.reserve(static_cast<std::size_t>(fusions));
      for (std::int32_t s = 1; s <= fusions; ++s) {
        read_fusion_records(file, year, s, state, seen, places);
      }
      // Every node has been joined or made by now.
      for (pcl::Node& node : year.nodes) {
        const std::array<float, 2>& at = places.at.at(static_cast<std::size_t>(node.number)).value();
        node.x = at[0];
        node.y = at[1];
      }
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
    year.fusions.resize(static_cast<std::size_t>(fusions));
    year.fusions_line = file.line() + 1;
    for (FusionRecord& record : year.fusions) read_fusion(file.in(), kUnit, record);
    values.years.push_back(std::move(year));
  }
  return values;
}

void check_same_fusions(std::span<const PlotYear> plot, const ClusterValues& cluster,
                        const std::string& plot_file, const std::string& cluster_file) {
  if (cluster.years.size() != plot.size()) {
    throw LocatedError(cluster_file, 0, 0,
                       "holds " + decimal(static_cast<std::int64_t>(cluster.years.size())) +
                           " year groups, " + plot_file + " " +
                           decimal(static_cast<std::int64_t>(plot.size())));
  }
  for (std::size_t k = 0; k < plot.size(); ++k) {
    const PlotYear& drawn = plot[k];
    const ClusterYear& listed = cluster.years[k];
    if (listed.year != drawn.year || listed.locations != drawn.locations) {
      throw LocatedError(cluster_file, listed.line, 0,
                         "year " + decimal(listed.year) + " with " + decimal(listed.locations) +
                             " locations does not match year " + decimal(drawn.year) + " with " +
                             decimal(drawn.locations) + " locations at " + plot_file + ":" +
                             decimal(drawn.line));
    }
    // Equal location counts give equal numbers of fusions.
    for (std::size_t s = 0; s < listed.fusions.size(); ++s) {
      const FusionRecord& record = listed.fusions[s];
      const auto [first, second] = drawn.joins[s];
      const std::int32_t made = drawn.locations + static_cast<std::int32_t>(s) + 1;
      if (record.first != first || record.second != second || record.made != made) {
        throw LocatedError(
            cluster_file, listed.fusions_line + static_cast<std::int64_t>(s), 0,
            "fusion " + decimal(record.first) + " + " + decimal(record.second) + " = " +
                decimal(record.made) + " does not match " + plot_file + ":" +
                decimal(drawn.fusion_line(s)) + " (" + decimal(first) + " + " + decimal(second) +
                " = " + decimal(made) + ")");
      }
    }
  }
}

std::vector<std::string> year_columns(std::span<const std::int32_t> years) {
  std::map<std::int32_t, std::int64_t> seen;
  std::vector<std::string> columns;
  columns.reserve(years.size());
  for (const std::int32_t year : years) {
    const std::int64_t occurrence = ++seen[year];
    columns.push_back(occurrence > 1 ? decimal(year) + "-" + decimal(occurrence) : decimal(year));
  }
  return columns;
}

}  // namespace metclust::formats
