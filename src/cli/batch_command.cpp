#include "cli/batch_command.h"

#include <algorithm>
#include <cstddef>

#include "batch/run_driver.h"
#include "batch/run_error.h"
#include "cli/argument_parser.h"
#include "cli/terminal_message_box.h"
#include "cli/terminal_progress.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace quorvane::cli {

using platform::toUtf8;

namespace {

// A path as the system names it, bytes that are not UTF-8 included.
std::string shown(const std::u16string& path) {
    return platform::toNativePath(path).native();
}

void printUnprocessed(std::ostream& out, const std::u16string& path, std::u16string_view reason) {
    out << shown(path) << '\t' << toUtf8(reason) << '\n' << std::flush;
}

// Failures on out, one line each, for a script to pick up; notices on err, marked as such, as
// their documents were processed. Returns whether any document failed.
bool printReport(std::ostream& out, std::ostream& err, const RunReport& report) {
    bool failed = false;
    for (const DocumentFailure& entry : report) {
        if (entry.isNotice()) {
            err << toUtf8(u"お知らせ：") << shown(entry.path) << toUtf8(u"：")
                << toUtf8(entry.reason) << '\n';
        } else {
            printUnprocessed(out, entry.path, entry.reason);
            failed = true;
        }
    }
    return failed;
}

// The run ended at a copy that failed: that document and every one after it were left alone.
// Returns whether that happened.
bool printStoppedByCopy(std::ostream& out, const TargetList& targets,
                        const std::u16string& failedDocument) {
    const auto last = targets.fileList.begin() + targets.fileIndex + 1;
    const auto failed = std::find(targets.fileList.begin(), last, std::u16string());
    if (failed == last)
        return false;
    printUnprocessed(out, failedDocument, u"コピーできませんでした");
    for (auto rest = failed + 1; rest != last; ++rest) {
        printUnprocessed(out, *rest, u"コピーの失敗で処理が中断されました");
    }
    return true;
}

}  // namespace

BatchCommand::BatchCommand(platform::automation::ObjectFactory& factory, Console& console)
    : factory_(factory), console_(console) {}

int BatchCommand::run(const std::vector<std::string>& arguments) {
    std::ostream& out = console_.out;
    std::ostream& err = console_.err;
    const auto usageError = [&](std::u16string_view message) {
        err << ArgumentParser::kProgramName << ": " << toUtf8(message) << '\n'
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
    if (options.mode == BatchOptions::Mode::InPlace && !options.yes && !console_.inputIsTerminal) {
        // Nobody can answer the question, and originals must not be edited on a guess.
        return usageError(
            u"--in-place は元の文書を書き換えます。端末から実行して確認に答えるか、"
            u"--yes を指定してください。");
    }

    if (console_.startLog)
        console_.startLog(options.verbose);
    const PlainFormState form = options.formState();
    TerminalMessageBox messages(console_.in, err, options.yes);
    TerminalProgress progress(err, console_.errorIsTerminal, console_.interrupted);
    RunDriver driver(form, messages, factory_);
    driver.setProgress(&progress);

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
            err << ArgumentParser::kProgramName << ": "
                << toUtf8(u"中断の指示により、処理を終えました。") << '\n';
            return skipFrom(p);
        }
        const int declinedBefore = messages.declined();
        try {
            driver.ファイル名取得(path);
        } catch (const RunError& e) {
            // Documents that failed before the error are still worth knowing about.
            printReport(out, err, driver.report());
            err << ArgumentParser::kProgramName << ": " << toUtf8(e.message()) << '\n';
            return skipFrom(p + 1);
        }
        if (messages.declined() != declinedBefore) {
            // The run ended before it listed anything: the target list is the previous run's.
            printUnprocessed(out, path, u"確認で「いいえ」が選ばれたため処理していません");
            status = std::max<int>(status, kSomeNotProcessed);
            continue;
        }
        if (printReport(out, err, driver.report()))
            status = std::max<int>(status, kSomeNotProcessed);
        if (driver.targetList().fileIndex < 0) {
            err << toUtf8(u"文書がありません：") << shown(path) << '\n';
        } else if (printStoppedByCopy(out, driver.targetList(), progress.lastStarted())) {
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
