#pragma once

#include <filesystem>
#include <optional>

#include "os/file_identity.h"

namespace quorvane::automation::office {

// The office's own lock file beside a document (".~lock.<name>#"), which the office and the
// editors that share its convention honour: held for as long as a run has the document loaded,
// so that two runs, or a run and a user, never write one document over the other.
class DocumentLock final {
  public:
    // Takes the lock. Throws AutomationError with the reason when someone else holds it; nothing
    // when no lock file can be made there at all (a name too long for one, a folder we cannot
    // write to, where the save will tell what is wrong). A lock that a run of ours on this machine
    // left when it was killed is taken over.
    static std::optional<DocumentLock> take(const std::filesystem::path& document);
    // Whether someone else holds the lock, as take would find, without taking it.
    static bool heldByOthers(const std::filesystem::path& document);

    // Removes the lock file, when it is still ours.
    ~DocumentLock();
    DocumentLock(DocumentLock&& other) noexcept;
    DocumentLock& operator=(DocumentLock&&) = delete;
    DocumentLock(const DocumentLock&) = delete;
    DocumentLock& operator=(const DocumentLock&) = delete;

  private:
    DocumentLock(std::filesystem::path path, os::FileIdentity identity)
        : path_(std::move(path)), identity_(identity) {}

    std::filesystem::path path_;
    os::FileIdentity identity_;
};

}  // namespace quorvane::automation::office
