#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "os/text_encoding.h"

namespace quorvane::cli::messages {

// What quorvane-batch tells the user, in one place: refusals of the command line, its help, the
// reasons of documents it did not process, its summary and the self-check's table. The log's own
// lines stay beside the code that writes them. Paths are printed as the system names them, bytes
// that are not UTF-8 included: texts that hold one are byte strings.

inline std::u16string number(std::int64_t value) {
    return os::fromUtf8(std::to_string(value));
}

// The command line.

inline constexpr std::u16string_view kSeeHelp = u"使い方は quorvane-batch --help で表示されます。";

inline std::u16string valueNeeded(std::u16string_view option) {
    return u"「" + std::u16string(option) + u"」 には値が必要です。";
}

inline std::u16string unknownRegion(std::u16string_view name) {
    return u"範囲 「" + std::u16string(name) +
           u"」 はありません。body、textboxes、headers から選んでください。";
}

inline constexpr std::u16string_view kOnlyOneJob = u"この版の --jobs には 1 だけを指定できます。";

inline std::u16string jobsOutOfRange(int most) {
    return u"--jobs には 1 から " + number(most) + u" までの数を指定してください。";
}

inline constexpr std::u16string_view kRestoreTakesOnly =
    u"--restore と共には --force と --verbose だけを指定できます。";
inline constexpr std::u16string_view kForceWithoutRestore =
    u"--force は --restore と共に指定します。";
inline constexpr std::u16string_view kCopyToAndInPlace =
    u"--copy-to と --in-place は同時に指定できません。";
inline constexpr std::u16string_view kCopyToOrInPlace =
    u"--copy-to フォルダー か --in-place のどちらかを指定してください。";
inline constexpr std::u16string_view kYesWithoutInPlace = u"--yes は --in-place と共に指定します。";
inline constexpr std::u16string_view kBackupWithoutInPlace =
    u"--backup-to は --in-place と共に指定します。";
inline constexpr std::u16string_view kNoPaths =
    u"処理する文書かフォルダーのパスを指定してください。";

inline std::u16string givenTwice(std::u16string_view option) {
    return std::u16string(option) + u" が二回以上指定されています。";
}

inline std::u16string unknownOption(std::u16string_view option) {
    return u"不明なオプション 「" + std::u16string(option) + u"」 です。";
}

inline constexpr std::u16string_view kPairNeedsTwo =
    u"--pair には検索文字列と置換文字列が必要です。";
inline constexpr std::u16string_view kPairFindEmpty = u"--pair の検索文字列が空です。";
inline constexpr std::u16string_view kTooManyPairs = u"--pair は 3 組までです。";

inline std::u16string reportFolderMissing(std::u16string_view folder) {
    return u"--report のファイルを置くフォルダー「" + std::u16string(folder) + u"」がありません。";
}

inline constexpr std::u16string_view kBackupInsidePaths =
    u"--backup-to のフォルダーは、処理するフォルダーの外に指定してください。";
inline constexpr std::u16string_view kSelfCheckAlone =
    u"--self-check はほかの引数と共には指定できません。";
inline constexpr std::u16string_view kSelfCheckWindowsOnly =
    u"--self-check は Windows 版の quorvane-batch で Word の動作を確かめるためのものです。";
inline constexpr std::u16string_view kEmptyPath = u"空のパスは指定できません。";

inline std::u16string relativeWithoutFolder(std::u16string_view path) {
    return u"現在のフォルダーが分からないため、相対パス 「" + std::u16string(path) +
           u"」 は使えません。";
}

inline constexpr std::u16string_view kInPlaceUnconfirmed =
    u"--in-place は元の文書を書き換えます。端末から実行して確認に答えるか、--yes を指定してく"
    u"ださい。";

// logFile: where the log is written.
inline std::u16string usage(std::u16string_view logFile) {
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
           std::u16string(logFile) + u"\n";
}

// The run and its documents.

inline constexpr std::u16string_view kInterrupted = u"中断の指示により処理しませんでした";
inline constexpr std::u16string_view kAfterError =
    u"エラーで処理が中断されたため処理しませんでした";
inline constexpr std::u16string_view kEndedByCopyFailure = u"コピーの失敗で処理が中断されました";
inline constexpr std::u16string_view kDeclined = u"確認で「いいえ」が選ばれたため処理していません";
inline constexpr std::u16string_view kEndedByInterruption = u"中断の指示により、処理を終えました。";
inline constexpr std::u16string_view kStoppedHere = u"中断の指示により、ここで処理を終えました。";
inline constexpr std::u16string_view kCopyFailureAdvice =
    u"コピー先には --copy-to で別のフォルダーを指定するか、--in-place で元の文書を置換してくださ"
    u"い。";
inline constexpr std::u16string_view kAnswerYesOrNo = u"y（はい）か n（いいえ）で答えてください。";

// cause: the copy's own reason, if it has one.
inline std::u16string notCopied(std::u16string_view cause) {
    return u"コピーできませんでした" + (cause.empty() ? u"" : u"：" + std::u16string(cause));
}

inline std::string notice(std::string_view path, std::u16string_view text) {
    return os::toUtf8(u"お知らせ：") + std::string(path) + os::toUtf8(u"：" + std::u16string(text));
}

inline std::string noDocuments(std::string_view path) {
    return os::toUtf8(u"文書がありません：") + std::string(path);
}

inline std::string reportNotWritten(std::string_view path, std::u16string_view cause) {
    return os::toUtf8(u"レポートを書けませんでした：") + std::string(path) +
           os::toUtf8(u"：" + std::u16string(cause));
}

// A document the self-check's run did not process, and why.
inline std::string notProcessed(std::string_view path, std::u16string_view reason) {
    return os::toUtf8(u"処理できませんでした：") + std::string(path) + '\t' + os::toUtf8(reason);
}

// The summary.

// seconds: the time the command took, as the report writes it.
inline std::u16string summary(bool dryRun, std::int64_t documents, std::int64_t replaced,
                              std::int64_t unchanged, std::string_view seconds) {
    const std::int64_t processed = replaced + unchanged;
    return std::u16string(dryRun ? u"まとめ（試行のため何も保存していません）：" : u"まとめ：") +
           u"文書 " + number(documents) + u" 件（処理 " + number(processed) + u" 件：置換あり " +
           number(replaced) + u" 件・変更なし " + number(unchanged) + u" 件／処理できず " +
           number(documents - processed) + u" 件）、所要時間 " + os::fromUtf8(seconds) + u" 秒";
}

inline std::u16string_view counted(bool dryRun) {
    return dryRun ? u"置換する箇所 " : u"置換した箇所 ";
}

inline std::u16string countsUnknown(bool dryRun) {
    return std::u16string(counted(dryRun)) + u"不明（ワープロが置換の数を伝えませんでした）";
}

// byRegion: the chosen regions' counts, as regionCount gives them joined by kListSeparator.
inline std::u16string counts(bool dryRun, std::int64_t total, std::u16string_view byRegion) {
    return std::u16string(counted(dryRun)) + number(total) + u"（" + std::u16string(byRegion) +
           u"）";
}

inline std::u16string pairCounts(std::int64_t pair, std::u16string_view find,
                                 std::u16string_view replacement, std::int64_t total,
                                 std::u16string_view byRegion) {
    return u"  置換 " + number(pair) + u"「" + std::u16string(find) + u"」→「" +
           std::u16string(replacement) + u"」：" + number(total) + u"（" +
           std::u16string(byRegion) + u"）";
}

inline constexpr std::u16string_view kBody = u"本文";
inline constexpr std::u16string_view kTextBoxes = u"テキストボックス";
inline constexpr std::u16string_view kHeadersAndFooters = u"ヘッダー・フッター";
inline constexpr std::u16string_view kListSeparator = u"、";

inline std::u16string regionCount(std::u16string_view region, std::int64_t count) {
    return std::u16string(region) + u" " + number(count);
}

inline std::u16string restoreSummary(std::int64_t restored, std::int64_t original,
                                     std::int64_t left) {
    return u"元に戻した文書 " + number(restored) + u" 件、元のままだった文書 " + number(original) +
           u" 件、戻さなかった文書 " + number(left) + u" 件";
}

// The self-check.

inline constexpr std::u16string_view kSelfCheckStarts =
    u"Word の自己診断：文書を作り、置換し、読み直します。";
inline constexpr std::u16string_view kSelfCheckPassed =
    u"結果：すべて一致しました。この Word で置換できます。";

inline std::u16string selfCheckFailed(int mismatches) {
    return u"結果：" + number(mismatches) + u" 項目が一致しません。ログに詳しい記録があります。";
}

inline std::u16string selfCheckStopped(std::u16string_view cause) {
    return u"結果：自己診断を続けられませんでした：" + std::u16string(cause);
}

inline std::u16string workFolderNotMade(std::u16string_view cause) {
    return u"結果：作業フォルダーを用意できませんでした：" + std::u16string(cause);
}

// The columns of its table, what a row found, and the rows that are not one per region.
inline constexpr std::u16string_view kDocumentColumn = u"文書";
inline constexpr std::u16string_view kRegionColumn = u"範囲";
inline constexpr std::u16string_view kExpectedColumn = u"期待";
inline constexpr std::u16string_view kFoundColumn = u"結果";
inline constexpr std::u16string_view kSame = u"一致";
inline constexpr std::u16string_view kDifferent = u"不一致";
inline constexpr std::u16string_view kUppercaseHeaderRow = u"ヘッダー（大文字の一致）";
inline constexpr std::u16string_view kOriginalRow = u"元の文書（全範囲）";
inline constexpr std::u16string_view kLinkedHeaderRow = u"第2節のヘッダー（リンク）";
inline constexpr std::u16string_view kGroupRow = u"グループのテキストボックス";
inline constexpr std::u16string_view kReadOnlyRecommendedRow = u"読み取り専用の推奨";
inline constexpr std::u16string_view kYes = u"あり";
inline constexpr std::u16string_view kNo = u"なし";
inline constexpr std::u16string_view kBytesRow = u"置換後のバイト列";

inline std::u16string bytes(std::size_t count) {
    return number(static_cast<std::int64_t>(count)) + u" バイト";
}

inline constexpr std::u16string_view kOtherContent = u"（内容違い）";

}  // namespace quorvane::cli::messages
