// Where each record group of the analysis goes, in the order a run writes
// them: the listing (.SCL), the value file (.CLS), the plot file (.PCL) and
// the console. The records themselves are those of the formats layer.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/work_segments.hpp"
#include "cluster/fusion_sink.hpp"
#include "formats/ema.hpp"
#include "formats/pcl.hpp"
#include "records/record_writer.hpp"
#include "records/text.hpp"

namespace metclust::analysis {

class OutputRecords {
 public:
  explicit OutputRecords(records::RecordWriter& out) : out_(out) {}

  void job_records(const formats::Title& TITLE);
  void strategy_menu();
  void option_echo(const formats::Options& options, std::int32_t ISTRAT);
  void sequence_records(std::int32_t IYS, std::int32_t IYF);
  // A progress message: to .SCL and then to the console.
  void message(std::string_view text);
  void year_records(std::int32_t IYEAR, const records::Name& YLABEL);
  void retained_count(std::int32_t NL);
  void elimination_vector(std::span<const std::int32_t> ELIM);
  // The upper triangle by rows, under its heading.
  void matrix_echo(std::span<const double> PII, std::span<const records::Name> NAMES,
                   std::int32_t NL);
  void fusion_heading();
  // The year's plot group, from the node table DENDRO left in the segments;
  // it names the year's groups there (LGp__7) as the plot records show them.
  void plot_group(const WorkSegments& work, std::int32_t IYEAR, std::int32_t NL,
                  std::string_view TITLE);

 private:
  records::RecordWriter& out_;
  std::vector<records::Value> values_;             // the values of one statement, reused
  std::vector<double> row_;                        // one row of the matrix echo, reused
  std::vector<formats::pcl::Node> nodes_;  // the node table of a year, reused
};

// The fusion listing: each fusion as one record on .SCL and the same record
// on .CLS.
class FusionListing : public cluster::FusionSink {
 public:
  explicit FusionListing(records::RecordWriter& out) : out_(out) {}
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
              double dmin) override;

 private:
  records::RecordWriter& out_;
};

}  // namespace metclust::analysis
