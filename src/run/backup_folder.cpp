#include "run/backup_folder.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "os/log.h"
#include "os/text_encoding.h"
#include "run/run_messages.h"

namespace quorvane::run {

namespace fs = std::filesystem;
using os::kPathSeparator;

namespace {

constexpr std::string_view kHeader = "quorvane-backups\t1";

// Fields of the list are separated by tabs and records by line feeds: a name holding either, or
// a backslash, has it written \t, \n or \\ (and a carriage return \r); this reads it back.
std::string unescaped(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char code = field[++i];
        out += code == 't' ? '\t' : code == 'n' ? '\n' : code == 'r' ? '\r' : code;
    }
    return out;
}

// Paths as the system names them, bytes that are not UTF-8 included.
std::string pathField(const std::u16string& path) {
    return os::escapedField(os::pathForTerminal(path));
}

std::u16string pathFrom(std::string_view field) {
    return os::fromNativePath(os::pathFromArgument(unescaped(field)));
}

std::string numberField(std::uint64_t value) {
    return std::to_string(value);
}

std::optional<std::uint64_t> numberFrom(std::string_view field) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc{} || end != field.data() + field.size())
        return std::nullopt;
    return value;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find('\t', start);
        fields.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos)
            return fields;
        start = end + 1;
    }
}

// The name with " (n)" before its extension.
std::u16string numbered(const std::u16string& relative, int n) {
    const std::size_t nameStart = relative.rfind(kPathSeparator) + 1;
    std::size_t dot = relative.rfind(u'.');
    if (dot == std::u16string::npos || dot <= nameStart)
        dot = relative.size();
    return relative.substr(0, dot) + u" (" + os::fromUtf8(std::to_string(n)) + u")" +
           relative.substr(dot);
}

void removeFile(const std::u16string& path) {
    std::error_code ignored;
    fs::remove(os::toNativePath(path), ignored);
}

}  // namespace

BackupFolder::BackupFolder(std::u16string folder) : folder_(std::move(folder)) {
    const fs::path native = os::toNativePath(folder_);
    std::error_code error;
    if (fs::is_directory(native, error)) {
        if (!fs::is_empty(native, error) || error) {
            throw os::FileSystemError(messages::backupFolderNotEmpty(folder_));
        }
    } else if (fs::exists(fs::symlink_status(native, error))) {
        throw os::FileSystemError(messages::backupFolderIsAFile(folder_));
    } else if (!fs::create_directories(native, error)) {
        throw os::FileSystemError(
            messages::backupFolderNotMade(folder_, os::fromUtf8(error.message())));
    }
    writeList();
}

std::u16string BackupFolder::pathOf(const std::u16string& relative) const {
    return folder_ + kPathSeparator + relative;
}

std::u16string BackupFolder::freeName(const std::u16string& relative) const {
    std::u16string name = relative;
    for (int n = 2;; ++n) {
        std::error_code ignored;
        const bool taken = name == kListName ||
                           std::any_of(entries_.begin(), entries_.end(),
                                       [&](const Entry& e) { return e.relative == name; }) ||
                           fs::exists(fs::symlink_status(os::toNativePath(pathOf(name)), ignored));
        if (!taken)
            return name;
        name = numbered(relative, n);
    }
}

void BackupFolder::keep(const std::u16string& source, const std::u16string& relative) {
    const std::lock_guard lock(mutex_);
    if (std::any_of(entries_.begin(), entries_.end(),
                    [&](const Entry& e) { return e.original == source; })) {
        return;
    }
    const std::optional<os::FileFingerprint> fingerprint = os::fingerprintOf(source);
    if (!fingerprint)
        throw os::FileSystemError(std::u16string(messages::kOriginalUnreadable));
    const std::u16string name = freeName(relative);
    const std::u16string backup = pathOf(name);
    // The folders of the dropped path's layout, made as they are needed.
    for (std::size_t at = name.find(kPathSeparator); at != std::u16string::npos;
         at = name.find(kPathSeparator, at + 1)) {
        (void)os::createFolder(pathOf(name.substr(0, at)));
    }
    if (const os::Status kept = os::keepCopy(source, backup); !kept)
        throw os::FileSystemError(kept.reason());
    entries_.push_back({name, source, *fingerprint, std::nullopt});
    try {
        writeList();
    } catch (const os::Error&) {
        // A backup that the list does not name cannot be put back.
        entries_.pop_back();
        removeFile(backup);
        throw;
    }
    os::log::detail(u"元の文書をバックアップしました：" + source + u" → " + backup);
}

