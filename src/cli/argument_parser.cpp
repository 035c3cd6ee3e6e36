#include "cli/argument_parser.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

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

std::u16string quoted(const std::string& argument) {
    return u"「" + fromUtf8(argument) + u"」";
}

class ArgumentReader final {
  public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool done() const { return next_ == arguments_.size(); }
    const std::string& take() { return arguments_[next_++]; }
    const std::string& value(const std::string& option) {
        if (done())
            throw UsageError(quoted(option) + u" には値が必要です。");
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
            throw UsageError(u"範囲 " + quoted(name) +
                             u" はありません。body、textboxes、headers から選んでください。");
        }
        if (end == list.size())
            break;
        start = end + 1;
    }
}

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
            throw UsageError(u"--self-check はほかの引数と共には指定できません。");
        options.selfCheck = true;
        return options;
#else
        throw UsageError(
            u"--self-check は Windows 版の quorvane-batch で Word "
            u"の動作を確かめるためのものです。");
#endif
    }
    run::RunRequest& request = options.request;
    std::size_t pairs = 0;
    bool copyTo = false;
    bool inPlace = false;
    bool regions = false;
    // An option that only a run takes, which --restore refuses.
    bool runOption = false;
    ArgumentReader reader(arguments);
    bool optionsEnded = false;
    while (!reader.done()) {
        const std::string& argument = reader.take();
        const bool path = optionsEnded || argument.empty() || argument[0] != '-' || argument == "-";
        runOption = runOption || (!path && argument != "--" && argument != "--restore" &&
                                  argument != "--force" && argument != "--verbose");
        if (path) {
            options.paths.push_back(absolutePath(argument));
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--restore") {
            if (!options.restoreFolder.empty())
                throw UsageError(u"--restore が二回以上指定されています。");
            options.restoreFolder = absolutePath(reader.value(argument));
        } else if (argument == "--force") {
            options.force = true;
        } else if (argument == "--backup-to") {
            if (!options.backupFolder.empty())
                throw UsageError(u"--backup-to が二回以上指定されています。");
            options.backupFolder = absolutePath(reader.value(argument));
        } else if (argument == "--report") {
            if (!options.reportFile.empty())
                throw UsageError(u"--report が二回以上指定されています。");
            options.reportFile = absolutePath(reader.value(argument));
        } else if (argument == "--dry-run") {
            request.dryRun = true;
        } else if (argument == "--recursive") {
            request.recursive = true;
        } else if (argument == "--copy-to") {
            if (copyTo)
                throw UsageError(u"--copy-to が二回以上指定されています。");
            copyTo = true;
            const std::string& folder = reader.value(argument);
            request.destinationFolder = absolutePath(folder);
        } else if (argument == "--in-place") {
            inPlace = true;
        } else if (argument == "--yes") {
            options.yes = true;
        } else if (argument == "--pair") {
            const std::u16string find = fromUtf8(reader.value(argument));
            if (reader.done())
                throw UsageError(u"--pair には検索文字列と置換文字列が必要です。");
            const std::u16string replacement = fromUtf8(reader.take());
            // The run would skip a blank pair without a word.
            if (run::isBlank(find))
                throw UsageError(u"--pair の検索文字列が空です。");
            if (pairs == run::RunRequest::kPairs)
                throw UsageError(u"--pair は 3 組までです。");
            request.pairs[pairs++] = {find, replacement};
        } else if (argument == "--regions") {
            if (regions)
                throw UsageError(u"--regions が二回以上指定されています。");
            regions = true;
            applyRegions(request.regions, reader.value(argument));
        } else if (argument == "--ignore-case") {
            request.matchCase = false;
        } else if (argument == "--ignore-width") {
            request.distinguishWidths = false;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (argument == "--no-verify") {
            options.checkSavedFiles = false;
        } else if (argument == "--no-skip") {
            request.skipDocumentsWithoutMatch = false;
        } else if (argument == "--null") {
            options.nullTerminated = true;
        } else if (argument == "--jobs") {
            const std::string& value = reader.value(argument);
            int jobs = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), jobs);
            if (error != std::errc{} || end != value.data() + value.size() || jobs < 1 ||
                jobs > kMaxJobs) {
                throw UsageError(kMaxJobs == 1
                                     ? u"この版の --jobs には 1 だけを指定できます。"
                                     : u"--jobs には 1 から " + fromUtf8(std::to_string(kMaxJobs)) +
                                           u" までの数を指定してください。");
            }
            request.offices = jobs;
        } else {
            throw UsageError(u"不明なオプション " + quoted(argument) + u" です。");
        }
    }

    if (!options.restoreFolder.empty()) {
        if (runOption || !options.paths.empty()) {
            throw UsageError(u"--restore と共には --force と --verbose だけを指定できます。");
        }
        return options;
    }
    if (options.force)
        throw UsageError(u"--force は --restore と共に指定します。");
    if (copyTo && inPlace) {
        throw UsageError(u"--copy-to と --in-place は同時に指定できません。");
    }
    if (!copyTo && !inPlace) {
        throw UsageError(u"--copy-to フォルダー か --in-place のどちらかを指定してください。");
    }
    if (options.yes && !inPlace)
        throw UsageError(u"--yes は --in-place と共に指定します。");
    if (!options.backupFolder.empty() && !inPlace)
        throw UsageError(u"--backup-to は --in-place と共に指定します。");
    if (!options.reportFile.empty()) {
        std::error_code error;
        const auto folder = os::toNativePath(options.reportFile).parent_path();
        if (!std::filesystem::is_directory(folder, error)) {
            throw UsageError(u"--report のファイルを置くフォルダー「" + os::fromNativePath(folder) +
                             u"」がありません。");
        }
    }
    request.mode =
        inPlace ? run::RunRequest::Mode::EditOriginals : run::RunRequest::Mode::CopyFirst;
    if (options.paths.empty())
        throw UsageError(u"処理する文書かフォルダーのパスを指定してください。");
    // A later path could otherwise reach the backups of an earlier one and edit them.
    for (const auto& path : options.paths) {
        if (!options.backupFolder.empty() &&
            (options.backupFolder == path ||
             options.backupFolder.starts_with(path + os::kPathSeparator))) {
            throw UsageError(
                u"--backup-to のフォルダーは、処理するフォルダーの外に指定してくださ"
                u"い。");
        }
    }
    return options;
}

