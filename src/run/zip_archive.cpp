#include "run/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace quorvane::run {

namespace {

// Zip fields are little-endian whatever the machine.
std::uint32_t at(std::string_view bytes, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEndOfDirectorySize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint16_t kEncrypted = 0x1;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

}  // namespace

std::optional<ZipArchive> ZipArchive::open(std::string_view bytes) {
    if (bytes.size() < kEndOfDirectorySize)
        return std::nullopt;
    // The end record is the last thing in the file but for a comment of up to 64 KiB.
    const std::size_t lowest = bytes.size() > kEndOfDirectorySize + 0xFFFF
                                   ? bytes.size() - kEndOfDirectorySize - 0xFFFF
                                   : 0;
    std::size_t end = bytes.size() - kEndOfDirectorySize + 1;
    do {
        --end;
    } while (end > lowest && at(bytes, end, 4) != kEndOfDirectory);
    if (at(bytes, end, 4) != kEndOfDirectory)
        return std::nullopt;
    const std::uint32_t entries = at(bytes, end + 10, 2);
    const std::uint32_t directorySize = at(bytes, end + 12, 4);
    std::size_t offset = at(bytes, end + 16, 4);
    // ZIP64 marks its sizes so; a package that needs it is not one we read.
    if (entries == 0xFFFF || directorySize == 0xFFFFFFFF || offset == 0xFFFFFFFF ||
        offset + directorySize > end) {
        return std::nullopt;
    }
    ZipArchive archive(bytes);
    for (std::uint32_t i = 0; i < entries; ++i) {
        if (offset + kDirectoryEntrySize > end || at(bytes, offset, 4) != kDirectoryEntry)
            return std::nullopt;
        const std::size_t nameLength = at(bytes, offset + 28, 2);
        const std::size_t extraLength = at(bytes, offset + 30, 2);
        const std::size_t commentLength = at(bytes, offset + 32, 2);
        if (offset + kDirectoryEntrySize + nameLength > end)
            return std::nullopt;
        Member member{std::string(bytes.substr(offset + kDirectoryEntrySize, nameLength)),
                      static_cast<std::uint16_t>(at(bytes, offset + 8, 2)),
                      static_cast<std::uint16_t>(at(bytes, offset + 10, 2)),
                      at(bytes, offset + 16, 4),
                      at(bytes, offset + 20, 4),
                      at(bytes, offset + 24, 4),
                      at(bytes, offset + 42, 4)};
        archive.names_.push_back(member.name);
        archive.members_.push_back(std::move(member));
        offset += kDirectoryEntrySize + nameLength + extraLength + commentLength;
    }
    return archive;
}

bool ZipArchive::contains(std::string_view name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

std::optional<std::string> ZipArchive::read(std::string_view name) const {
    const auto member = std::find_if(members_.begin(), members_.end(),
                                     [&](const Member& m) { return m.name == name; });
    if (member == members_.end() || (member->flags & kEncrypted) != 0 ||
        (member->method != kStored && member->method != kDeflated)) {
        return std::nullopt;
    }
    const std::size_t header = member->localHeader;
    if (header + kLocalHeaderSize > bytes_.size() || at(bytes_, header, 4) != kLocalHeader)
        return std::nullopt;
    const std::size_t data =
        header + kLocalHeaderSize + at(bytes_, header + 26, 2) + at(bytes_, header + 28, 2);
    if (data + member->compressedSize > bytes_.size())
        return std::nullopt;
    const std::string_view packed = bytes_.substr(data, member->compressedSize);
    std::string content;
    if (member->method == kStored) {
        content = std::string(packed);
    } else {
        content.resize(member->size);
        z_stream stream{};
        // Raw deflate: a zip member has no zlib header of its own.
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return std::nullopt;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        stream.avail_in = static_cast<uInt>(packed.size());
        stream.next_out = reinterpret_cast<Bytef*>(content.data());
        stream.avail_out = static_cast<uInt>(content.size());
        const int status = inflate(&stream, Z_FINISH);
        const bool whole = status == Z_STREAM_END && stream.total_out == member->size;
        inflateEnd(&stream);
        if (!whole)
            return std::nullopt;
    }
    const auto crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(content.data()),
                           static_cast<uInt>(content.size()));
    if (content.size() != member->size || crc != member->crc)
        return std::nullopt;
    return content;
}

}  // namespace quorvane::run
