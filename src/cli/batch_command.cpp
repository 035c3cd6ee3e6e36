#include "cli/batch_command.h"

#include <algorithm>
#include <cstddef>

#include "cli/argument_parser.h"
#include "cli/program_name.h"
#include "cli/self_check.h"
#include "cli/terminal_message_box.h"
#include "cli/terminal_progress.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "run/run_driver.h"
#include "run/run_error.h"

namespace quorvane::cli {

using os::toUtf8;
using run::Outcome;

namespace {

constexpr std::u16string_view kInterrupted = u"中断の指示により処理しませんでした";
constexpr std::u16string_view kAfterError = u"エラーで処理が中断されたため処理しませんでした";

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
        std::string out;
        for (const char c : field) {
            switch (c) {
                case '\\':
                    out += "\\\\";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                default:
                    out += c;
            }
        }
        return out;
#endif
    }

    std::ostream& out_;
    bool nullTerminated_;
};

// Documents not processed in the report, notices on err, marked as such, as their documents were
// processed. notReached says why the run never reached the documents it did not. Returns whether
// any document was not processed.
bool printResult(Report& report, std::ostream& err, const run::RunResult& result,
                 std::u16string_view notReached) {
    bool failed = false;
    for (const run::DocumentResult& document : result.documents) {
        for (const std::u16string& notice : document.notices) {
            err << toUtf8(u"お知らせ：") << shown(document.edited) << toUtf8(u"：")
                << toUtf8(notice) << '\n';
        }
        switch (document.outcome) {
            case Outcome::Replaced:
            case Outcome::Unchanged:
                continue;
            case Outcome::NotOpened:
            case Outcome::NotSaved:
                report.unprocessed(document.edited, document.reason);
                break;
            case Outcome::CopyFailed:
                report.unprocessed(document.source,
                                   u"コピーできませんでした" +
                                       (document.reason.empty() ? u"" : u"：" + document.reason));
                break;
            case Outcome::NotReached:
                report.unprocessed(document.source, result.endedByCopyFailure
                                                        ? u"コピーの失敗で処理が中断されました"
                                                        : notReached);
                break;
        }
        failed = true;
    }
    return failed;
}

// The documents of a path that no run reached: a folder's files, else the path itself.
void printUnreached(Report& report, const std::u16string& path, std::u16string_view reason) {
    try {
        if ((os::fileAttributes(path) & os::kAttributeDirectory) != 0) {
            os::FolderListing listing(path);
            for (std::u16string name = listing.next(); !name.empty(); name = listing.next())
                report.unprocessed(path + os::kPathSeparator + name, reason);
            return;
        }
    } catch (const os::Error&) {
        // What cannot be listed is named as it was given.
    }
    report.unprocessed(path, reason);
}

}  // namespace

BatchCommand::BatchCommand(automation::ObjectFactory& factory, Console& console)
    : factory_(factory), console_(console) {}

int BatchCommand::run(const std::vector<std::string>& arguments) {
    std::ostream& out = console_.out;
    std::ostream& err = console_.err;
    const auto usageError = [&](std::u16string_view message) {
        err << kProgramName << ": " << toUtf8(message) << '\n'
            << toUtf8(u"使い方は quorvane-batch --help で表示されます。") << '\n';
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
    if (options.selfCheck) {
        if (console_.startLog)
            console_.startLog(false);
        TerminalMessageBox messages(console_.in, err, true);
        return SelfCheck(factory_, messages, out).run();
    }
    if (options.request.mode == run::RunRequest::Mode::EditOriginals && !options.yes &&
        !console_.inputIsTerminal) {
        // Nobody can answer the question, and originals must not be edited on a guess.
        return usageError(
            u"--in-place は元の文書を書き換えます。端末から実行して確認に答えるか、"
            u"--yes を指定してください。");
    }

    if (console_.startLog)
        console_.startLog(options.verbose);
    if (console_.configureWordProcessor)
        console_.configureWordProcessor(options);
    return runPaths(options);
}

int BatchCommand::runPaths(const BatchOptions& options) {
    std::ostream& err = console_.err;
    Report report(console_.out, options.nullTerminated);
    TerminalMessageBox messages(console_.in, err, options.yes);
    TerminalProgress progress(err, console_.errorIsTerminal, console_.interrupted);
    run::RunDriver driver(messages, factory_);
    const auto interrupted = [&] { return console_.interrupted && *console_.interrupted; };
    // Every document of the paths from first on is listed as not processed, for reason.
    const auto endFrom = [&](std::size_t first, std::u16string_view reason) {
        for (std::size_t rest = first; rest < options.paths.size(); ++rest)
            printUnreached(report, options.paths[rest], reason);
        return kRunEnded;
    };

    int status = kAllProcessed;
    for (std::size_t p = 0; p < options.paths.size(); ++p) {
        const std::u16string& path = options.paths[p];
        if (interrupted()) {
            err << kProgramName << ": " << toUtf8(u"中断の指示により、処理を終えました。") << '\n';
            return endFrom(p, kInterrupted);
        }
        run::RunResult result;
        try {
            result = driver.run(options.request, path, &progress);
        } catch (const run::RunError& e) {
            if (e.pathUnreadable() && !interrupted()) {
                // As a document that cannot be opened: the paths after it are run all the same.
                report.unprocessed(path, u"開けませんでした：" + e.cause());
                status = std::max<int>(status, kSomeNotProcessed);
                continue;
            }
            const std::u16string_view why = interrupted() ? kInterrupted : kAfterError;
            printResult(report, err, e.partial(), why);
            err << kProgramName << ": " << toUtf8(e.message()) << '\n';
            return endFrom(p + 1, why);
        }
        if (result.declined) {
            report.unprocessed(path, u"確認で「いいえ」が選ばれたため処理していません");
            status = std::max<int>(status, kSomeNotProcessed);
            continue;
        }
        if (printResult(report, err, result, kAfterError))
            status = std::max<int>(status, kSomeNotProcessed);
        if (result.documents.empty()) {
            err << toUtf8(u"文書がありません：") << shown(path) << '\n';
        } else if (result.endedByCopyFailure) {
            err << toUtf8(
                       u"コピー先には --copy-to で別のフォルダーを指定するか、--in-place で元の"
                       u"文書を置換してください。")
                << '\n';
            status = kRunEnded;
        }
    }
    return status;
}

}  // namespace quorvane::cli
