#pragma once
// Formatting of catalogue texts with arguments, in the manner of the
// platform's wsprintf, done safely.
//
// Conversions: %c %C %d %i %u %x %X %s %S %%, with the flags '-', '0' and
// '#', a width, a precision (the most characters of a text, the fewest
// digits of a number) and the size prefixes 'l', 'h', "ll" and "I64" (all
// read as the one argument given). No floating point, as wsprintf has none.
//
// Safety: arguments are typed values, so a format never reads what was not
// given. A conversion with no argument left prints nothing; a number given
// to %s prints in decimal; a text given to a number conversion prints the
// text; a character given to %d prints its code. The result is cut to
// `maxBytes` bytes without splitting a UTF-8 character.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace tx {

/// One argument of FormatText.
class FormatArg {
 public:
  FormatArg(int value) : m_value(std::int64_t{value}) {}
  FormatArg(unsigned value) : m_value(std::int64_t{value}) {}
  FormatArg(long value) : m_value(std::int64_t{value}) {}
  FormatArg(unsigned long value) : m_value(static_cast<std::int64_t>(value)) {}
  FormatArg(long long value) : m_value(std::int64_t{value}) {}
  FormatArg(char value) : m_value(std::int64_t{static_cast<unsigned char>(value)}) {}
  FormatArg(const char* value) : m_value(std::string_view(value ? value : "")) {}
  FormatArg(std::string_view value) : m_value(value) {}
  FormatArg(const std::string& value) : m_value(std::string_view(value)) {}

  bool isText() const { return std::holds_alternative<std::string_view>(m_value); }
  std::int64_t number() const;
  std::string_view text() const;

 private:
  std::variant<std::int64_t, std::string_view> m_value;
};

/// The most a formatted message holds.
inline constexpr std::size_t kMaxFormattedBytes = 1023;

/// `format` with `args` substituted, at most `maxBytes` bytes.
std::string FormatText(std::string_view format, std::span<const FormatArg> args,
                       std::size_t maxBytes = kMaxFormattedBytes);

}  // namespace tx
