// What each source (square matrices, pairs, trial results) hands on: one
// year's locations with their full names and the proximities between them,
// and where in the source each was first named, so that a fault found when
// the job is put together can still point at a line and column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace metclust::import {

// A place in a source file, 1-based.
struct Place {
  std::int64_t line = 0;
  std::int64_t column = 0;
};

struct SourceLocation {
  std::string name;  // the full name, as the source gives it
  Place place;       // where the year first names it
};

struct SourceYear {
  std::int64_t year = 0;
  std::string file;  // the source file, for messages
  Place place;       // where the year is first named
  std::vector<SourceLocation> locations;
  // The strict upper triangle over `locations` in their order, packed as
  // records::packed_index places it.
  std::vector<double> proximities;
};

}  // namespace metclust::import
