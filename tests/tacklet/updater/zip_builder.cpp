#include "zip_builder.h"

#include <minizip/zip.h>
#include <zlib.h>

bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries)
{
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const ZipEntry& e : entries) {
        zip_fileinfo info{};
        info.dosDate = e.dosDate;
        info.external_fa = e.attributes;
        const int method = e.deflate ? Z_DEFLATED : 0;
        const int raw = e.rawCrc ? 1 : 0;
        ok = ok && zipOpenNewFileInZip4_64(zip, e.name.c_str(), &info, nullptr, 0,
                                           e.centralExtra.empty() ? nullptr : e.centralExtra.data(),
                                           static_cast<uInt>(e.centralExtra.size()), nullptr, method,
                                           e.deflate ? Z_DEFAULT_COMPRESSION : 0, raw, -MAX_WBITS, 8,
                                           Z_DEFAULT_STRATEGY, nullptr, 0, e.versionMadeBy, 0, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, e.data.data(), static_cast<unsigned>(e.data.size())) == ZIP_OK;
        ok = ok && (raw ? zipCloseFileInZipRaw64(zip, e.rawSize, *e.rawCrc) : zipCloseFileInZip(zip)) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

std::string TimestampField(unsigned flags, const std::vector<std::int32_t>& times)
{
    const std::size_t length = 1 + 4 * times.size();
    std::string field = {'U', 'T', static_cast<char>(length & 0xFF), static_cast<char>(length >> 8),
                         static_cast<char>(flags)};
    for (const std::int32_t t : times) {
        const auto u = static_cast<std::uint32_t>(t);
        for (int shift = 0; shift < 32; shift += 8)
            field += static_cast<char>((u >> shift) & 0xFF);
    }
    return field;
}
