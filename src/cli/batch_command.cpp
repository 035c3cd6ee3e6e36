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

// A path as the system names it, bytes that are not UTF-8 included.
std::string shown(const std::u16string& path) {
    return os::pathForTerminal(path);
}

void printUnprocessed(std::ostream& out, const std::u16string& path, std::u16string_view reason) {
    out << shown(path) << '\t' << toUtf8(reason) << '\n' << std::flush;
}

// Documents not processed on out, one line each, for a script to pick up; notices on err, marked
// as such, as their documents were processed. Returns whether any document was not processed.
bool printResult(std::ostream& out, std::ostream& err, const run::RunResult& result) {
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
                printUnprocessed(out, document.edited, document.reason);
                break;
            case Outcome::CopyFailed:
                printUnprocessed(out, document.source, u"コピーできませんでした");
                break;
            case Outcome::NotReached:
                printUnprocessed(out, document.source,
                                 result.endedByCopyFailure ? u"コピーの失敗で処理が中断されました"
                                                           : u"エラーで処理が中断されました");
                break;
        }
        failed = true;
    }
    return failed;
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
    TerminalMessageBox messages(console_.in, err, options.yes);
    TerminalProgress progress(err, console_.errorIsTerminal, console_.interrupted);
    run::RunDriver driver(messages, factory_);

    const auto skipFrom = [&](std::size_t first) {
        for (std::size_t rest = first; rest < options.paths.size(); ++rest) {
            err << toUtf8(u"処理していません：") << shown(options.paths[rest]) << '\n';
        }
        return kRunEnded;
    };
    int status = kAllProcessed;
    for (std::size_t p = 0; p < options.paths.size(); ++p) {
        const std::u16string& path = options.paths[p];
        if (console_.interrupted && *console_.interrupted) {
            err << kProgramName << ": " << toUtf8(u"中断の指示により、処理を終えました。") << '\n';
            return skipFrom(p);
        }
        run::RunResult result;
        try {
            result = driver.run(options.request, path, &progress);
        } catch (const run::RunError& e) {
            // Documents that failed before the error are still worth knowing about.
            run::RunResult partial = e.partial();
            std::erase_if(partial.documents, [](const run::DocumentResult& d) {
                return d.outcome == Outcome::NotReached;
            });
            printResult(out, err, partial);
            err << kProgramName << ": " << toUtf8(e.message()) << '\n';
            return skipFrom(p + 1);
        }
        if (result.declined) {
            printUnprocessed(out, path, u"確認で「いいえ」が選ばれたため処理していません");
            status = std::max<int>(status, kSomeNotProcessed);
            continue;
        }
        if (printResult(out, err, result))
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
