#include "platform/profile.h"

#include "platform/files.h"
#include "platform/text.h"

#include <climits>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// One line of the file, kept verbatim so that a write changes only the line it must.
struct Line {
    std::string text;      // without its line ending
    std::string ending;    // "\n", "\r\n" or "" for the last line
};

std::vector<Line> splitLines(const std::string& bytes)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t nl = bytes.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back({bytes.substr(start), ""});
            break;
        }
        const bool crlf = nl > start && bytes[nl - 1] == '\r';
        lines.push_back({bytes.substr(start, nl - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"});
        start = nl + 1;
    }
    return lines;
}

std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

// The key of a "key=value" line; nothing for comments and other lines.
std::optional<std::string_view> keyName(std::string_view line, std::string_view* value = nullptr)
{
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    if (value)
        *value = trim(line.substr(eq + 1));
    return trim(line.substr(0, eq));
}

std::optional<std::string> lookup(const std::string& section, const std::string& key, const std::string& path)
{
    const auto bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    bool inSection = false;
    for (const Line& line : splitLines(*bytes)) {
        if (auto name = sectionName(line.text)) {
            if (inSection)
                return std::nullopt;   // the first section of that name decides
            inSection = sameName(*name, section);
            continue;
        }
        std::string_view value;
        if (inSection) {
            auto name = keyName(line.text, &value);
            if (name && sameName(*name, trim(key))) {
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                    value = value.substr(1, value.size() - 2);
                return sanitizeUtf8(value);
            }
        }
    }
    return std::nullopt;
}

} // namespace

int profileInt(const std::string& section, const std::string& key, int defaultValue, const std::string& path)
{
    const auto value = lookup(section, key, path);
    if (!value)
        return defaultValue;
    long long n = 0;
    for (char c : *value) {
        if (c < '0' || c > '9')
            break;
        n = n * 10 + (c - '0');
        if (n > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(n);
}

std::string profileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          std::size_t maxLength, const std::string& path)
{
    const auto value = lookup(section, key, path);
    return utf8Prefix(value ? *value : defaultValue, maxLength);
}

bool writeProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& path)
{
    const std::string existing = readWholeFile(path).value_or(std::string());
    std::vector<Line> lines = splitLines(existing);
    const std::string newline = existing.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const std::string entry = std::string(trim(key)) + "=" + value;

    std::optional<std::size_t> sectionAt;
    std::size_t insertAt = 0;   // after the section's last key line
    bool done = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        if (auto name = sectionName(lines[i].text)) {
            if (sectionAt)
                break;
            if (sameName(*name, section)) {
                sectionAt = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!sectionAt)
            continue;
        if (auto name = keyName(lines[i].text)) {
            if (sameName(*name, trim(key))) {
                lines[i].text = entry;
                done = true;
            }
        }
        if (!trim(lines[i].text).empty())
            insertAt = i + 1;
    }
    if (!done) {
        if (!lines.empty() && lines.back().ending.empty())
            lines.back().ending = newline;
        if (sectionAt) {
            lines.insert(lines.begin() + static_cast<long>(insertAt), Line{entry, newline});
        } else {
            lines.push_back({"[" + section + "]", newline});
            lines.push_back({entry, newline});
        }
    }
    std::string out;
    for (const Line& line : lines)
        out += line.text + line.ending;
    return writeWholeFile(path, out);
}

} // namespace platform
