#include "cli/argument_parser.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <string_view>
#include <utility>

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
        throw UsageError(kMaxJobs == 1
                             ? u"この版の --jobs には 1 だけを指定できます。"
                             : u"--jobs には 1 から " + fromUtf8(std::to_string(kMaxJobs)) +
                                   u" までの数を指定してください。");
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
                throw UsageError(u"--restore と共には --force と --verbose だけを指定できます。");
            }
            return;
        }
        if (options_.force)
            throw UsageError(u"--force は --restore と共に指定します。");
        if (copyTo_ && inPlace_) {
            throw UsageError(u"--copy-to と --in-place は同時に指定できません。");
        }
        if (!copyTo_ && !inPlace_) {
            throw UsageError(u"--copy-to フォルダー か --in-place のどちらかを指定してください。");
        }
        if (options_.yes && !inPlace_)
            throw UsageError(u"--yes は --in-place と共に指定します。");
        if (!options_.backupFolder.empty() && !inPlace_)
            throw UsageError(u"--backup-to は --in-place と共に指定します。");
        checkReportFolder();
        options_.request.mode =
            inPlace_ ? run::RunRequest::Mode::EditOriginals : run::RunRequest::Mode::CopyFirst;
        if (options_.paths.empty())
            throw UsageError(u"処理する文書かフォルダーのパスを指定してください。");
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
                throw UsageError(u"--copy-to が二回以上指定されています。");
            copyTo_ = true;
            options_.request.destinationFolder = absolutePath_(reader_.value(argument));
        } else if (argument == "--in-place") {
            inPlace_ = true;
        } else if (argument == "--pair") {
            readPair(argument);
        } else if (argument == "--regions") {
            if (regions_)
                throw UsageError(u"--regions が二回以上指定されています。");
            regions_ = true;
            applyRegions(options_.request.regions, reader_.value(argument));
        } else if (argument == "--jobs") {
            options_.request.offices = jobsOf(reader_.value(argument));
        } else {
            throw UsageError(u"不明なオプション " + quoted(argument) + u" です。");
        }
    }

    // A path option given once.
    void setOnce(std::u16string& path, const std::string& option) {
        if (!path.empty())
            throw UsageError(fromUtf8(option) + u" が二回以上指定されています。");
        path = absolutePath_(reader_.value(option));
    }

    void readPair(const std::string& option) {
        const std::u16string find = fromUtf8(reader_.value(option));
        if (reader_.done())
            throw UsageError(u"--pair には検索文字列と置換文字列が必要です。");
        const std::u16string replacement = fromUtf8(reader_.take());
        // The run would skip a blank pair without a word.
        if (run::isBlank(find))
            throw UsageError(u"--pair の検索文字列が空です。");
        if (pairs_ == run::RunRequest::kPairs)
            throw UsageError(u"--pair は 3 組までです。");
        options_.request.pairs[pairs_++] = {find, replacement};
    }

    void checkReportFolder() const {
        if (options_.reportFile.empty())
            return;
        std::error_code error;
        const auto folder = os::toNativePath(options_.reportFile).parent_path();
        if (!std::filesystem::is_directory(folder, error)) {
            throw UsageError(u"--report のファイルを置くフォルダー「" + os::fromNativePath(folder) +
                             u"」がありません。");
        }
    }

    // A later path could otherwise reach the backups of an earlier one and edit them.
    void checkBackupFolderOutsidePaths() const {
        const std::u16string& backups = options_.backupFolder;
        for (const auto& path : options_.paths) {
            if (!backups.empty() &&
                (backups == path || backups.starts_with(path + os::kPathSeparator))) {
                throw UsageError(
                    u"--backup-to のフォルダーは、処理するフォルダーの外に指定してくださ"
                    u"い。");
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
            throw UsageError(u"--self-check はほかの引数と共には指定できません。");
        options.selfCheck = true;
        return options;
#else
        throw UsageError(
            u"--self-check は Windows 版の quorvane-batch で Word "
            u"の動作を確かめるためのものです。");
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
