// The records of the .SCL listing, several of which the console shows too:
// each function writes one record group on the channel it is given.
//
//   run summary        (" Maximum number of years in data set             (MAXY) = ",I6,/, ...
//                       " Number of elements in LxL upper triagular matrix (NTM) = ",I6)
//   increase lines     (" INCREASE DIMENSION OF DZ ARRAY TO",I8)  (Z, MZ, AZ alike)
//   dimension report   (/," DIMENSIONS OF ARRAYS:",/," PRESENT DIMENSIONS:  DZ=",I6," Z=",I6,
//                       " MZ=",I6," AZ=",I6,/," DIMENSIONS REQUIRED: DZ=",I6," Z=",I6,
//                       " MZ=",I6," AZ=",I6)
//   empty line         ()
//   job line           (" Job is ",A50)
//   strategy question  (A30), then eight menu lines (A30," Type (",I1,")")
//   option echo        (" Weighted (W) or unweighted (U) analysis (WEIGHT) ",A1,/, ...
//                       " Clustering strategy: ",A30)
//   sequence line      (" Sequence starts in year ",I3," & finishes in year ",I3)
//   progress message   (A)
//   year line          (/,"   For year ",A8)
//   matrix heading     (A)  "   NL# Location     PII((I2=I1+1,NL),I1=2,NL-1)"
//   matrix row         (I6,1X,A8,1X,(T17,10E16.8))
//   fusion heading     (A)  "    Gpi + Gpj = Gpij     D(ij)"
//   fusion record      (3X,I4,1X,"+",I4,1X,"=",I4,1X,E16.8)  also on .CLS
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "formats/ema.hpp"
#include "records/record_writer.hpp"
#include "records/text.hpp"

namespace metclust::formats {

// NTM: the elements of the L x L location matrix's upper triangle, diagonal
// included.
constexpr std::int64_t elements_in_triangle(std::int64_t L) { return L * (L + 1) / 2; }

// The run header and the counts derived from it: NYA, the years of the
// sequence, and NTM for MAXL locations, held in 8 bytes so that no header
// value can overflow them.
struct RunSummary : RunHeaderValues {
  std::int64_t NYA = 0;
  std::int64_t NTM = 0;
};

constexpr RunSummary run_summary(const RunHeaderValues& header) {
  return {header, std::int64_t{header.IYF} - header.IYS + 1, elements_in_triangle(header.MAXL)};
}

// The element counts of the four work arrays.
struct ArrayCounts {
  std::int64_t DZ = 0;
  std::int64_t Z = 0;
  std::int64_t MZ = 0;
  std::int64_t AZ = 0;
};

enum class WorkArray { DZ, Z, MZ, AZ };

namespace scl {

void write_run_summary(records::RecordWriter& out, int unit, const RunSummary& summary);
void write_increase(records::RecordWriter& out, int unit, WorkArray array, std::int64_t needed);
void write_dimension_report(records::RecordWriter& out, int unit, const ArrayCounts& present,
                            const ArrayCounts& required);
void write_empty(records::RecordWriter& out, int unit);
void write_job_line(records::RecordWriter& out, int unit, const Title& TITLE);
void write_strategy_menu(records::RecordWriter& out, int unit);
void write_option_echo(records::RecordWriter& out, int unit, const Options& options,
                       std::int32_t ISTRAT);
void write_sequence_line(records::RecordWriter& out, int unit, std::int32_t IYS, std::int32_t IYF);
void write_message(records::RecordWriter& out, int unit, std::string_view text);
void write_year_line(records::RecordWriter& out, int unit, const records::Name& YLABEL);
void write_matrix_heading(records::RecordWriter& out, int unit);
// Row i of the upper triangle: its number, its name and the proximities to
// the later locations i+1..NL.
void write_matrix_row(records::RecordWriter& out, int unit, std::int32_t i,
                      const records::Name& name, std::span<const double> later,
                      std::vector<records::Value>& values);
void write_fusion_heading(records::RecordWriter& out, int unit);

}  // namespace scl

// The fusion record, the same on .SCL and .CLS: the labels of the two groups
// joined, the new group's label and the fusion level D(ij).
struct FusionRecord {
  std::int32_t first = 0;
  std::int32_t second = 0;
  std::int32_t made = 0;
  double level = 0.0;
};

void write_fusion(records::RecordWriter& out, int unit, const FusionRecord& fusion);
// Reads one fusion record; false at the end of the stream.
bool read_fusion(records::RecordReader& in, int unit, FusionRecord& fusion,
                 records::AtEnd at_end = records::AtEnd::Report);

}  // namespace metclust::formats
