// The records of the .CLS value file: the same facts as the listing, as bare
// values.
//
//   counts            (10I6)  MAXY MAXL MAXG IYS IYF NYA NTM
//   title             (A50)
//   option record     (4(5X,A1),I6)  WEIGHT PRXTYP SEDTYP CORTYP ISTRAT
//   sequence record   (30I4)  IYS IYF
//   for each year:
//     year record     (I6,4X,A8)  as in .EMA
//     count record    (30I4)  NL
//     elimination     (30I4)  the MAXL values of ELIM, thirty to a record
//     fusion records  as in .SCL, one per fusion
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/ema.hpp"
#include "formats/scl.hpp"
#include "records/record_reader.hpp"
#include "records/record_writer.hpp"

namespace metclust::formats::cls {

void write_counts(records::RecordWriter& out, int unit, const RunSummary& summary);
void write_title(records::RecordWriter& out, int unit, const Title& TITLE);
void write_options(records::RecordWriter& out, int unit, const Options& options,
                   std::int32_t ISTRAT);
// The sequence record, the count record and the elimination vector share
// one layout of whole numbers.
void write_integers(records::RecordWriter& out, int unit, std::span<const std::int32_t> values,
                    std::vector<records::Value>& buffer);

// Readers of the same records, for the programs that read a finished job.
// The run summary is read as it was written: NYA and NTM as whole numbers
// of the 4-byte range (asterisks there read as a fault).
void read_counts(records::RecordReader& in, int unit, std::span<std::int32_t, 7> counts);
void read_title(records::RecordReader& in, int unit, Title& TITLE);
void read_options(records::RecordReader& in, int unit, Options& options, std::int32_t& ISTRAT);
void read_integers(records::RecordReader& in, int unit, std::span<std::int32_t> values);

}  // namespace metclust::formats::cls
