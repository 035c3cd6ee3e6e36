#include "cli/batch_command.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>

#include "automation/member_name.h"
#include "cli/argument_parser.h"
#include "cli/cli_messages.h"
#include "cli/command_report.h"
#include "cli/program_name.h"
#include "cli/self_check.h"
#include "cli/terminal_message_box.h"
#include "cli/terminal_progress.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text_encoding.h"
#include "os/version.h"
#include "run/backup_folder.h"
#include "run/run_driver.h"
#include "run/run_error.h"
#include "run/run_messages.h"

namespace quorvane::cli {

using os::toUtf8;
using run::Outcome;

namespace {

// A path as the system names it, bytes that are not UTF-8 included.
std::string shown(const std::u16string& path) {
    return os::pathForTerminal(path);
}

// Every document not processed, on out, one record each for a script to pick up: the path and
// the reason, separated by a tab and ended by a line feed. Names here may hold a tab or a line
// feed themselves, so a backslash, a tab, a line feed and a carriage return in a field are
// written as \\, \t, \n and \r. With --null each field ends with a NUL instead and is written as
// it is. Windows names hold none of these, and their separator is the backslash: nothing is
// escaped there.
class Report final {
  public:
    Report(std::ostream& out, bool nullTerminated) : out_(out), nullTerminated_(nullTerminated) {}

    void unprocessed(const std::u16string& path, std::u16string_view reason) {
        if (nullTerminated_) {
            out_ << shown(path) << '\0' << toUtf8(reason) << '\0' << std::flush;
            return;
        }
        out_ << escaped(shown(path)) << '\t' << escaped(toUtf8(reason)) << '\n' << std::flush;
    }

  private:
    static std::string escaped(const std::string& field) {
#ifdef _WIN32
        return field;
#else
        return os::escapedField(field);
#endif
    }

