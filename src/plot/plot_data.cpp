#include "plot/plot_data.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

#include "plot/markup.hpp"
#include "records/numeric_input.hpp"

namespace metclust::plot {
namespace {

// Node numbers are written in three columns, so a year numbers at most 999
// nodes: 2NL-1 <= 999.
constexpr std::int32_t kMaxLocations = 500;

// Columns first..last (1-based, inclusive) of a record. Columns beyond the
// end of a short record count as blanks, so the part returned may be short
// or empty.
std::string_view columns(std::string_view record, std::size_t first, std::size_t last) {
  if (record.size() < first) return {};
  return record.substr(first - 1, std::min(last, record.size()) - (first - 1));
}

bool blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

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

// Reads the records of one file, numbering them from 1 for error messages.
class Records {
 public:
  Records(std::string_view bytes, const std::string& file)
      : records_(split_records(bytes)), file_(file) {}

  std::size_t size() const { return records_.size(); }
  std::string_view at(std::size_t index) const { return records_.at(index); }
  [[noreturn]] void fail(std::size_t index, const std::string& what) const {
    throw InputError(file_, static_cast<std::int64_t>(index) + 1, what);
  }

  std::int32_t integer(std::size_t index, std::size_t first, std::size_t last,
                       const std::string& item) const {
    const auto value = records::parse_int_field(columns(at(index), first, last));
    if (!value) fail(index, item + " (columns " + range(first, last) + ") is not a whole number");
    return *value;
  }

  template <class Real>
  Real real(std::size_t index, std::size_t first, std::size_t last, int digits,
            const std::string& item) const {
    const auto field = columns(at(index), first, last);
    if (blank(field)) fail(index, item + " (columns " + range(first, last) + ") is blank");
    const auto value = records::parse_real_field<Real>(field, digits);
    if (!value) fail(index, item + " (columns " + range(first, last) + ") is not a number");
    return *value;
  }

 private:
  static std::string range(std::size_t first, std::size_t last) {
    return integer_text(static_cast<std::int64_t>(first)) + "-" +
           integer_text(static_cast<std::int64_t>(last));
  }

  std::vector<std::string_view> records_;
  const std::string& file_;
};

// The node listing of a year: records 1..2NL-1 after the header carry, in
// columns 29-31 and 33-40, the locations in dendrogram order and then the
// groups in fusion order.
std::vector<ListedNode> read_listing(const Records& records, std::size_t header,
                                     std::int32_t locations) {
  const std::int32_t slots = 2 * locations - 1;
  std::vector<ListedNode> listing;
  listing.reserve(static_cast<std::size_t>(slots));
  std::vector<bool> seen(static_cast<std::size_t>(locations) + 1, false);
  for (std::int32_t slot = 1; slot <= slots; ++slot) {
    const std::size_t index = header + static_cast<std::size_t>(slot);
    const std::int32_t number = records.integer(index, 29, 31, "node listing number");
    if (slot <= locations) {
      if (number < 1 || number > locations) {
        records.fail(index,
                     cat({"node listing entry ", integer_text(slot), " should be a location 1..",
                          integer_text(locations), ", found ", integer_text(number)}));
      }
      if (seen[static_cast<std::size_t>(number)]) {
        records.fail(index, cat({"location ", integer_text(number), " is listed twice"}));
      }
      seen[static_cast<std::size_t>(number)] = true;
    } else if (number != slot) {
      records.fail(index, cat({"node listing entry ", integer_text(slot), " should be node ",
                               integer_text(slot), ", found ", integer_text(number)}));
    }
    listing.push_back({number, trailing_trimmed(columns(records.at(index), 33, 40))});
  }
  return listing;
}

// The six records of fusion s: five points and a record without a point.
// `state` tracks each node: 0 not made yet, 1 free to be joined, 2 joined.
PlotFusion read_fusion(const Records& records, std::size_t first, std::int32_t locations,
                       std::int32_t s, std::vector<std::uint8_t>& state) {
  static constexpr const char* kWhich[] = {"point 1", "point 2", "point 3", "point 4", "point 5"};
  const std::string of_fusion = cat({" of fusion ", integer_text(s)});
  PlotFusion fusion;
  fusion.line = static_cast<std::int64_t>(first) + 1;
  for (std::size_t p = 0; p < 5; ++p) {
    const std::size_t index = first + p;
    const std::string which = kWhich[p] + of_fusion;
    PlotPoint& point = fusion.points[p];
    point.x = records.real<float>(index, 1, 7, 3, cat({"abscissa of ", which}));
    point.y = records.real<float>(index, 8, 14, 3, cat({"ordinate of ", which}));
    point.node = records.integer(index, 16, 18, cat({"node number of ", which}));
    point.name = trailing_trimmed(columns(records.at(index), 20, 27));
    if (p % 2 == 0 && point.node < 1) records.fail(index, which + " carries no node number");
  }
  if (!blank(columns(records.at(first + 5), 1, 27))) {
    records.fail(first + 5, cat({"record 6 of fusion ", integer_text(s), " should hold no point"}));
  }

  const std::int32_t made = locations + s;
  if (fusion.points[2].node != made) {
    records.fail(first + 2,
                 cat({"point 3 of fusion ", integer_text(s), " should be node ", integer_text(made),
                      ", found ", integer_text(fusion.points[2].node)}));
  }
  for (std::size_t p : {std::size_t{0}, std::size_t{4}}) {
    const std::int32_t node = fusion.points[p].node;
    const bool known = node < made;
    if (!known || state[static_cast<std::size_t>(node)] == 0) {
      records.fail(first + p, cat({"fusion ", integer_text(s), " joins node ", integer_text(node),
                                   ", which is neither a location nor an earlier group"}));
    }
    if (state[static_cast<std::size_t>(node)] == 2) {
      records.fail(first + p, cat({"fusion ", integer_text(s), " joins node ", integer_text(node),
                                   ", which is joined already"}));
    }
    state[static_cast<std::size_t>(node)] = 2;
  }
  state[static_cast<std::size_t>(made)] = 1;
  return fusion;
}

}  // namespace

InputError::InputError(std::string file, std::int64_t line, const std::string& what)
    : std::runtime_error(what), file_(std::move(file)), line_(line) {}

std::string InputError::message() const {
  std::string text = file_;
  if (line_ > 0) {
    text += ':';
    text += integer_text(line_);
  }
  text += ": ";
  text += what();
  return text;
}

std::vector<std::string_view> split_records(std::string_view bytes) {
  std::vector<std::string_view> records;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view record = bytes.substr(start, end - start);
    if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
    records.push_back(record);
    start = next;
  }
  return records;
}

