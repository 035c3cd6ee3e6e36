#pragma once

#include <string>
#include <string_view>

namespace quorvane::automation::com::messages {

// What Word's backend tells the user, in one place. The log's own lines stay beside the code
// that writes them.

// Starting the word processor.

inline std::u16string comNotInitialized(std::u16string_view cause) {
    return u"COM を初期化できません（" + std::u16string(cause) + u"）";
}
inline std::u16string wordNotInstalled() {
    return u"Word がインストールされていないため、置換できません。"
           u"Word をインストールしてから、もう一度実行してください。";
}
inline std::u16string serverNotRegistered(std::u16string_view programId) {
    return u"「" + std::u16string(programId) +
           u"」がこのコンピューターに登録されていないため、起動できません。";
}
// How the server is named to the user: Word as Word, any other by its program id.
inline std::u16string serverName(std::u16string_view programId, bool isWord) {
    return isWord ? std::u16string(u"Word") : u"「" + std::u16string(programId) + u"」";
}
inline std::u16string serverStuckStarting(std::u16string_view server) {
    return std::u16string(server) + u" が起動の途中で応答しなくなったため終了させました";
}
inline std::u16string serverNotStarted(std::u16string_view server, std::u16string_view cause) {
    return std::u16string(server) + u" を起動できません：" + std::u16string(cause);
}
inline std::u16string serverEnded(std::u16string_view server) {
    return std::u16string(server) + u" が応答しなくなったため終了させました";
}

// Calls that failed, and why.

inline std::u16string callFailed(std::u16string_view member, std::u16string_view cause) {
    return u"ワープロの「" + std::u16string(member) + u"」の呼び出しに失敗しました：" +
           std::u16string(cause);
}
inline std::u16string serverNotAnswering() {
    return u"ワープロが応答しません（終了したか、接続が切れました）";
}
inline std::u16string serverBusy() {
    return u"ワープロが処理中のため、呼び出しを受け付けませんでした";
}
inline std::u16string noSuchMember() {
    return u"そのメンバーはありません";
}
inline std::u16string argumentTypeMismatch() {
    return u"引数の型が合いません";
}
inline std::u16string argumentsMismatch() {
    return u"引数の数または名前が合いません";
}
inline std::u16string valueOutOfRange() {
    return u"値が範囲を超えています";
}
inline std::u16string otherFailure() {
    return u"エラーが発生しました";
}
// words, and the HRESULT behind them in hex.
inline std::u16string withResult(std::u16string_view words, std::u16string_view result) {
    return std::u16string(words) + u"（HRESULT " + std::u16string(result) + u"）";
}
// names: each unknown argument's name after a space.
inline std::u16string unknownArguments(std::u16string_view names) {
    return u"（引数名:" + std::u16string(names) + u"）";
}
inline std::u16string unsupportedType(std::u16string_view type) {
    return u"ワープロが対応していない型の値を返しました（VARTYPE " + std::u16string(type) + u"）";
}
inline std::u16string notAComObject() {
    return u"COM のオブジェクトでない値は引数に渡せません";
}

// Word's own limits and refusals.

inline std::u16string openedReadOnly() {
    return u"文書が読み取り専用で開かれたため（ほかで使用中か、読み取り専用のファイル）、"
           u"置換しても保存できません";
}
inline std::u16string findTextTooLong(std::u16string_view length) {
    return u"検索する文字列が " + std::u16string(length) +
           u" 文字あります。Word で検索できるのは 255 文字までです";
}
inline std::u16string replacementTooLong(std::u16string_view length) {
    return u"置換後の文字列が、前後に付く「」を含めて " + std::u16string(length) +
           u" 文字あります。Word で置換できるのは「」を含めて 255 文字（入力できるのは 253 "
           u"文字）までです";
}

// The file Word saved could not take the document's place. error: the system's error number;
// keptOld and keptNew: where the original and the saved file were left, when not in place and
// not removed; cause: why, when the original may have been harmed.
inline std::u16string notPutInPlace(std::u16string_view error, std::u16string_view cause,
                                    std::u16string_view keptOld, std::u16string_view keptNew) {
    const std::u16string failed =
        u"置換後の文書を元の場所に置けませんでした（エラー " + std::u16string(error) + u"）。";
    if (keptNew.empty())
        return failed + (keptOld.empty() ? u"元の文書はそのままです" : std::u16string(cause));
    std::u16string where = failed + u"何も削除していません。";
    if (!keptOld.empty())
        where += u"元の文書は「" + std::u16string(keptOld) + u"」に、";
    return where + u"置換後の文書は「" + std::u16string(keptNew) + u"」にあります";
}

}  // namespace quorvane::automation::com::messages
