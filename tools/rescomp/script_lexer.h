#pragma once
// Splits a resource script into tokens: words, numbers, string literals,
// commas and the block braces. Comments and white space are skipped here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tx::rescomp {

enum class TokenKind { EndOfFile, Word, Number, String, Comma };

struct Token {
  TokenKind kind = TokenKind::EndOfFile;
  /// Word: the word in upper case ("{" and "}" read as BEGIN and END).
  /// String: the decoded bytes of one literal, checked to be UTF-8.
  std::string text;
  /// The token as written, for messages.
  std::string spelling;
  /// Number: its value. Values beyond 32 bits are clamped to kHugeNumber so
  /// every range check rejects them.
  std::int64_t number = 0;
  int line = 0;
};

inline constexpr std::int64_t kHugeNumber = std::int64_t{1} << 40;

/// Reads tokens on demand, one of look-ahead. Throws ScriptError on a
/// malformed token (unterminated string or comment, unknown escape, invalid
/// UTF-8, stray character).
class Lexer {
 public:
  explicit Lexer(std::string_view text);

  const Token& Peek();
  Token Next();

 private:
  Token Scan();
  void SkipSpaceAndComments();
  Token ScanString();
  Token ScanNumber();

  std::string_view m_text;
  std::size_t m_pos = 0;
  int m_line = 1;
  std::optional<Token> m_peeked;
};

/// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
/// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

}  // namespace tx::rescomp
