#pragma once

#include <string>
#include <string_view>

namespace quorvane::automation::office::messages {

// What the office backend tells the user, in one place: why a document cannot be opened or
// saved, what a save changed, and why the office could not be started or was lost. The log's own
// lines stay beside the code that writes them.

// Opening a document.

inline constexpr std::u16string_view kPathTooLong =
    u"ファイル名かフォルダーの場所が長すぎるため開けません。短くしてからやり直してください";
inline constexpr std::u16string_view kFileNotFound = u"ファイルが見つかりません";
inline constexpr std::u16string_view kNotARegularFile =
    u"通常のファイルではない（フォルダーや名前付きパイプなど）ため開けません";
inline constexpr std::u16string_view kEmptyFile = u"空のファイルのため文書として読み込めません";
inline constexpr std::u16string_view kNotReadable =
    u"読み取りが許可されていないため開けません。権限を確かめてからやり直してください";
inline constexpr std::u16string_view kReadOnly =
    u"読み取り専用のため保存できません。書き込みを許可してからやり直してください";
inline constexpr std::u16string_view kLocked =
    u"ほかのワープロで開かれています。そのワープロで閉じてからやり直してください";
inline constexpr std::u16string_view kPasswordProtected =
    u"パスワードで保護されています。パスワードを外してからやり直してください";
inline constexpr std::u16string_view kBroken = u"文書が壊れているため読み込めません";
inline constexpr std::u16string_view kBrokenOrUnknownFormat =
    u"文書が壊れているか対応していない形式のため読み込めません";
inline constexpr std::u16string_view kEncodingUnknown =
    u"文字コードを判別できないため処理しませんでした。UTF-8 か Shift_JIS で保存し直してからやり直"
    u"してください";

// The format a document was loaded in, as the messages below name it.
inline constexpr std::u16string_view kUnknownFormat = u"不明";
inline constexpr std::u16string_view kPlainTextFormat = u"テキスト";

inline std::u16string notADocument(std::u16string_view format) {
    return u"文書として読み込めません（形式：" + std::u16string(format) + u"）";
}

inline std::u16string formatNotWritable(std::u16string_view format) {
    return u"この形式（" + std::u16string(format) +
           u"）では保存できないため処理しませんでした。Word か ODF の形式で保存し直してからやり直"
           u"してください";
}

// Saving it.

inline std::u16string savedAsWord97(std::u16string_view originalFormat) {
    return u"元の形式（" + std::u16string(originalFormat) +
           u"）では保存できないため、Word 97-2003 形式で保存しました";
}

inline std::u16string controlsKeptAsRichText(std::u16string_view count) {
    return u"保存すると文字列が崩れるため、コンテンツ コントロール " + std::u16string(count) +
           u" 個をリッチ テキストのコントロールとして保存しました（書式なしテキストの設定とタイトル"
           u"は保存されません）";
}

inline std::u16string inputFieldsKeptAsControls(std::u16string_view count) {
    return u"保存すると文字列が崩れるため、入力フィールド " + std::u16string(count) +
           u" 個をコンテンツ コントロールとして保存しました";
}

// Between two notices of one save.
inline constexpr std::u16string_view kNoticeSeparator = u"。";

inline constexpr std::u16string_view kNotWritten = u"ワープロが文書を書き出せませんでした";
inline constexpr std::u16string_view kInUse =
    u"ほかのプログラムが使用中のため保存できません。閉じてからやり直してください";
inline constexpr std::u16string_view kChangedMeanwhile =
    u"処理中にほかのプログラムが文書を書き換えたため保存しませんでした";

// excerpt: the beginning of the first text lost, in region.
inline std::u16string contentWouldBeLost(std::u16string_view region, std::u16string_view excerpt) {
    return u"書き出すと内容の一部が失われるため、元のままにしました（" + std::u16string(region) +
           u"：『" + std::u16string(excerpt) + u"』）";
}

// The document and its office.

inline constexpr std::u16string_view kAlreadyClosed = u"文書は既に閉じられています";
inline constexpr std::u16string_view kOfficeEnded = u"ワープロが終了しています";
inline constexpr std::u16string_view kOfficeAlreadyQuit = u"ワープロは既に終了しています";
inline constexpr std::u16string_view kOfficeNotStarted = u"ワープロが起動していません";
inline constexpr std::u16string_view kOfficeCallFailed = u"ワープロがこの文書の処理に失敗しました";
inline constexpr std::u16string_view kOfficeNotResponding = u"ワープロが応答しないため中断しました";
inline constexpr std::u16string_view kOfficeCrashed = u"ワープロが異常終了したため中断しました";
inline constexpr std::u16string_view kReplacerAnswerUnknown =
    u"ワープロの中の置換の部品が不明な形で答えました";

// Starting the office.

inline std::u16string startFailure(std::u16string_view cause) {
    return u"ワープロ（LibreOffice）を起動できませんでした：" + std::u16string(cause) +
           u"。インストールされているか確認してください。";
}

inline constexpr std::u16string_view kProgramNotFound = u"プログラムが見つかりません";
inline constexpr std::u16string_view kProcessNotMade = u"プロセスを作れません";
inline constexpr std::u16string_view kReplacerNotLoaded = u"置換の部品を読み込めません";
inline constexpr std::u16string_view kExitedAtStart = u"起動してすぐに終了しました";

inline std::u16string noAnswerAtStart(std::u16string_view seconds) {
    return u"起動したまま応答がありません（" + std::u16string(seconds) + u" 秒待ちました）";
}

inline constexpr std::u16string_view kReplacerOfAnotherBuild =
    u"ワープロ（LibreOffice）を起動できませんでした：置換の部品がこのプログラムと別の版のもので"
    u"す。このプログラムをインストールし直してください。";

// The object model as the run calls it.

inline std::u16string noMember(std::u16string_view object, std::u16string_view member) {
    return std::u16string(object) + u" にメンバー " + std::u16string(member) + u" はありません";
}

inline std::u16string cannotSet(std::u16string_view object, std::u16string_view member) {
    return std::u16string(object) + u" のメンバー " + std::u16string(member) +
           u" には設定できません";
}

inline std::u16string notEnumerable(std::u16string_view object) {
    return std::u16string(object) + u" は列挙できません";
}

inline std::u16string noServer(std::u16string_view className) {
    return u"クラス " + std::u16string(className) + u" のサーバーがありません";
}

inline std::u16string namedArgumentUnsupported(std::u16string_view name) {
    return u"名前付き引数 " + std::u16string(name) + u" には対応していません";
}

inline constexpr std::u16string_view kTooManyArguments = u"引数が多すぎます";
inline constexpr std::u16string_view kReplaceArgumentsNeeded =
    u"置換にはFindText、ReplaceWithとReplace=2が必要です";
inline constexpr std::u16string_view kShapeWithoutText = u"この図形には文字列がありません";
inline constexpr std::u16string_view kCloseArguments =
    u"Close に指定できるのは SaveChanges:=wdDoNotSaveChanges だけです";

inline std::u16string oneFileNameNeeded(std::u16string_view method) {
    return std::u16string(method) + u" にはファイル名を一つ指定してください";
}

}  // namespace quorvane::automation::office::messages
