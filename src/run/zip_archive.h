#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::run {

// The members of a zip package (a .docx or .odt) read from its bytes: its central directory, and
// members stored or deflated. Anything else (ZIP64, other methods, encryption, a member whose
// stored size or checksum disagrees) makes the member unreadable, never misread.
class ZipArchive final {
  public:
    // Nothing when bytes hold no zip central directory we can read.
    static std::optional<ZipArchive> open(std::string_view bytes);

    const std::vector<std::string>& names() const noexcept { return names_; }
    bool contains(std::string_view name) const;
    // The member's bytes, or nothing when it is missing or cannot be read.
    std::optional<std::string> read(std::string_view name) const;

  private:
    struct Member {
        std::string name;
        std::uint16_t flags;
        std::uint16_t method;
        std::uint32_t crc;
        std::uint32_t compressedSize;
        std::uint32_t size;
        std::uint32_t localHeader;
    };

    explicit ZipArchive(std::string_view bytes) : bytes_(bytes) {}

    std::string_view bytes_;
    std::vector<Member> members_;
    std::vector<std::string> names_;
};

}  // namespace quorvane::run
