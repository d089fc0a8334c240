#include "records/numeric_input.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace metclust::records {
namespace {

// Significant digits handed to from_chars. Deciding the rounding of any
// float or double never needs more than 768 of them; the digits beyond are
// folded into one sticky digit, so a field of any length costs no more.
constexpr std::size_t kKeptDigits = 800;
// Exponents are accumulated only up to here: far beyond the range of any
// real, and far from overflowing the 64-bit sums below.
constexpr std::int64_t kExponentClamp = 1'000'000'000;
// Decimal orders beyond which every target overflows or underflows.
constexpr std::int64_t kOrderLimit = 400;

constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Walks a field with its blanks dropped: peek() is the next non-blank byte,
// or -1 at the end of the field.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  int peek() {
    while (at_ < text_.size() && text_[at_] == ' ') ++at_;
    return at_ < text_.size() ? static_cast<unsigned char>(text_[at_]) : -1;
  }
  void advance() { ++at_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

enum class IntSyntax { Ok, Bad };

struct IntLex {
  IntSyntax syntax = IntSyntax::Bad;
  bool in_range = false;
  std::int32_t value = 0;
};

// Optional sign and digits, or nothing at all (0).
IntLex lex_int(std::string_view text) {
  IntLex out;
  Cursor cur(text);
  int c = cur.peek();
  if (c == -1) {
    out.syntax = IntSyntax::Ok;
    out.in_range = true;
    return out;
  }
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    cur.advance();
  }
  // The magnitude stops growing just past 2^31, so it never wraps.
  constexpr std::uint64_t kCap = std::uint64_t{1} << 32;
  std::uint64_t magnitude = 0;
  std::size_t digits = 0;
  while (is_digit(c = cur.peek())) {
    magnitude = std::min(kCap, magnitude * 10 + static_cast<std::uint64_t>(c - '0'));
    ++digits;
    cur.advance();
  }
  if (c != -1 || digits == 0) return out;
  out.syntax = IntSyntax::Ok;
  constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int32_t>::max();
  if (negative) {
    out.in_range = magnitude <= kMaxPositive + 1;
    if (out.in_range) out.value = static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  } else {
    out.in_range = magnitude <= kMaxPositive;
    if (out.in_range) out.value = static_cast<std::int32_t>(magnitude);
  }
  return out;
}

// A real field reduced to sign, significant digits and decimal order:
// the value is 0.<digits> x 10^order.
struct RealLex {
  bool ok = false;
  bool negative = false;
  bool has_point = false;
  bool has_exponent = false;
  std::array<char, kKeptDigits + 1> digits;
  std::size_t kept = 0;  // digits used, the sticky digit included
  std::int64_t order = 0;
};

RealLex lex_real(std::string_view text, int implied_fraction) {
  RealLex out;
  Cursor cur(text);
  int c = cur.peek();
  if (c == -1) {
    out.ok = true;  // blanks only: zero
    return out;
  }
  if (c == '+' || c == '-') {
    out.negative = c == '-';
    cur.advance();
  }

  std::int64_t mantissa_digits = 0;
  std::int64_t fraction_digits = 0;
  std::int64_t significant = 0;
  bool sticky = false;
  for (;;) {
    c = cur.peek();
    if (is_digit(c)) {
      ++mantissa_digits;
      if (out.has_point) ++fraction_digits;
      if (significant > 0 || c != '0') {
        if (out.kept < kKeptDigits) {
          out.digits[out.kept++] = static_cast<char>(c);
        } else if (c != '0') {
          sticky = true;
        }
        ++significant;
      }
    } else if (c == '.') {
      if (out.has_point) return out;
      out.has_point = true;
    } else {
      break;
    }
    cur.advance();
  }
  if (mantissa_digits == 0) return out;

  std::int64_t exponent = 0;
  if (c != -1) {
    out.has_exponent = true;
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q') {
      cur.advance();
      c = cur.peek();
      if (c == '+' || c == '-') cur.advance();
    } else if (c == '+' || c == '-') {
      cur.advance();
    } else {
      return out;
    }
    const bool negative_exponent = c == '-';
    std::size_t exponent_digits = 0;
    while (is_digit(c = cur.peek())) {
      exponent = std::min(kExponentClamp, exponent * 10 + (c - '0'));
      ++exponent_digits;
      cur.advance();
    }
    if (c != -1 || exponent_digits == 0) return out;
    if (negative_exponent) exponent = -exponent;
  }

  if (sticky) out.digits[out.kept++] = '1';
  const std::int64_t scale = out.has_point ? fraction_digits : std::max(implied_fraction, 0);
  out.order = significant + exponent - scale;
  out.ok = true;
  return out;
}

template <class Real>
Real signed_zero(bool negative) {
  return negative ? -Real(0) : Real(0);
}

