#pragma once
// Builds real zip archives for the tests with minizip's writer.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ZipEntry {
    ZipEntry(std::string entryName, std::string entryData, bool deflated = true, unsigned long attributeBits = 0x20)
        : name(std::move(entryName)), data(std::move(entryData)), deflate(deflated), attributes(attributeBits)
    {
    }
    // The same entry with an extra field in the central directory.
    ZipEntry withExtra(std::string extra) const
    {
        ZipEntry e = *this;
        e.centralExtra = std::move(extra);
        return e;
    }
    // The same entry with its bytes written as they are, under this CRC and size instead of the
    // data's own (`deflate` then says how the bytes claim to be compressed): corrupt and
    // mismatching entries.
    ZipEntry raw(std::uint32_t crc, std::size_t size) const
    {
        ZipEntry e = *this;
        e.rawCrc = crc;
        e.rawSize = size;
        return e;
    }

    std::string name;
    std::string data;
    bool deflate;                             // stored otherwise
    unsigned long attributes;                 // 0x20: the archive bit, as archivers set it for files
    unsigned long dosDate = 0x50221883;       // 2020-01-02 03:04:06
    unsigned long versionMadeBy = 0;          // high byte 3: made on a Unix-like system
    std::string centralExtra;
    std::optional<std::uint32_t> rawCrc;
    std::size_t rawSize = 0;
};

// Writes the archive to `path`; false when minizip refused.
bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries);

// An extended time-stamp ("UT") extra field with the given flags and times, in that order.
std::string TimestampField(unsigned flags, const std::vector<std::int32_t>& times);
