#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "os/error.h"

namespace quorvane::os {

// Separator of the native path strings the program joins and splits.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

class FileSystemError final : public Error {
  public:
    using Error::Error;
};

// Program strings are UTF-16; native names on this system are bytes, normally UTF-8. Bytes that
// are not UTF-8 travel as lone surrogates U+DC80..U+DCFF, so every name the file system allows
// comes back unchanged.
std::filesystem::path toNativePath(std::u16string_view path);
std::u16string fromNativePath(const std::filesystem::path& path);

// Command-line arguments and terminal output are bytes: the native ones here, UTF-8 on Windows
// (whose programs get their wide command line converted to UTF-8).
std::filesystem::path pathFromArgument(const std::string& argument);
std::string pathForTerminal(std::u16string_view path);

// File attributes in the classic bit layout.
enum FileAttribute : std::uint32_t {
    kAttributeReadOnly = 1,
    kAttributeHidden = 2,
    kAttributeDirectory = 16,
    kAttributeNormal = 128,
};

// Attributes of an existing path (links followed). Throws FileSystemError when the path is
// missing or cannot be examined.
std::uint32_t fileAttributes(std::u16string_view path);

// The ordinary files directly inside a folder, one name at a time, in the order the system gives
// them: no folders, no hidden names, nothing but regular files (a link to one counts), and none of
// the temporary files the office leaves when it is killed.
class FolderListing final {
  public:
    // Throws FileSystemError when the folder cannot be read.
    explicit FolderListing(std::u16string_view folder);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // The next name, or the empty string when the listing is exhausted.
    std::u16string next();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The names of the folders directly inside a folder, in the order the system gives them: no
// hidden ones, and no links to folders (nor junctions), which may lead out of the folder or round
// in a circle. Throws FileSystemError when the folder cannot be read.
std::vector<std::u16string> subFolders(std::u16string_view folder);

// A system's cause of failure in the user's words, such as 「アクセスが拒否されました」.
std::u16string describe(const std::error_code& ec);

// Creates one folder level; its parent must exist. The cause when it was not created,
// std::errc::file_exists for a folder that is there already.
std::error_code createFolder(std::u16string_view path);

// Copies a regular file, replacing a file of the same name. The destination appears whole or not
// at all, and nothing already in its folder (a link planted by someone else) is written through.
// Refused when the copy could not be made: a missing source or folder, a read-only destination,
// a destination that is the source itself, a name the system does not allow, a full disk.
Status copyFile(std::u16string_view source, std::u16string_view destination);

// What a file holds, to tell later whether it holds the same: its size and a hash of its bytes
// (FNV-1a, 64 bits: a change is found, a forgery is not kept out).
struct FileFingerprint {
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    bool operator==(const FileFingerprint&) const = default;
};
// Nothing when there is no regular file at path or it cannot be read.
std::optional<FileFingerprint> fingerprintOf(std::u16string_view path);

// A copy that stands for the file at source: its content, and what makes it the user's (owner,
// permission bits, extended attributes and ACL, times). It is made only where no file is; it
// appears whole or not at all.
Status keepCopy(std::u16string_view source, std::u16string_view destination);

// Puts such a copy back at destination, in one step, with the identity it kept. With expected,
// only while the file at destination still has that fingerprint (checked on the very file that
// is replaced, where the system allows); without, whatever is there.
Status putBack(std::u16string_view copy, std::u16string_view destination,
               const FileFingerprint* expected);

// Writes bytes as the whole content of the file at path, in one step: the old content or the new,
// never half of either.
Status writeWholeFile(std::u16string_view path, std::string_view bytes);

}  // namespace quorvane::os