std::u16string BackupFolder::done(const std::u16string& source) {
    const std::lock_guard lock(mutex_);
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& e) { return e.original == source; });
    if (entry == entries_.end())
        return {};
    const std::u16string backup = pathOf(entry->relative);
    const std::optional<os::FileFingerprint> now = os::fingerprintOf(source);
    try {
        if (now == entry->kept) {
            // Nothing was written: the original is where it was.
            const std::u16string relative = entry->relative;
            entries_.erase(entry);
            writeList();
            removeFile(backup);
            // The folders made for it go too, once empty.
            for (std::size_t at = relative.rfind(kPathSeparator); at != std::u16string::npos;
                 at = at == 0 ? std::u16string::npos : relative.rfind(kPathSeparator, at - 1)) {
                std::error_code ignored;
                if (!fs::remove(os::toNativePath(pathOf(relative.substr(0, at))), ignored))
                    break;
            }
            return {};
        }
        entry->written = now;
        writeList();
    } catch (const os::Error& e) {
        // The backup stays; what the run left is not known to a restore, which then asks for
        // --force.
        os::log::problem(messages::backupListNotWritten(e.message()));
    }
    return backup;
}

void BackupFolder::writeList() const {
    std::string text = std::string(kHeader) + "\n";
    for (const Entry& e : entries_) {
        text += pathField(e.relative) + "\t" + pathField(e.original) + "\t" +
                numberField(e.kept.size) + "\t" + numberField(e.kept.hash) + "\t" +
                (e.written ? numberField(e.written->size) : "") + "\t" +
                (e.written ? numberField(e.written->hash) : "") + "\n";
    }
    if (const os::Status written = os::writeWholeFile(pathOf(std::u16string(kListName)), text);
        !written) {
        throw os::FileSystemError(messages::backupListNotWritten(written.reason()));
    }
}

std::vector<BackupFolder::Entry> BackupFolder::read(const std::u16string& folder) {
    std::ifstream in(os::toNativePath(folder + kPathSeparator + std::u16string(kListName)),
                     std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kHeader) {
        throw os::FileSystemError(messages::notABackupFolder(folder));
    }
    std::vector<Entry> entries;
    while (std::getline(in, line)) {
        const auto fields = fieldsOf(line);
        const auto keptSize = fields.size() == 6 ? numberFrom(fields[2]) : std::nullopt;
        const auto keptHash = keptSize ? numberFrom(fields[3]) : std::nullopt;
        if (!keptHash) {
            throw os::FileSystemError(messages::backupListDamaged(folder));
        }
        Entry entry{pathFrom(fields[0]), pathFrom(fields[1]), {*keptSize, *keptHash}, {}};
        const auto writtenSize = numberFrom(fields[4]);
        const auto writtenHash = numberFrom(fields[5]);
        if (writtenSize && writtenHash)
            entry.written = os::FileFingerprint{*writtenSize, *writtenHash};
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<BackupFolder::Restored> BackupFolder::restore(const std::u16string& folder,
                                                          bool force) {
    using Outcome = Restored::Outcome;
    std::vector<Restored> results;
    for (const Entry& entry : read(folder)) {
        Restored& result = results.emplace_back();
        result.original = entry.original;
        result.backup = folder + kPathSeparator + entry.relative;
        const std::optional<os::FileFingerprint> now = os::fingerprintOf(entry.original);
        if (now == entry.kept) {
            result.outcome = Outcome::AlreadyOriginal;
            continue;
        }
        if (os::fingerprintOf(result.backup) != entry.kept) {
            result.reason = messages::kBackupMissingOrChanged;
            continue;
        }
        if (!force) {
            if (!now)
                result.reason = messages::kOriginalGone;
            else if (!entry.written)
                result.reason = messages::kWrittenNotRecorded;
            else if (now != entry.written)
                result.reason = messages::kChangedSinceRun;
            if (!result.reason.empty()) {
                result.outcome = Outcome::Refused;
                continue;
            }
        }
        const os::FileFingerprint* expected = force ? nullptr : &*entry.written;
        if (const os::Status putBack = os::putBack(result.backup, entry.original, expected);
            !putBack) {
            result.reason = putBack.reason();
            continue;
        }
        result.outcome = Outcome::Restored;
        os::log::detail(u"元の文書を戻しました：" + result.backup + u" → " + entry.original);
    }
    return results;
}

}  // namespace quorvane::run
