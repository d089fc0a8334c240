// The records of the .PCL plot file: for each year a header, then for every
// fusion the five points of its bracket and a record without a point; the
// node listing stands beside them, record c after the header carrying entry
// c of the listing while there is one.
//
//   header             (2I5,1X,A50)  IYEAR NL TITLE
//   point and entry    (2F7.3,1X,A3,1X,A8,1X,A3,1X,A8)  x y number name, entry number and name
//   point              (2F7.3,1X,A3,1X,A8)
//   entry alone        (28X,A3,1X,A8)
//   empty              ()
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "records/record_reader.hpp"
#include "records/record_writer.hpp"
#include "records/text.hpp"

namespace metclust::formats::pcl {

using NodeNumber = std::array<char, 3>;  // right-aligned, blank for no node

// A node of the year's dendrogram as the records show it: where it stands
// (abscissa and ordinate), its number and its name.
struct Node {
  float x = 0.0f;
  float y = 0.0f;
  std::int32_t number = 0;
  records::Name name = records::kBlankName;
};

// Writes one year's plot group: the header, then fusion() once per fusion.
class GroupWriter {
 public:
  GroupWriter(records::RecordWriter& out, int unit) : out_(out), unit_(unit) {}

  // The listing (2NL-1 nodes, or none) gives the number and name of each
  // entry; it must outlive the group's fusions.
  void header(std::int32_t IYEAR, std::int32_t NL, std::string_view TITLE,
              std::span<const Node> listing);
  // The bracket of a fusion, five points: up from `first` (point 1), across
  // at the ordinate of `made` (points 2 to 4, point 3 being `made`), down to
  // `second` (point 5); then a record without a point. Points 2 and 4 carry
  // no node.
  void fusion(const Node& first, const Node& made, const Node& second);

 private:
  void entry_record(const Node* point);

  records::RecordWriter& out_;
  int unit_;
  std::span<const Node> listing_;
  std::size_t next_ = 0;  // the listing entry the next record carries
};

// One record as a reader finds it: every field optional, so that blanks can
// be told from values. Node numbers keep their three columns.
struct ReadRecord {
  std::optional<float> x;
  std::optional<float> y;
  NodeNumber number = {' ', ' ', ' '};
  records::Name name = records::kBlankName;
  NodeNumber entry_number = {' ', ' ', ' '};
  records::Name entry_name = records::kBlankName;
};

// The header's numbers are empty when their columns are blank.
bool read_header(records::RecordReader& in, int unit, std::optional<std::int32_t>& IYEAR,
                 std::optional<std::int32_t>& NL, std::array<char, 50>& TITLE,
                 records::AtEnd at_end);
void read_record(records::RecordReader& in, int unit, ReadRecord& record);

// The column where the fields of a record begin, for messages.
inline constexpr std::int64_t kColumnX = 1;
inline constexpr std::int64_t kColumnY = 8;
inline constexpr std::int64_t kColumnNumber = 16;
inline constexpr std::int64_t kColumnEntry = 29;

}  // namespace metclust::formats::pcl
