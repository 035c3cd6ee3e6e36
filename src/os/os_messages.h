#pragma once

#include <string>
#include <string_view>

namespace quorvane::os::messages {

// What the operating-system layer tells the user, in one place: why a file could not be written,
// copied, listed or examined. The log's own lines stay beside the code that writes them.

// Why writing a file failed, by its cause.
inline std::u16string noSpace() {
    return u"ディスクの空きが足りません。空きを作ってからやり直してください";
}
inline std::u16string nameTooLong() {
    return u"ファイル名かフォルダーの場所が長すぎます。短くしてからやり直してください";
}
inline std::u16string noPermission() {
    return u"フォルダーに書き込む権限がありません。権限を確かめてからやり直してください";
}
inline std::u16string readOnlyDisk() {
    return u"書き込めない場所（読み取り専用のディスク）にあります";
}
inline std::u16string inUse() {
    return u"ほかのプログラムが使用中のため保存できません。閉じてからやり直してください";
}
inline std::u16string folderNotFound() {
    return u"保存先のフォルダーが見つかりません";
}
inline std::u16string diskError() {
    return u"ディスクの読み書きでエラーが起きました（入出力エラー）";
}
inline std::u16string alreadyExists() {
    return u"同じ名前のファイルが既にあります";
}
inline std::u16string notWritten() {
    return u"ファイルを書き込めませんでした";
}

inline std::u16string changedMeanwhile() {
    return u"処理中にほかのプログラムが文書を書き換えたため保存しませんでした";
}
inline std::u16string changedBeforePutBack() {
    return u"処理中にほかのプログラムが文書を書き換えたため戻しませんでした";
}
inline std::u16string attributesNotKept() {
    return u"拡張属性やアクセス制御リスト（ACL）を保ったまま保存できないため、保存しませんでした";
}
// After why a file with several names could not be written over: where its old content is.
inline std::u16string oldContentKept(std::u16string_view name) {
    return u"（文書が壊れた可能性があります。元の内容は「" + std::u16string(name) +
           u"」に残しました）";
}
// After why a new version could not take the old one's place: neither could be put back, so both
// stay where they are.
inline std::u16string bothVersionsKept(std::u16string_view oldVersion,
                                       std::u16string_view newVersion) {
    std::u16string where = u"（何も削除していません。";
    if (!oldVersion.empty())
        where += u"元のファイルは「" + std::u16string(oldVersion) + u"」に、";
    return where + u"新しいファイルは「" + std::u16string(newVersion) + u"」にあります）";
}

// A system's cause of failure, by its kind.
inline std::u16string notFound() {
    return u"見つかりません";
}
inline std::u16string accessDenied() {
    return u"アクセスが拒否されました";
}
inline std::u16string notAFolder() {
    return u"フォルダーではありません";
}
inline std::u16string pathTooLong() {
    return u"パスが長すぎます";
}
inline std::u16string linkLoop() {
    return u"リンクが循環しています";
}
inline std::u16string ioError() {
    return u"入出力エラーが発生しました";
}
inline std::u16string diskFull() {
    return u"ディスクの空きが足りません";
}
inline std::u16string systemError(std::u16string_view number, std::u16string_view text) {
    return u"システムエラー " + std::u16string(number) + u"（" + std::u16string(text) + u"）";
}

// Files and folders that could not be examined or read.
inline std::u16string notExamined(std::u16string_view path, std::u16string_view cause) {
    return u"「" + std::u16string(path) + u"」を調べられません：" + std::u16string(cause);
}
inline std::u16string folderNotRead(std::u16string_view folder, std::u16string_view cause) {
    return u"「" + std::u16string(folder) + u"」の中を読み取れません：" + std::u16string(cause);
}

// Copies, and the backups of originals.
inline std::u16string sourceNotRegular() {
    return u"コピー元が通常のファイルではありません";
}
inline std::u16string sourceNotRead(std::u16string_view cause) {
    return u"コピー元を読み取れません：" + std::u16string(cause);
}
inline std::u16string destinationIsSource() {
    return u"コピー先がコピー元と同じファイルです";
}
inline std::u16string destinationNotAFile() {
    return u"コピー先に同じ名前のフォルダーなどがあります";
}
inline std::u16string destinationReadOnly() {
    return u"コピー先に同じ名前の読み取り専用のファイルがあります";
}
inline std::u16string originalNotRead() {
    return u"元のファイルを読み取れません";
}
inline std::u16string backupNotRead() {
    return u"バックアップを読み取れません";
}

inline std::u16string privateFolderNotMade() {
    return u"作業用のフォルダーを作れません";
}
inline std::u16string widthTableNotLoaded() {
    return u"文字幅の変換表を読み込めません（ICU）";
}
inline std::u16string widthNotMapped() {
    return u"文字幅を変換できません（LCMapStringEx）";
}

}  // namespace quorvane::os::messages
