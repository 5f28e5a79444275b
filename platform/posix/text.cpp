#include "platform/text.h"

#include <cerrno>
#include <iconv.h>
#include <langinfo.h>

namespace platform {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t validSequence(std::string_view s)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80)
        return 1;
    std::size_t length;
    unsigned min;
    unsigned cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        min = 0x80;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        min = 0x800;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        min = 0x10000;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string sanitizeUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t n = validSequence(bytes);
        if (n == 0) {
            out += kReplacement;
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, n));
            bytes.remove_prefix(n);
        }
    }
    return out;
}

std::size_t utf8Length(std::string_view text)
{
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

std::string utf8Prefix(std::string_view text, std::size_t count)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == count)
                return std::string(text.substr(0, i));
            ++seen;
        }
    }
    return std::string(text);
}

std::optional<std::string> convertCharset(std::string_view text, const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* o = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    if (ok) {
        char* o = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &o, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return out;
}

std::optional<std::string> toLocaleCharset(std::string_view utf8)
{
    const char* codeset = nl_langinfo(CODESET);
    const std::string_view name = codeset ? codeset : "";
    if (name == "UTF-8" || name == "utf8" || name.empty())
        return std::string(utf8);
    if (name == "ANSI_X3.4-1968") {
        // The C locale: ASCII only, but file names are bytes; keep UTF-8 rather than fail.
        return std::string(utf8);
    }
    return convertCharset(utf8, "UTF-8", codeset);
}

} // namespace platform
