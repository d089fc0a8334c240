// Numeric fields of input records: the Iw, Ew.d and Fw.d fields of
// fixed-column reads and the integer values of free-form reads. A small lexer
// checks each field against its grammar and hands a canonical text to
// std::from_chars; it works on any bytes, so plot tools and fuzzers can call
// it directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace metclust::records {

// Iw: blanks are dropped wherever they stand; what is left is an optional
// "+" or "-" followed by at least one digit, or nothing at all (the value 0).
// nullopt for any other text, a sign without digits, or a magnitude beyond
// the 4-byte range.
std::optional<std::int32_t> parse_int_field(std::string_view field);

// Ew.d and Fw.d alike: blanks are dropped; an optional sign, digits with at
// most one decimal point, and an optional exponent: "E", "D" or "Q" in
// either case with an optional sign and digits, or a sign and digits alone
// ("1.5+3" is 1500). Without a decimal point the last `digits` digits are
// the fraction; an explicit point overrides them. A field of blanks is 0.
// The text is rounded once, to the nearest value of Real. nullopt for a text
// outside the grammar (a sign, a point or an exponent without digits
// included) and for a magnitude too large for Real; a magnitude too small for
// Real gives zero with the text's sign.
template <class Real>
std::optional<Real> parse_real_field(std::string_view field, int digits);

extern template std::optional<float> parse_real_field<float>(std::string_view, int);
extern template std::optional<double> parse_real_field<double>(std::string_view, int);

// One free-form value (the text between separators, without blanks) for an
// integer target.
enum class FreeFormStatus {
  Ok,
  NotANumber,  // list syntax: the value is no number at all
  OutOfRange,  // a number whose integer value lies beyond the 4-byte range
};

struct FreeFormInt {
  FreeFormStatus status = FreeFormStatus::NotANumber;
  std::int32_t value = 0;
};

// Integer form (optional sign and digits) converts directly; real form (a
// decimal point or an exponent, as in parse_real_field with no implied
// fraction digits) converts to an 8-byte real and is truncated toward zero:
// "12.7" gives 12, "-2.5" gives -2, "1E3" gives 1000.
FreeFormInt parse_free_form_int(std::string_view value);

}  // namespace metclust::records
