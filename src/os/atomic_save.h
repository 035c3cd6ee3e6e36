#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "os/descriptor.h"
#include "os/error.h"
#include "os/file_identity.h"

namespace quorvane::os {

// A save that did not happen, in the user's words; the file it was to replace is as it was.
class SaveError final : public Error {
  public:
    // cause: the errno value behind it, 0 when the file changed under us.
    SaveError(std::u16string message, int cause) : Error(std::move(message)), cause_(cause) {}
    int cause() const noexcept { return cause_; }

  private:
    int cause_;
};

// What the user reads when writing a file fails with this errno value.
std::u16string writeFailure(int error);

// The one way a file is written here: the new version goes to a new file beside the old one, is
// flushed to disk, takes over what makes the file the user's (owner, permission bits, extended
// attributes and ACLs) and only then its name, so that a failure or a crash at any point leaves
// the old version or the new one, never half of either. The folder may be writable by others:
// the new file is created under a name nobody can guess, never opened where it was found, so a
// link planted there is never written through. A file with more than one name keeps all of them:
// its content is written over once the new version is safely on disk, from a copy of the old
// one when that fails. Files of ours that a killed run left in the folder are removed first.
class AtomicSave final {
  public:
    // Names of the new files: ".~quorvane-<pid>-<16 hex digits>.tmp".
    static constexpr std::string_view kPrefix = ".~quorvane-";

    // Starts a new version of destination. Throws SaveError.
    explicit AtomicSave(std::filesystem::path destination);
    // Removes the new file unless it took the destination's place.
    ~AtomicSave();
    AtomicSave(const AtomicSave&) = delete;
    AtomicSave& operator=(const AtomicSave&) = delete;

    // The new version's content. Both throw SaveError.
    void write(std::string_view bytes);
    void copyFrom(int fd);

    // The new version gets these permission bits instead of the destination's identity: a copy
    // made to be edited.
    void setMode(mode_t mode) noexcept { mode_ = mode; }
    // The new version takes the identity of the open file source instead of the destination's,
    // its access and modification times too: a copy that stands for that file. source must stay
    // open until the commit.
    void keepIdentityOf(int source) noexcept { identitySource_ = source; }

    // Puts the new version in place. When expected is given, the destination must still be that
    // file; when it is not, it is left alone. Throws SaveError.
    void commit(const std::optional<FileIdentity>& expected = std::nullopt);
    // Puts the new version in place only where no file is: one that is there, even one made
    // meanwhile, is left alone. Throws SaveError.
    void commitNew();

  private:
    void keepIdentity(int destination, const struct stat& st);
    // The identity of the source asked for, with its times; false when none was.
    bool takeSourceIdentity();
    void overwrite(int destination, const struct stat& st);

    std::filesystem::path destination_;
    std::filesystem::path path_;
    Descriptor fd_;
    std::optional<mode_t> mode_;
    int identitySource_ = -1;
    bool committed_ = false;
};

}  // namespace quorvane::os