// Rounds the lexed text once, to the nearest Real.
template <class Real>
std::optional<Real> convert(const RealLex& lex) {
  if (lex.kept == 0 || lex.order < -kOrderLimit) return signed_zero<Real>(lex.negative);
  if (lex.order > kOrderLimit) return std::nullopt;

  std::array<char, kKeptDigits + 32> text;
  char* end = text.data();
  *end++ = '0';
  *end++ = '.';
  end = std::copy_n(lex.digits.data(), lex.kept, end);
  *end++ = 'e';
  end = std::to_chars(end, text.data() + text.size(), lex.order).ptr;

  Real value{};
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec == std::errc::result_out_of_range) {
    if (lex.order > 0) return std::nullopt;
    return signed_zero<Real>(lex.negative);
  }
  if (ec != std::errc{} || ptr != end) return std::nullopt;
  return lex.negative ? -value : value;
}

// The field without its leading and trailing blanks.
std::string_view trim_blanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Integer form handed straight to from_chars: an optional sign and digits
// with no blank among them. Nothing when the text is any other, which the
// lexer then reads or refuses.
std::optional<IntLex> direct_int(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* const last = first + text.size();
  if (*first == '+' && text.size() > 1 && is_digit(first[1])) ++first;
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (end != last) return std::nullopt;
  if (ec == std::errc{}) return IntLex{IntSyntax::Ok, true, value};
  if (ec == std::errc::result_out_of_range) return IntLex{IntSyntax::Ok, false, 0};
  return std::nullopt;
}

// The common written form of a real field, "-0.12345678E+02" or "12.345",
// handed straight to from_chars: an optional sign, a mantissa with its
// decimal point and an optional exponent in E form, no blank inside. Nothing
// when the field holds anything else (other exponent letters, a sign-only
// exponent, no point, a long digit string) or when the value is zero or lies
// beyond the target: the lexer then reads it, with its rules for those.
template <class Real>
std::optional<Real> direct_real(std::string_view text) {
  constexpr std::size_t kLongest = 40;
  if (text.empty() || text.size() > kLongest || text.find('.') == std::string_view::npos) {
    return std::nullopt;
  }
  const char* first = text.data();
  const char* const last = first + text.size();
  // After the sign a digit or the point, which also keeps out the words
  // from_chars would take ("inf", "nan"); from_chars takes no "+".
  const char* const mantissa = first + (*first == '+' || *first == '-' ? 1 : 0);
  if (mantissa == last || !(is_digit(*mantissa) || *mantissa == '.')) return std::nullopt;
  if (*first == '+') first = mantissa;
  Real value{};
  const auto [end, ec] = std::from_chars(first, last, value);
  if (end != last || ec != std::errc{} || value == 0 || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<std::int32_t> parse_int_field(std::string_view field) {
  const std::string_view text = trim_blanks(field);
  IntLex lex;
  if (const std::optional<IntLex> direct = direct_int(text)) {
    lex = *direct;
  } else {
    lex = lex_int(text);
  }
  if (lex.syntax != IntSyntax::Ok || !lex.in_range) return std::nullopt;
  return lex.value;
}

template <class Real>
std::optional<Real> parse_real_field(std::string_view field, int digits) {
  const std::string_view text = trim_blanks(field);
  if (const std::optional<Real> direct = direct_real<Real>(text)) return direct;
  const RealLex lex = lex_real(text, digits);
  if (!lex.ok) return std::nullopt;
  return convert<Real>(lex);
}

template std::optional<float> parse_real_field<float>(std::string_view, int);
template std::optional<double> parse_real_field<double>(std::string_view, int);

FreeFormInt parse_free_form_int(std::string_view value) {
  FreeFormInt out;
  if (value.empty() || value.find(' ') != std::string_view::npos) return out;

  const std::optional<IntLex> direct = direct_int(value);
  const IntLex as_int = direct ? *direct : lex_int(value);
  if (as_int.syntax == IntSyntax::Ok) {
    out.status = as_int.in_range ? FreeFormStatus::Ok : FreeFormStatus::OutOfRange;
    out.value = as_int.value;
    return out;
  }

  const RealLex as_real = lex_real(value, 0);
  if (!as_real.ok) return out;
  const std::optional<double> real = convert<double>(as_real);
  // Every 8-byte real strictly between these two truncates into the 4-byte
  // range; both bounds are exact doubles.
  constexpr double kBelowMin = -2147483649.0;
  constexpr double kAboveMax = 2147483648.0;
  if (!real || !(*real > kBelowMin && *real < kAboveMax)) {
    out.status = FreeFormStatus::OutOfRange;
    return out;
  }
  out.status = FreeFormStatus::Ok;
  out.value = static_cast<std::int32_t>(*real);
  return out;
}

}  // namespace metclust::records
