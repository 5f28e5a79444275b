#pragma once
// Text conversions. Text inside the programs is UTF-8 and always valid: bytes from outside are
// made valid where they enter.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Decodes exactly `bytes` as UTF-8, replacing every invalid or truncated sequence with U+FFFD.
std::string sanitizeUtf8(std::string_view bytes);

// Number of code points of valid UTF-8 text, and its first `count` code points.
std::size_t utf8Length(std::string_view text);
std::string utf8Prefix(std::string_view text, std::size_t count);

// Conversions between UTF-8 and a named character set (iconv names, e.g. "CP949"). Nothing when
// the text cannot be represented.
std::optional<std::string> convertCharset(std::string_view text, const char* from, const char* to);

// The locale's character set for command lines and file names; usually UTF-8.
std::optional<std::string> toLocaleCharset(std::string_view utf8);

} // namespace platform
