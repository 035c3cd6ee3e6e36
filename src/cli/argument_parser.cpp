#include "cli/argument_parser.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <string_view>
#include <utility>

#include "cli/cli_messages.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text_encoding.h"

namespace quorvane::cli {

using os::fromUtf8;

namespace {

#ifdef _WIN32
// Word's objects answer only the thread that created them, and the run hands documents to a thread
// per word processor: one Word serves the whole run.
constexpr int kMaxJobs = 1;
#else
// Each office takes about 300 MiB: more than this is a typing error, not a machine.
constexpr int kMaxJobs = 16;
#endif

class ArgumentReader final {
  public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool done() const { return next_ == arguments_.size(); }
    const std::string& take() { return arguments_[next_++]; }
    const std::string& value(const std::string& option) {
        if (done())
            throw UsageError(messages::valueNeeded(fromUtf8(option)));
        return take();
    }

  private:
    const std::vector<std::string>& arguments_;
    std::size_t next_ = 0;
};

void applyRegions(run::Regions& regions, const std::string& list) {
    regions = {false, false, false};
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, end - start);
        if (name == "body") {
            regions.body = true;
        } else if (name == "textboxes") {
            regions.textBoxes = true;
        } else if (name == "headers") {
            regions.headersAndFooters = true;
        } else {
            throw UsageError(messages::unknownRegion(fromUtf8(name)));
        }
        if (end == list.size())
            break;
        start = end + 1;
    }
}

// The options that take no value and only set something.
using Setter = void (*)(BatchOptions&);
constexpr std::pair<std::string_view, Setter> kSwitches[] = {
    {"--force", [](BatchOptions& o) { o.force = true; }},
    {"--dry-run", [](BatchOptions& o) { o.request.dryRun = true; }},
    {"--recursive", [](BatchOptions& o) { o.request.recursive = true; }},
    {"--yes", [](BatchOptions& o) { o.yes = true; }},
    {"--ignore-case", [](BatchOptions& o) { o.request.matchCase = false; }},
    {"--ignore-width", [](BatchOptions& o) { o.request.distinguishWidths = false; }},
    {"--verbose", [](BatchOptions& o) { o.verbose = true; }},
    {"--no-verify", [](BatchOptions& o) { o.checkSavedFiles = false; }},
    {"--no-skip", [](BatchOptions& o) { o.request.skipDocumentsWithoutMatch = false; }},
    {"--null", [](BatchOptions& o) { o.nullTerminated = true; }},
};

int jobsOf(const std::string& value) {
    int jobs = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
    if (error != std::errc{} || end != value.data() + value.size() || jobs < 1 || jobs > kMaxJobs) {
        throw UsageError(kMaxJobs == 1 ? std::u16string(messages::kOnlyOneJob)
                                       : messages::jobsOutOfRange(kMaxJobs));
    }
    return jobs;
}

// Reads the options and paths of one command line into options, then checks that they go
// together. Each refusal is a UsageError.
class CommandLineReader final {
  public:
    using AbsolutePath = std::function<std::u16string(const std::string&)>;

    CommandLineReader(const std::vector<std::string>& arguments, BatchOptions& options,
                      AbsolutePath absolutePath)
        : reader_(arguments), options_(options), absolutePath_(std::move(absolutePath)) {}

    void readAll() {
        bool optionsEnded = false;
        while (!reader_.done()) {
            const std::string& argument = reader_.take();
            const bool path =
                optionsEnded || argument.empty() || argument[0] != '-' || argument == "-";
            runOption_ = runOption_ || (!path && argument != "--" && argument != "--restore" &&
                                        argument != "--force" && argument != "--verbose");
            if (path)
                options_.paths.push_back(absolutePath_(argument));
            else if (argument == "--")
                optionsEnded = true;
            else
                readOption(argument);
        }
    }

    void checkTogether() const {
        if (!options_.restoreFolder.empty()) {
            if (runOption_ || !options_.paths.empty()) {
                throw UsageError(std::u16string(messages::kRestoreTakesOnly));
            }
            return;
        }
        if (options_.force)
            throw UsageError(std::u16string(messages::kForceWithoutRestore));
        if (copyTo_ && inPlace_) {
            throw UsageError(std::u16string(messages::kCopyToAndInPlace));
        }
        if (!copyTo_ && !inPlace_) {
            throw UsageError(std::u16string(messages::kCopyToOrInPlace));
        }
        if (options_.yes && !inPlace_)
            throw UsageError(std::u16string(messages::kYesWithoutInPlace));
        if (!options_.backupFolder.empty() && !inPlace_)
            throw UsageError(std::u16string(messages::kBackupWithoutInPlace));
        checkReportFolder();
        options_.request.mode =
            inPlace_ ? run::RunRequest::Mode::EditOriginals : run::RunRequest::Mode::CopyFirst;
        if (options_.paths.empty())
            throw UsageError(std::u16string(messages::kNoPaths));
        checkBackupFolderOutsidePaths();
    }

