#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/file_system.h"

namespace quorvane::run {

// Where a run that edits documents in place keeps their originals, so that they can be put back.
// The folder holds each original at the layout of its dropped path, and a list of where each came
// from and what the run left in its place (kListName), written anew, in one step, at each change.
// Backups are only ever added: an original kept once is never written over.
class BackupFolder final {
  public:
    static constexpr std::u16string_view kListName = u".quorvane-backups";

    // Makes folder the run's: one that is not there is made; one that holds anything is refused
    // with FileSystemError, as the backups there may be the only originals left.
    explicit BackupFolder(std::u16string folder);
    BackupFolder(const BackupFolder&) = delete;
    BackupFolder& operator=(const BackupFolder&) = delete;

    // Keeps the file at source, before the run may write it, at relative below the folder (a
    // numbered name when another file has it). A file kept already keeps its first backup, the
    // original. Throws os::Error when it cannot be kept.
    void keep(const std::u16string& source, const std::u16string& relative);
    // The run is done with source: what it left there is noted, or, when it is as it was kept, the
    // backup is removed again. Returns the backup's path; empty when there is none.
    std::u16string done(const std::u16string& source);

    struct Restored {
        enum class Outcome {
            Restored,
            // The file already is the original.
            AlreadyOriginal,
            // The file is not what the run left there; force puts the original back all the same.
            Refused,
            Failed,
        };
        std::u16string original;
        std::u16string backup;
        Outcome outcome = Outcome::Failed;
        std::u16string reason;
    };
    // Puts back every original a backup folder holds, where the file is still what the run left
    // there, or whatever it is with force. Throws os::Error when the folder holds no list.
    static std::vector<Restored> restore(const std::u16string& folder, bool force);

  private:
    struct Entry {
        std::u16string relative;
        std::u16string original;
        os::FileFingerprint kept;
        // What the run left in the original's place; nothing until it is done with it.
        std::optional<os::FileFingerprint> written;
    };
    static std::vector<Entry> read(const std::u16string& folder);
    // Writes the list; throws os::Error.
    void writeList() const;
    std::u16string pathOf(const std::u16string& relative) const;
    // A name below the folder for relative that no backup has.
    std::u16string freeName(const std::u16string& relative) const;

    std::u16string folder_;
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace quorvane::run
