// The fields of the source CSV files: years, location names, proximities and
// trial values, each checked where it stands, so that a bad one is reported
// with its file, line and column and what was expected there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "import/source_text.hpp"
#include "import/source_year.hpp"
#include "text/csv.hpp"

namespace metclust::import {

// A field's text without the blanks and tabs around it.
std::string_view trimmed(std::string_view text);

Place place_of(const text::CsvField& field);

// A fault at a field: records::LocatedError naming the file and the field's
// line and column.
[[noreturn]] void fail_at(const std::string& file, const text::CsvField& field,
                          const std::string& message);
[[noreturn]] void fail_at(const std::string& file, Place place, const std::string& message);

// The field's text as it is quoted in a message: "text", shortened when long,
// with control characters and bytes that are not UTF-8 shown as \xHH
// (records::shown_text).
std::string quoted(std::string_view text);

// A year: a whole number.
std::int64_t year_field(const std::string& file, const text::CsvField& field);
// A name as a field gives it (text::normalized_name): NFC, without the
// blanks at either end, so that one name typed two ways is one name.
std::string name_field(const text::CsvField& field);
// A location name (name_field): anything but an empty field.
std::string location_field(const std::string& file, const text::CsvField& field);
// The largest proximity taken: metclust never joins a pair above its search
// ceiling (1E20), so a run would end at the first fusion left with only such
// pairs.
inline constexpr double kLargestProximity = 1e20;

// A proximity of the source file: a finite number from 0 up to
// kLargestProximity, with the file's decimal mark.
double proximity_value(SourceText& source, const text::CsvField& field);
// A proximity that may be missing (an empty field or NA); nullopt then.
std::optional<double> optional_proximity(SourceText& source, const text::CsvField& field);
// A trial value: any finite number, or nullopt for an empty field or NA.
std::optional<double> trial_value(SourceText& source, const text::CsvField& field);

// True for the texts that stand for a missing value: an empty field or NA.
bool is_missing(std::string_view text);

}  // namespace metclust::import
