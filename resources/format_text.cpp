#include "resources/format_text.h"

#include <algorithm>
#include <charconv>

namespace tx {
namespace {

struct Conversion {
  bool leftAlign = false;
  bool zeroPad = false;
  bool alternate = false;
  std::size_t width = 0;
  std::size_t precision = 0;
  bool hasPrecision = false;
  bool wide = false;  // 'l' or 'h' prefix; read as the one argument given
  char type = 0;
};

// Widths beyond this are cut, so a format cannot ask for huge padding.
constexpr std::size_t kMaxWidth = kMaxFormattedBytes;

std::size_t ReadCount(std::string_view format, std::size_t& pos) {
  std::size_t value = 0;
  while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
    value = std::min(kMaxWidth, value * 10 + static_cast<std::size_t>(format[pos] - '0'));
    ++pos;
  }
  return value;
}

// Reads the conversion after '%'; pos ends past its type character.
Conversion ReadConversion(std::string_view format, std::size_t& pos) {
  Conversion c;
  for (; pos < format.size(); ++pos) {
    char flag = format[pos];
    if (flag == '-') {
      c.leftAlign = true;
    } else if (flag == '0') {
      c.zeroPad = true;
    } else if (flag == '#') {
      c.alternate = true;
    } else {
      break;
    }
  }
  c.width = ReadCount(format, pos);
  if (pos < format.size() && format[pos] == '.') {
    ++pos;
    c.hasPrecision = true;
    c.precision = ReadCount(format, pos);
  }
  if (format.substr(pos, 3) == "I64") {
    pos += 3;
  } else if (format.substr(pos, 2) == "ll") {
    pos += 2;
  } else if (pos < format.size() && (format[pos] == 'l' || format[pos] == 'h')) {
    c.wide = true;
    ++pos;
  }
  if (pos < format.size()) c.type = format[pos++];
  return c;
}

// Length of the longest prefix of `text` with at most `maxBytes` bytes that
// does not end inside a UTF-8 character.
std::size_t Utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  return cut;
}

// The first UTF-8 character of `text` (one byte when it is not valid UTF-8).
std::string_view FirstCharacter(std::string_view text) {
  if (text.empty()) return text;
  std::size_t length = 1;
  while (length < text.size() && length < 4 &&
         (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    ++length;
  }
  return text.substr(0, length);
}

std::string Digits(std::uint64_t value, int base, bool upper) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, base);
  std::string digits(buffer, result.ptr);
  if (upper) std::transform(digits.begin(), digits.end(), digits.begin(), ::toupper);
  return digits;
}

std::string FormatNumber(const Conversion& c, std::int64_t value) {
  std::string sign;
  std::string digits;
  switch (c.type) {
    case 'd':
    case 'i': {
      // Numbers are 32-bit as the platform's are; a wider value is cut.
      std::int32_t v = static_cast<std::int32_t>(value);
      if (v < 0) sign = "-";
      std::int64_t magnitude = v < 0 ? -std::int64_t{v} : v;
      digits = Digits(static_cast<std::uint64_t>(magnitude), 10, false);
      break;
    }
    case 'u':
      digits = Digits(static_cast<std::uint32_t>(value), 10, false);
      break;
    default:  // 'x' or 'X'
      digits = Digits(static_cast<std::uint32_t>(value), 16, c.type == 'X');
      if (c.alternate && value != 0) sign = c.type == 'X' ? "0X" : "0x";
      break;
  }
  if (c.hasPrecision && digits.size() < c.precision) {
    digits.insert(0, c.precision - digits.size(), '0');
  }
  std::string body = sign + digits;
  if (body.size() < c.width) {
    std::size_t pad = c.width - body.size();
    if (c.leftAlign) {
      body.append(pad, ' ');
    } else if (c.zeroPad) {
      body.insert(sign.size(), pad, '0');
    } else {
      body.insert(0, pad, ' ');
    }
  }
  return body;
}

std::string Pad(const Conversion& c, std::string_view text) {
  std::string body(text);
  if (body.size() < c.width) {
    std::size_t pad = c.width - body.size();
    body.insert(c.leftAlign ? body.size() : 0, pad, c.zeroPad && !c.leftAlign ? '0' : ' ');
  }
  return body;
}

std::string FormatOne(const Conversion& c, const FormatArg& arg) {
  switch (c.type) {
    case 'c':
    case 'C': {
      if (arg.isText()) return Pad(c, FirstCharacter(arg.text()));
      char ch = static_cast<char>(arg.number());
      return ch ? Pad(c, std::string_view(&ch, 1)) : Pad(c, "");
    }
    case 's':
    case 'S': {
      std::string text = arg.isText() ? std::string(arg.text()) : std::to_string(arg.number());
      std::string_view view(text);
      if (c.hasPrecision) view = view.substr(0, Utf8Prefix(view, c.precision));
      return Pad(c, view);
    }
    default:
      if (arg.isText()) {
        Conversion asText = c;
        asText.zeroPad = false;
        return Pad(asText, arg.text());
      }
      return FormatNumber(c, arg.number());
  }
}

bool IsKnownType(char type) {
  return std::string_view("cCdiuxXsS").find(type) != std::string_view::npos && type != 0;
}

}  // namespace

std::int64_t FormatArg::number() const {
  const std::int64_t* value = std::get_if<std::int64_t>(&m_value);
  return value ? *value : 0;
}

std::string_view FormatArg::text() const {
  const std::string_view* value = std::get_if<std::string_view>(&m_value);
  return value ? *value : std::string_view();
}

std::string FormatText(std::string_view format, std::span<const FormatArg> args,
                       std::size_t maxBytes) {
  std::string out;
  std::size_t next = 0;
  std::size_t pos = 0;
  // Stops as soon as the budget is spent, so neither a long format nor large
  // widths make work beyond what is shown.
  while (pos < format.size() && out.size() <= maxBytes) {
    std::size_t percent = format.find('%', pos);
    out.append(format.substr(
        pos, percent == std::string_view::npos ? std::string_view::npos : percent - pos));
    if (percent == std::string_view::npos) break;
    pos = percent + 1;
    if (pos < format.size() && format[pos] == '%') {
      out.push_back('%');
      ++pos;
      continue;
    }
    Conversion c = ReadConversion(format, pos);
    if (!IsKnownType(c.type)) {
      // An unknown conversion prints its character, as wsprintf does.
      if (c.type) out.push_back(c.type);
      continue;
    }
    if (next < args.size()) out += FormatOne(c, args[next++]);
  }
  out.resize(Utf8Prefix(out, maxBytes));
  return out;
}

}  // namespace tx