std::u16string ArgumentParser::absolutePath(const std::string& argument) const {
    if (argument.empty())
        throw UsageError(u"空のパスは指定できません。");
    std::filesystem::path path = os::pathFromArgument(argument);
    if (path.is_relative()) {
        if (workingDirectory_.empty()) {
            throw UsageError(u"現在のフォルダーが分からないため、相対パス " + quoted(argument) +
                             u" は使えません。");
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
    return u"使い方: quorvane-batch (--copy-to フォルダー | --in-place [--yes] [--backup-to "
           u"フォルダー])\n"
           u"          [--pair 検索文字列 置換文字列]... [--regions 範囲] [--ignore-case]\n"
           u"          [--ignore-width] [--recursive] [--dry-run] [--report ファイル]\n"
           u"          [--jobs 数] [--no-skip] [--no-verify] [--null] [--verbose] パス...\n"
           u"       quorvane-batch --restore フォルダー [--force]\n"
           u"       quorvane-batch --version\n"
           u"\n"
           u"ワープロ文書の文字列を一括で置換します。パスごとに一回ずつ、指定の順に処理します。\n"
           u"フォルダーを指定すると、その中の文書すべてが対象です（--recursive がなければ\n"
           u"サブフォルダーは除く）。\n"
           u"\n"
           u"  --copy-to フォルダー  文書をフォルダーへコピーし、コピーのほうを置換します。\n"
           u"                        フォルダーを指定したときのコピー先は "
           u"フォルダー/<フォルダー名>/\n"
           u"  --in-place            元の文書を置換します。実行前に端末で確認します\n"
           u"  --yes                 --in-place の確認に「はい」と答えます\n"
           u"  --backup-to フォルダー  --in-place で、文書を書き換える前に元の文書をフォルダーへ\n"
           u"                        コピーします（指定したパスと同じ並びで）。フォルダーは新しい\n"
           u"                        ものか空のものを指定します。書き換えなかった文書のコピーは\n"
           u"                        残しません\n"
           u"  --restore フォルダー  --backup-to のフォルダーから元の文書を元の場所に戻します。\n"
           u"                        実行の後に書き換えられた文書は戻しません\n"
           u"  --force               --restore で、実行の後に書き換えられた文書も戻します\n"
           u"  --pair 検索 置換      置換する組です（3 "
           u"組まで）。置換文字列は「」で囲んで入ります。\n"
           u"                        組は指定の順に文書全体へ適用するため、後の組は前の組が\n"
           u"                        置換した結果も検索します（a→b と b→c なら a は「「c」」に）\n"
           u"  --regions 範囲        置換する範囲をカンマ区切りで指定します（既定は三つとも）:\n"
           u"                        body（本文）、textboxes（テキストボックス）、\n"
           u"                        headers（ヘッダー・フッター）\n"
           u"  --ignore-case         大文字と小文字を区別しません\n"
           u"  --ignore-width        全角と半角を区別しません\n"
           u"  --recursive           "
           u"フォルダーのサブフォルダーの文書も処理します（隠しフォルダーと\n"
           u"                        フォルダーへのリンクは除く）。フォルダーごとに名前の順で、\n"
           u"                        --copy-to のコピー先も同じ並びになります\n"
           u"  --dry-run             置換する箇所を数えるだけで、何も保存しません（コピーも\n"
           u"                        バックアップも作らず、確認もしません）。数は実際の実行と\n"
           u"                        同じです\n"
           u"  --report ファイル     結果をすべて JSON で書き出します（名前が .csv で終われば\n"
           u"                        CSV）。指定の内容、文書ごとの結果と置換の数、版を含みます\n"
           u"  --jobs 数             同時に使うワープロの数です（既定は 1）。結果は同じで、\n"
           u"                        一つにつき 300 MiB ほどのメモリーを使います\n"
           u"  --no-skip             検索文字列を含まないことが文書のファイルから分かる文書も、\n"
           u"                        ワープロで開きます（結果は同じで、時間がかかります）\n"
#ifndef _WIN32
           u"  --no-verify           保存した文書を読み戻して確かめません。確かめると、Word や\n"
           u"                        RTF の文書で内容が失われる保存は行わず、その文書を処理でき\n"
           u"                        なかったものとして表示します\n"
#endif
           u"  --null                処理できなかった文書の一覧を、パスと理由をそれぞれ NUL\n"
           u"                        文字で終わる形で出力します（find -print0 と同じ考え方）\n"
           u"  --verbose             ログを標準エラー出力にも表示します\n"
           u"  --version             版を表示します\n"
#ifdef _WIN32
           u"  --self-check          Word "
           u"の動作を確かめます（一時フォルダーに文書を作って置換し、\n"
           u"                        読み直した結果を表で示します。ほかの引数とは使えません）\n"
#endif
           u"  -h, --help            この説明を表示します\n"
           u"\n"
           u"処理しなかった文書は、中断で手を付けなかったものも含めてすべて、標準出力に\n"
           u"「パス<TAB>理由」の一行ずつで表示します。\n"
#ifndef _WIN32
           u"パスと理由の中の \\ は \\\\、タブは \\t、改行は \\n、復帰は \\r と書きます。\n"
#endif
           u"処理した文書についてのお知らせ（古い形式での保存など）は標準エラー出力に\n"
           u"「お知らせ：パス：内容」で表示します。最後に、文書の数、範囲ごと・組ごとの置換の\n"
           u"数と所要時間のまとめを標準エラー出力に表示します（ログにも残します）。\n"
           u"\n"
           u"終了コード: 0 すべて処理した（お知らせがあっても）\n"
           u"            1 処理できなかった文書がある（見つからないパスを含む）\n"
           u"            2 指定の誤り  3 "
           u"処理が中断された（コピーの失敗、ワープロのエラー、中断の指示）か、\n"
           u"              レポートを書けなかった\n"
           u"--restore の終了コード: 0 すべて戻した（元のままだったものを含む）  1 戻さなかった\n"
           u"            文書がある（標準出力に「パス<TAB>理由」）  3 バックアップを読めない\n"
           u"\n"
           u"ログファイル: " +
           os::fromNativePath(os::log::defaultFile()) + u"\n";
}

}  // namespace quorvane::cli