std::vector<YearPlot> read_plot_records(std::string_view bytes, const std::string& file) {
  const Records records(bytes, file);
  std::vector<YearPlot> years;
  std::size_t header = 0;
  while (header < records.size()) {
    // Header (2I5,1X,A50): year, NL, title.
    if (blank(columns(records.at(header), 1, 10))) {
      records.fail(header,
                   "expected a year header (year in columns 1-5, number of locations in "
                   "columns 6-10), found a record without them");
    }
    YearPlot year;
    year.line = static_cast<std::int64_t>(header) + 1;
    year.year = records.integer(header, 1, 5, "year");
    year.locations = records.integer(header, 6, 10, "number of locations");
    year.title = trimmed(columns(records.at(header), 12, 61));
    if (year.locations > kMaxLocations) {
      records.fail(
          header,
          cat({"year ", integer_text(year.year), " has ", integer_text(year.locations),
               " locations; the plot records number at most ", integer_text(kMaxLocations)}));
    }
    const std::int32_t fusions = std::max(0, year.locations - 1);
    const std::size_t needed = 6 * static_cast<std::size_t>(fusions);
    const std::size_t present = records.size() - header - 1;
    if (present < needed) {
      records.fail(header, cat({"the year group of ", integer_text(year.year), " with ",
                                integer_text(year.locations), " locations needs ",
                                integer_text(static_cast<std::int64_t>(needed) + 1),
                                " records, the file ends after ",
                                integer_text(static_cast<std::int64_t>(present) + 1)}));
    }
    if (fusions > 0) {
      year.listing = read_listing(records, header, year.locations);
      std::vector<std::uint8_t> state(2 * static_cast<std::size_t>(year.locations), 0);
      std::fill_n(state.begin() + 1, year.locations, std::uint8_t{1});
      year.fusions.reserve(static_cast<std::size_t>(fusions));
      for (std::int32_t s = 1; s <= fusions; ++s) {
        const std::size_t first = header + 1 + 6 * static_cast<std::size_t>(s - 1);
        year.fusions.push_back(read_fusion(records, first, year.locations, s, state));
      }
    }
    years.push_back(std::move(year));
    header += 1 + needed;
  }
  return years;
}

