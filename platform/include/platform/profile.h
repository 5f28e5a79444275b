#pragma once
// INI profile files with the rules programs written for them expect: section and key names
// compared without regard to case, a missing file or key gives the default, integers read from
// the value's leading digits, and a write creates the file, section and key as needed while
// keeping everything else in the file as it was.

#include <cstddef>
#include <string>

namespace platform {

int profileInt(const std::string& section, const std::string& key, int defaultValue, const std::string& path);
// At most `maxLength` characters of the value (counted in UTF-8 code points).
std::string profileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          std::size_t maxLength, const std::string& path);
bool writeProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& path);

} // namespace platform
