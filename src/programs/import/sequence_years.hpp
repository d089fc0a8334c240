// How a job's years are written so that no output shows asterisks. Each
// year record carries the year as given (IYEAR, six columns in .EMA and
// .CLS, five in .PCL) with the year as its label (YLABEL, eight
// characters). The run header's first and last year (IYS, IYF) are shown in
// three columns on the sequence line of .SCL and the console, so they are
// written as given when every year of the job lies within -99 to 999, and
// as year - 1900 when every year lies within 1801 to 2899 (1995 as 95, 2004
// as 104), as two-digit years have always been written.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace metclust::import {

struct SequenceYears {
  std::int32_t IYS = 0;
  std::int32_t IYF = 0;
};

// The header years of a job whose years (at least one) are `years`; nullopt
// when they fit neither range, with `culprit` set to the first year in the
// list that is to blame.
std::optional<SequenceYears> sequence_years(std::span<const std::int64_t> years, std::size_t& culprit);

}  // namespace metclust::import
