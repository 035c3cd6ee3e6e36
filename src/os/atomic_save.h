#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "os/error.h"

#include "os/file_identity.h"

#ifdef _WIN32
#include "os/unique_handle.h"
#else
#include <sys/types.h>

#include "os/descriptor.h"
#endif

namespace quorvane::os {

// A save that did not happen, in the user's words. The file it was to replace is as it was unless
// a version was kept aside: then nothing was removed, and the versions are where these name.
class SaveError final : public Error {
  public:
    // cause: the system's error number behind it (errno, or GetLastError() on Windows), 0 when
    // the file changed under us.
    SaveError(std::u16string message, int cause, std::filesystem::path keptOld = {},
              std::filesystem::path keptNew = {})
        : Error(std::move(message)),
          cause_(cause),
          keptOld_(std::move(keptOld)),
          keptNew_(std::move(keptNew)) {}
    int cause() const noexcept { return cause_; }
    // The old version, moved aside and not put back; empty when it is where it was.
    const std::filesystem::path& keptOld() const noexcept { return keptOld_; }
    // The new version, left where it was written; empty when it is gone.
    const std::filesystem::path& keptNew() const noexcept { return keptNew_; }

  private:
    int cause_;
    std::filesystem::path keptOld_;
    std::filesystem::path keptNew_;
};

// What the user reads when writing a file fails with this system error number.
std::u16string writeFailure(int error);

#ifdef _WIN32
// An open file: a handle on Windows, a descriptor elsewhere.
using NativeFile = HANDLE;
#else
using NativeFile = int;
#endif

// The one way a file is written here: the new version goes to a new file beside the old one, is
// flushed to disk, takes over what makes the file the user's (owner, permission bits, extended
// attributes and ACLs; on Windows its attributes, and through ReplaceFileW its security and
// streams) and only then its name, so that a failure or a crash at any point leaves the old
// version or the new one, never half of either. The folder may be writable by others: the new
// file is created under a name nobody can guess, never opened where it was found, so a link
// planted there is never written through. Elsewhere than on Windows, a file with more than one
// name keeps all of them: its content is written over once the new version is safely on disk,
// from a copy of the old one when that fails. Files of ours that a killed run left in the folder
// are removed first.
class AtomicSave final {
  public:
    // Names of the new files: ".~quorvane-<pid>-<16 hex digits>.tmp", or the extension another
    // program needs instead of ".tmp"; ".orig" for a document's old content kept aside meanwhile.
    static constexpr std::string_view kPrefix = ".~quorvane-";

    // The new file is left for another program to write by name (a word processor's Save As),
    // and ends in extension, by which that program may choose the format.
    struct WrittenByAnother {
        std::filesystem::path extension;
    };

    // Starts a new version of destination. Throws SaveError.
    explicit AtomicSave(std::filesystem::path destination);
    // Reserves the new version's name for another program: path() is where it writes. Throws
    // SaveError.
    AtomicSave(std::filesystem::path destination, WrittenByAnother reserved);
    // Removes the new file unless it took the destination's place or was kept for the user.
    ~AtomicSave();
    AtomicSave(const AtomicSave&) = delete;
    AtomicSave& operator=(const AtomicSave&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }

    // The new version's content. Both throw SaveError.
    void write(std::string_view bytes);
    void copyFrom(NativeFile source);

    // The new version takes the identity of the open file source instead of the destination's,
    // its times too: a copy that stands for that file. source must stay open until the commit.
    void keepIdentityOf(NativeFile source) noexcept { identitySource_ = source; }

    // Puts the new version in place. When expected is given, the destination must still be that
    // file; when it is not, it is left alone. Throws SaveError.
    void commit(const std::optional<FileIdentity>& expected = std::nullopt);
    // Puts the new version in place only where no file is: one that is there, even one made
    // meanwhile, is left alone. Throws SaveError.
    void commitNew();

#ifndef _WIN32
    // The new version gets these permission bits instead of the destination's identity: a copy
    // made to be edited.
    void setMode(mode_t mode) noexcept {
        mode_ = mode;
    }
#endif

  private:
    // What another program wrote under the reserved name, opened to be put in place: a regular
    // file of one name, never reached through a link.
    void openWritten();
#ifdef _WIN32
    // The attributes the new version is to have, those of the destination unless it stands for
    // another file; that file's times are set now.
    unsigned long identity(unsigned long destinationAttributes);
    // Gives the new file its attributes but read-only, flushes and closes it.
    void finish(unsigned long attributes);
    void replaceExisting();
#else
    void keepIdentity(int destination, const struct stat& st);
    // The identity of the source asked for, with its times; false when none was.
    bool takeSourceIdentity();
    void overwrite(int destination, const struct stat& st);
#endif

    std::filesystem::path destination_;
    std::filesystem::path path_;
#ifdef _WIN32
    KernelHandle file_;
    NativeFile identitySource_ = nullptr;
#else
    Descriptor fd_;
    std::optional<mode_t> mode_;
    int identitySource_ = -1;
#endif
    bool committed_ = false;
};

}  // namespace quorvane::os