    std::ostream& out_;
    bool nullTerminated_;
};

// Gives every document the command did not process the reason the report prints for it;
// notReached says why the run never reached the documents it did not.
void explain(run::RunResult& result, std::u16string_view notReached) {
    for (run::DocumentResult& document : result.documents) {
        if (document.outcome == Outcome::CopyFailed) {
            document.reason = messages::notCopied(document.reason);
        } else if (document.outcome == Outcome::NotReached && document.reason.empty()) {
            document.reason =
                result.endedByCopyFailure ? messages::kEndedByCopyFailure : notReached;
        }
    }
}

// Documents not processed in the report, notices on err, marked as such, as their documents were
// processed. Returns whether any document was not processed.
bool printResult(Report& report, std::ostream& err, const run::RunResult& result) {
    bool failed = false;
    for (const run::DocumentResult& document : result.documents) {
        for (const std::u16string& notice : document.notices) {
            err << messages::notice(shown(document.edited), notice) << '\n';
        }
        if (document.processed())
            continue;
        report.unprocessed(listedPath(document), document.reason);
        failed = true;
    }
    return failed;
}

// The path as a document the command could not take at all, for the reason.
run::RunResult unprocessedPath(const std::u16string& path, Outcome outcome, std::u16string reason) {
    run::RunResult result;
    result.path = path;
    run::DocumentResult& document = result.documents.emplace_back();
    document.source = path;
    document.outcome = outcome;
    document.reason = std::move(reason);
    return result;
}

// The documents of a path that no run reached: a folder's, as its run would have taken them,
// else the path itself.
run::RunResult unreached(const std::u16string& path, bool recursive, std::u16string_view reason) {
    run::RunResult result;
    result.path = path;
    std::vector<run::ListedDocument> documents{{path, {}}};
    try {
        if ((os::fileAttributes(path) & os::kAttributeDirectory) != 0)
            documents = run::documentsInFolder(path, recursive);
    } catch (const os::Error&) {
        // What cannot be listed is named as it was given.
    }
    for (auto& document : documents) {
        run::DocumentResult& entry = result.documents.emplace_back();
        entry.source = std::move(document.path);
        entry.reason = reason;
    }
    return result;
}

}  // namespace

BatchCommand::BatchCommand(automation::ObjectFactory& factory, Console& console)
    : factory_(factory), console_(console) {}

int BatchCommand::run(const std::vector<std::string>& arguments) {
    std::ostream& out = console_.out;
    std::ostream& err = console_.err;
    const auto usageError = [&](std::u16string_view message) {
        err << kProgramName << ": " << toUtf8(message) << '\n'
            << toUtf8(messages::kSeeHelp) << '\n';
        return kUsage;
    };

    BatchOptions options;
    try {
        auto parsed = ArgumentParser(console_.workingDirectory).parse(arguments);
        if (!parsed) {
            out << toUtf8(ArgumentParser::usage());
            return kAllProcessed;
        }
        options = std::move(*parsed);
    } catch (const UsageError& e) {
        return usageError(e.message());
    }
    if (options.version) {
        out << kProgramName << ' ' << os::kVersion << '\n';
        return kAllProcessed;
    }
    if (options.selfCheck) {
        if (console_.startLog)
            console_.startLog(false);
        TerminalMessageBox messageBox(console_.in, err, true);
        return SelfCheck(factory_, messageBox, out).run();
    }
    if (!options.restoreFolder.empty()) {
        if (console_.startLog)
            console_.startLog(options.verbose);
        return restore(options);
    }
    if (options.request.mode == run::RunRequest::Mode::EditOriginals && !options.yes &&
        !options.request.dryRun && !console_.inputIsTerminal) {
        // Nobody can answer the question, and originals must not be edited on a guess.
        return usageError(messages::kInPlaceUnconfirmed);
    }

    std::optional<run::BackupFolder> backups;
    if (!options.backupFolder.empty() && !options.request.dryRun) {
        try {
            backups.emplace(options.backupFolder);
        } catch (const os::Error& e) {
            return usageError(e.message());
        }
    }
    if (console_.startLog)
        console_.startLog(options.verbose);
    if (console_.configureWordProcessor)
        console_.configureWordProcessor(options);
    return runPaths(options, backups ? &*backups : nullptr);
}

namespace {

// Prints each path's documents as soon as its run is done, and keeps them for the summary and the
// report.
class Recorder final {
  public:
    Recorder(Report& report, std::ostream& err, CommandResult& command)
        : report_(report), err_(err), command_(command) {}

    // Whether some documents were not processed.
    bool operator()(run::RunResult result, std::u16string ended = {}) {
        const bool failed = printResult(report_, err_, result);
        command_.paths.push_back({std::move(result), std::move(ended)});
        return failed;
    }

    // The paths from first on, which no run reached; the first with what ended the command.
    void unreachedFrom(const BatchOptions& options, std::size_t first, std::u16string_view why,
                       const std::u16string& ended = {}) {
        for (std::size_t rest = first; rest < options.paths.size(); ++rest) {
            (*this)(unreached(options.paths[rest], options.request.recursive, why),
                    rest == first ? ended : u"");
        }
    }

