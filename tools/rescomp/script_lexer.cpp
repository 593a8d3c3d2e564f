#include "tools/rescomp/script_lexer.h"

#include <cstdio>

#include "tools/rescomp/resource_script.h"

namespace tx::rescomp {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsWordStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsWordChar(char c) {
  return IsWordStart(c) || IsDigit(c);
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// How a byte is named in a message: itself when printable, else its value.
std::string DescribeByte(unsigned char c) {
  char buffer[32];
  if (c >= 0x21 && c < 0x7F) {
    std::snprintf(buffer, sizeof buffer, "'%c'", c);
  } else {
    std::snprintf(buffer, sizeof buffer, "byte 0x%02X", c);
  }
  return buffer;
}

// How an unknown escape is named in a message: '\q', or the byte after the
// backslash when it is not printable.
std::string DescribeEscape(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x21 && byte < 0x7F) return std::string("'\\") + c + "'";
  return "'\\' followed by " + DescribeByte(byte);
}

// True at the end of the text or of a line (LF or CR LF).
bool AtLineEnd(std::string_view text, std::size_t pos) {
  if (pos >= text.size() || text[pos] == '\n') return true;
  return text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n';
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // The length of the sequence and the range its second byte must fall in;
    // the narrowed ranges rule out overlong forms, surrogates and code points
    // above U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead == 0xE0) {
      length = 3;
      low = 0xA0;
    } else if (lead == 0xED) {
      length = 3;
      high = 0x9F;
    } else if (lead >= 0xE1 && lead <= 0xEF) {
      length = 3;
    } else if (lead == 0xF0) {
      length = 4;
      low = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
      length = 4;
    } else if (lead == 0xF4) {
      length = 4;
      high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    if (second < low || second > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (next < 0x80 || next > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

Lexer::Lexer(std::string_view text) : m_text(text) {
  // A UTF-8 byte-order mark some editors put first is not part of the script.
  if (m_text.substr(0, 3) == "\xEF\xBB\xBF") m_pos = 3;
}

const Token& Lexer::Peek() {
  if (!m_peeked) m_peeked = Scan();
  return *m_peeked;
}

Token Lexer::Next() {
  if (m_peeked) {
    Token token = std::move(*m_peeked);
    m_peeked.reset();
    return token;
  }
  return Scan();
}

void Lexer::SkipSpaceAndComments() {
  while (m_pos < m_text.size()) {
    const char c = m_text[m_pos];
    if (c == '\n') {
      ++m_line;
      ++m_pos;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++m_pos;
    } else if (m_text.substr(m_pos, 2) == "//") {
      while (m_pos < m_text.size() && m_text[m_pos] != '\n')
        ++m_pos;
    } else if (m_text.substr(m_pos, 2) == "/*") {
      const int startLine = m_line;
      const std::size_t close = m_text.find("*/", m_pos + 2);
      if (close == std::string_view::npos) {
        throw ScriptError(startLine, "unterminated comment");
      }
      for (std::size_t k = m_pos; k < close; ++k) {
        if (m_text[k] == '\n') ++m_line;
      }
      m_pos = close + 2;
    } else {
      return;
    }
  }
}

Token Lexer::Scan() {
  SkipSpaceAndComments();
  Token token;
  token.line = m_line;
  if (m_pos >= m_text.size()) {
    // The end of the file belongs to its last line, not to the empty one a
    // final line break starts.
    if (!m_text.empty() && m_text.back() == '\n' && token.line > 1) --token.line;
    token.spelling = "end of file";
    return token;
  }
  const char c = m_text[m_pos];
  if (c == '"') return ScanString();
  if (IsDigit(c) || (c == '-' && m_pos + 1 < m_text.size() && IsDigit(m_text[m_pos + 1]))) {
    return ScanNumber();
  }
  if (IsWordStart(c)) {
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && IsWordChar(m_text[m_pos]))
      ++m_pos;
    token.kind = TokenKind::Word;
    token.spelling = std::string(m_text.substr(start, m_pos - start));
    for (const char w : token.spelling) {
      token.text += (w >= 'a' && w <= 'z') ? static_cast<char>(w - 'a' + 'A') : w;
    }
    return token;
  }
  ++m_pos;
  token.spelling = std::string(1, c);
  switch (c) {
    case ',':
      token.kind = TokenKind::Comma;
      return token;
    case '{':
      token.kind = TokenKind::Word;
      token.text = "BEGIN";
      return token;
    case '}':
      token.kind = TokenKind::Word;
      token.text = "END";
      return token;
    default:
      throw ScriptError(m_line, "unexpected " + DescribeByte(static_cast<unsigned char>(c)));
  }
}

Token Lexer::ScanString() {
  Token token;
  token.kind = TokenKind::String;
  token.line = m_line;
  const std::size_t start = m_pos;
  ++m_pos;  // the opening quote
  for (;;) {
    // A literal ends on its own line; running into a line break or the end of
    // the file means the closing quote is missing.
    if (AtLineEnd(m_text, m_pos)) throw ScriptError(token.line, "unterminated string");
    const char c = m_text[m_pos];
    if (c == '"') {
      // "" inside a literal stands for one quote.
      if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
        token.text += '"';
        m_pos += 2;
        continue;
      }
      ++m_pos;
      break;
    }
    if (c == '\\') {
      if (AtLineEnd(m_text, m_pos + 1)) throw ScriptError(token.line, "unterminated string");
      const char escaped = m_text[m_pos + 1];
      switch (escaped) {
        case 'n':
          token.text += '\n';
          break;
        case 't':
          token.text += '\t';
          break;
        case 'r':
          token.text += '\r';
          break;
        case '\\':
          token.text += '\\';
          break;
        case '"':
          token.text += '"';
          break;
        default:
          throw ScriptError(token.line,
                            "unknown escape sequence " + DescribeEscape(escaped) + " in string");
      }
      m_pos += 2;
      continue;
    }
    // Raw control characters (a stray NUL above all, which would cut the text
    // short in the library) have no place in a text; tabs are let through.
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
      throw ScriptError(token.line, "control character " +
                                        DescribeByte(static_cast<unsigned char>(c)) + " in string");
    }
    token.text += c;
    ++m_pos;
  }
  token.spelling = std::string(m_text.substr(start, m_pos - start));
  if (!IsValidUtf8(token.text)) throw ScriptError(token.line, "string is not valid UTF-8");
  return token;
}

Token Lexer::ScanNumber() {
  Token token;
  token.kind = TokenKind::Number;
  token.line = m_line;
  const std::size_t start = m_pos;
  const bool negative = m_text[m_pos] == '-';
  if (negative) ++m_pos;
  std::int64_t value = 0;
  const bool hex = m_text.substr(m_pos, 2) == "0x" || m_text.substr(m_pos, 2) == "0X";
  std::size_t digits = 0;
  if (hex) {
    m_pos += 2;
    while (m_pos < m_text.size() && IsHexDigit(m_text[m_pos])) {
      if (value < kHugeNumber) value = value * 16 + HexValue(m_text[m_pos]);
      ++m_pos;
      ++digits;
    }
  } else {
    while (m_pos < m_text.size() && IsDigit(m_text[m_pos])) {
      if (value < kHugeNumber) value = value * 10 + (m_text[m_pos] - '0');
      ++m_pos;
      ++digits;
    }
  }
  // Letters glued to the digits ("12ab", "0x", "0xZ") make no number.
  const std::size_t numberEnd = m_pos;
  while (m_pos < m_text.size() && IsWordChar(m_text[m_pos]))
    ++m_pos;
  token.spelling = std::string(m_text.substr(start, m_pos - start));
  if (digits == 0 || m_pos != numberEnd)
    throw ScriptError(token.line, "malformed number '" + token.spelling + "'");
  if (value > kHugeNumber) value = kHugeNumber;
  token.number = negative ? -value : value;
  return token;
}

}  // namespace tx::rescomp