  private:
    void readOption(const std::string& argument) {
        for (const auto& [name, set] : kSwitches) {
            if (argument == name) {
                set(options_);
                return;
            }
        }
        if (argument == "--restore") {
            setOnce(options_.restoreFolder, argument);
        } else if (argument == "--backup-to") {
            setOnce(options_.backupFolder, argument);
        } else if (argument == "--report") {
            setOnce(options_.reportFile, argument);
        } else if (argument == "--copy-to") {
            if (copyTo_)
                throw UsageError(messages::givenTwice(u"--copy-to"));
            copyTo_ = true;
            options_.request.destinationFolder = absolutePath_(reader_.value(argument));
        } else if (argument == "--in-place") {
            inPlace_ = true;
        } else if (argument == "--pair") {
            readPair(argument);
        } else if (argument == "--regions") {
            if (regions_)
                throw UsageError(messages::givenTwice(u"--regions"));
            regions_ = true;
            applyRegions(options_.request.regions, reader_.value(argument));
        } else if (argument == "--jobs") {
            options_.request.offices = jobsOf(reader_.value(argument));
        } else {
            throw UsageError(messages::unknownOption(fromUtf8(argument)));
        }
    }

    // A path option given once.
    void setOnce(std::u16string& path, const std::string& option) {
        if (!path.empty())
            throw UsageError(messages::givenTwice(fromUtf8(option)));
        path = absolutePath_(reader_.value(option));
    }

    void readPair(const std::string& option) {
        const std::u16string find = fromUtf8(reader_.value(option));
        if (reader_.done())
            throw UsageError(std::u16string(messages::kPairNeedsTwo));
        const std::u16string replacement = fromUtf8(reader_.take());
        // The run would skip a blank pair without a word.
        if (run::isBlank(find))
            throw UsageError(std::u16string(messages::kPairFindEmpty));
        if (pairs_ == run::RunRequest::kPairs)
            throw UsageError(std::u16string(messages::kTooManyPairs));
        options_.request.pairs[pairs_++] = {find, replacement};
    }

    void checkReportFolder() const {
        if (options_.reportFile.empty())
            return;
        std::error_code error;
        const auto folder = os::toNativePath(options_.reportFile).parent_path();
        if (!std::filesystem::is_directory(folder, error)) {
            throw UsageError(messages::reportFolderMissing(os::fromNativePath(folder)));
        }
    }

    // A later path could otherwise reach the backups of an earlier one and edit them.
    void checkBackupFolderOutsidePaths() const {
        const std::u16string& backups = options_.backupFolder;
        for (const auto& path : options_.paths) {
            if (!backups.empty() &&
                (backups == path || backups.starts_with(path + os::kPathSeparator))) {
                throw UsageError(std::u16string(messages::kBackupInsidePaths));
            }
        }
    }

    ArgumentReader reader_;
    BatchOptions& options_;
    AbsolutePath absolutePath_;
    std::size_t pairs_ = 0;
    bool copyTo_ = false;
    bool inPlace_ = false;
    bool regions_ = false;
    // An option that only a run takes, which --restore refuses.
    bool runOption_ = false;
};

}  // namespace

ArgumentParser::ArgumentParser(std::u16string workingDirectory)
    : workingDirectory_(std::move(workingDirectory)) {}

std::optional<BatchOptions> ArgumentParser::parse(const std::vector<std::string>& arguments) const {
    const auto endOfOptions = std::find(arguments.begin(), arguments.end(), "--");
    if (std::any_of(arguments.begin(), endOfOptions,
                    [](const std::string& a) { return a == "--help" || a == "-h"; })) {
        return std::nullopt;
    }

    BatchOptions options;
    if (std::find(arguments.begin(), endOfOptions, "--version") != endOfOptions) {
        options.version = true;
        return options;
    }
    if (std::find(arguments.begin(), endOfOptions, "--self-check") != endOfOptions) {
#ifdef _WIN32
        if (arguments.size() != 1)
            throw UsageError(std::u16string(messages::kSelfCheckAlone));
        options.selfCheck = true;
        return options;
#else
        throw UsageError(std::u16string(messages::kSelfCheckWindowsOnly));
#endif
    }
    CommandLineReader reader(arguments, options,
                             [this](const std::string& path) { return absolutePath(path); });
    reader.readAll();
    reader.checkTogether();
    return options;
}

std::u16string ArgumentParser::absolutePath(const std::string& argument) const {
    if (argument.empty())
        throw UsageError(std::u16string(messages::kEmptyPath));
    std::filesystem::path path = os::pathFromArgument(argument);
    if (path.is_relative()) {
        if (workingDirectory_.empty()) {
            throw UsageError(messages::relativeWithoutFolder(fromUtf8(argument)));
        }
        path = os::toNativePath(workingDirectory_) / path;
    }
    std::u16string normal = os::fromNativePath(path.lexically_normal());
    // A drive's root keeps its separator: "C:" alone names the drive's current folder.
    const auto isRoot = [](const std::u16string& p) {
        return p.size() == 1 || (p.size() == 3 && p[1] == u':');
    };
    while (!isRoot(normal) && !normal.empty() && normal.back() == os::kPathSeparator)
        normal.pop_back();
    return normal;
}

std::u16string ArgumentParser::usage() {
    return messages::usage(os::fromNativePath(os::log::defaultFile()));
}

}  // namespace quorvane::cli