ClusterValues read_cluster_records(std::string_view bytes, const std::string& file) {
  const Records records(bytes, file);
  // The line of counts, the title, the option record and the sequence record.
  static constexpr const char* kOpening[] = {"the line of counts", "the title record",
                                             "the option record", "the sequence record"};
  if (records.size() < 4) {
    throw InputError(file, 0,
                     cat({"the file ends before ", std::string(kOpening[records.size()])}));
  }
  ClusterValues values;
  const std::int32_t maxl = records.integer(0, 7, 12, "MAXL");
  values.title = trimmed(columns(records.at(1), 1, 50));
  values.strategy = records.integer(2, 25, 30, "strategy number");
  const std::size_t elim_records = maxl > 0 ? (static_cast<std::size_t>(maxl) + 29) / 30 : 0;

  std::size_t index = 4;
  while (index < records.size()) {
    // Year record (I6,4X,A8), NL (30I4), the elimination vector, NL-1
    // fusion records.
    ClusterYear year;
    year.line = static_cast<std::int64_t>(index) + 1;
    year.year = records.integer(index, 1, 6, "year");
    year.label = trimmed(columns(records.at(index), 11, 18));
    if (index + 1 >= records.size()) {
      records.fail(index,
                   cat({"the file ends after the year record of ", integer_text(year.year)}));
    }
    year.locations = records.integer(index + 1, 1, 4, "number of locations");
    const std::size_t fusions = static_cast<std::size_t>(std::max(0, year.locations - 1));
    const std::size_t first = index + 2 + elim_records;
    if (first > records.size() || records.size() - first < fusions) {
      records.fail(index, cat({"the year group of ", integer_text(year.year), " needs ",
                               integer_text(static_cast<std::int64_t>(2 + elim_records + fusions)),
                               " records, the file ends before"}));
    }
    year.fusions.reserve(fusions);
    for (std::size_t f = 0; f < fusions; ++f) {
      // (3X,I4,1X,"+",I4,1X,"=",I4,1X,E16.8)
      const std::size_t at = first + f;
      const std::string_view record = records.at(at);
      if (columns(record, 9, 9) != "+" || columns(record, 15, 15) != "=") {
        records.fail(at, "expected a fusion record with \"+\" in column 9 and \"=\" in column 15");
      }
      FusionLevel fusion;
      fusion.line = static_cast<std::int64_t>(at) + 1;
      fusion.first = records.integer(at, 4, 7, "first group");
      fusion.second = records.integer(at, 10, 13, "second group");
      fusion.node = records.integer(at, 16, 19, "new group");
      fusion.level = records.real<double>(at, 21, 36, 8, "fusion level");
      year.fusions.push_back(fusion);
    }
    values.years.push_back(std::move(year));
    index = first + fusions;
  }
  return values;
}

void attach_cluster_values(std::vector<YearPlot>& years, const ClusterValues& values,
                           const std::string& cluster_file, const std::string& plot_file) {
  if (values.years.size() != years.size()) {
    throw InputError(cluster_file, 0,
                     cat({"holds ", integer_text(static_cast<std::int64_t>(values.years.size())),
                          " year groups, ", plot_file, " ",
                          integer_text(static_cast<std::int64_t>(years.size()))}));
  }
  for (std::size_t k = 0; k < years.size(); ++k) {
    YearPlot& plot = years[k];
    const ClusterYear& cluster = values.years[k];
    if (cluster.year != plot.year || cluster.locations != plot.locations) {
      throw InputError(cluster_file, cluster.line,
                       cat({"year ", integer_text(cluster.year), " with ",
                            integer_text(cluster.locations), " locations does not match year ",
                            integer_text(plot.year), " with ", integer_text(plot.locations),
                            " locations at ", plot_file, ":", integer_text(plot.line)}));
    }
    // Equal location counts give equal numbers of fusions.
    std::vector<double> levels;
    levels.reserve(cluster.fusions.size());
    for (std::size_t s = 0; s < cluster.fusions.size(); ++s) {
      const FusionLevel& level = cluster.fusions[s];
      const PlotFusion& fusion = plot.fusions[s];
      if (level.first != fusion.first() || level.second != fusion.second() ||
          level.node != fusion.points[2].node) {
        throw InputError(
            cluster_file, level.line,
            cat({"fusion ", integer_text(level.first), " + ", integer_text(level.second), " = ",
                 integer_text(level.node), " does not match ", plot_file, ":",
                 integer_text(fusion.line), " (", integer_text(fusion.first()), " + ",
                 integer_text(fusion.second()), " = ", integer_text(fusion.points[2].node), ")"}));
      }
      levels.push_back(level.level);
    }
    plot.label = cluster.label;
    plot.levels = std::move(levels);
  }
}

std::string strategy_text(std::int32_t strategy) {
  static constexpr const char* kTexts[] = {
      "Nearest neighbour", "Furthest neighbour", "Group average",  "Median",
      "Centroid",          "Flexible WPGMA",     "Flexible UPGMA", "Incremental sum of squares"};
  if (strategy >= 1 && strategy <= 8) return kTexts[strategy - 1];
  return cat({"strategy ", integer_text(strategy), ", clustered as Nearest neighbour"});
}

}  // namespace metclust::plot