  private:
    Report& report_;
    std::ostream& err_;
    CommandResult& command_;
};

// Records what a run that came back did; returns the exit status it calls for.
int recordRun(Recorder& record, std::ostream& err, const std::u16string& path,
              run::RunResult result) {
    if (result.declined) {
        record(unprocessedPath(path, Outcome::NotReached, std::u16string(messages::kDeclined)));
        return BatchCommand::kSomeNotProcessed;
    }
    explain(result, messages::kAfterError);
    const bool empty = result.documents.empty();
    const bool copyFailure = result.endedByCopyFailure;
    int status =
        record(std::move(result)) ? BatchCommand::kSomeNotProcessed : BatchCommand::kAllProcessed;
    if (empty) {
        err << messages::noDocuments(shown(path)) << '\n';
    } else if (copyFailure) {
        err << toUtf8(messages::kCopyFailureAdvice) << '\n';
        status = BatchCommand::kRunEnded;
    }
    return status;
}

// The summary on standard error and in the log, and the report file when one is asked for.
// False when the report could not be written.
bool summarize(std::ostream& err, const BatchOptions& options, const CommandResult& command) {
    for (const std::u16string& line : summaryOf(options, command)) {
        err << toUtf8(line) << '\n';
        os::log::detail(line);
    }
    if (options.reportFile.empty())
        return true;
    const bool asCsv = automation::sameName(
        std::u16string_view(options.reportFile).substr(options.reportFile.size() - 4), u".csv");
    const os::Status written = os::writeWholeFile(
        options.reportFile, asCsv ? csvReport(options, command) : jsonReport(options, command));
    if (!written) {
        err << kProgramName << ": "
            << messages::reportNotWritten(shown(options.reportFile), written.reason()) << '\n';
    }
    return bool(written);
}

}  // namespace

int BatchCommand::runPaths(const BatchOptions& options, run::BackupFolder* backups) {
    std::ostream& err = console_.err;
    Report report(console_.out, options.nullTerminated);
    TerminalMessageBox messageBox(console_.in, err, options.yes);
    TerminalProgress progress(err, console_.errorIsTerminal, console_.interrupted);
    run::RunDriver driver(messageBox, factory_);
    driver.keepBackupsIn(backups);
    const auto interrupted = [&] { return console_.interrupted && *console_.interrupted; };
    CommandResult command;
    command.started = std::chrono::system_clock::now();
    const auto steadyStart = std::chrono::steady_clock::now();
    Recorder record(report, err, command);

    int status = kAllProcessed;
    for (std::size_t p = 0; p < options.paths.size(); ++p) {
        const std::u16string& path = options.paths[p];
        if (interrupted()) {
            const std::u16string message(messages::kEndedByInterruption);
            err << kProgramName << ": " << toUtf8(message) << '\n';
            record.unreachedFrom(options, p, messages::kInterrupted, message);
            status = kRunEnded;
            break;
        }
        try {
            status = std::max(
                status, recordRun(record, err, path, driver.run(options.request, path, &progress)));
        } catch (const run::RunError& e) {
            if (e.pathUnreadable() && !interrupted()) {
                // As a document that cannot be opened: the paths after it are run all the same.
                record(
                    unprocessedPath(path, Outcome::NotOpened, run::messages::notOpened(e.cause())));
                status = std::max<int>(status, kSomeNotProcessed);
                continue;
            }
            const std::u16string_view why =
                interrupted() ? messages::kInterrupted : messages::kAfterError;
            run::RunResult partial = e.partial();
            explain(partial, why);
            record(std::move(partial), e.message());
            err << kProgramName << ": " << toUtf8(e.message()) << '\n';
            record.unreachedFrom(options, p + 1, why);
            status = kRunEnded;
            break;
        }
    }
    command.ended = std::chrono::system_clock::now();
    command.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - steadyStart).count();
    if (!summarize(err, options, command))
        status = kRunEnded;
    return status;
}

int BatchCommand::restore(const BatchOptions& options) {
    std::ostream& err = console_.err;
    Report report(console_.out, options.nullTerminated);
    std::vector<run::BackupFolder::Restored> results;
    try {
        results = run::BackupFolder::restore(options.restoreFolder, options.force);
    } catch (const os::Error& e) {
        err << kProgramName << ": " << toUtf8(e.message()) << '\n';
        return kRunEnded;
    }
    std::int64_t restored = 0;
    std::int64_t original = 0;
    std::int64_t left = 0;
    using Outcome = run::BackupFolder::Restored::Outcome;
    for (const auto& result : results) {
        restored += result.outcome == Outcome::Restored;
        original += result.outcome == Outcome::AlreadyOriginal;
        if (result.outcome == Outcome::Refused || result.outcome == Outcome::Failed) {
            report.unprocessed(result.original, result.reason);
            ++left;
        }
    }
    const std::u16string line = messages::restoreSummary(restored, original, left);
    err << toUtf8(line) << '\n';
    os::log::detail(line);
    return left == 0 ? kAllProcessed : kSomeNotProcessed;
}

}  // namespace quorvane::cli
