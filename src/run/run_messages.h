#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane::run::messages {

// What a run tells the user, in one place: the reasons a document was not processed or not put
// back, and the errors that end a run or a restore. The log's own lines stay beside the code that
// writes them.

inline std::u16string notOpened(std::u16string_view cause) {
    return u"開けませんでした：" + std::u16string(cause);
}

// An original a run in place would have to write, and may not: the word processor refuses it.
inline constexpr std::u16string_view kOriginalReadOnly =
    u"読み取り専用のため保存できません。書き込みを許可してからやり直してください";

inline std::u16string notSaved(std::u16string_view cause) {
    return u"保存できませんでした：" + std::u16string(cause);
}

// replacement as the passes got it, in its brackets.
inline std::u16string pairNotApplied(std::u16string_view find, std::u16string_view replacement,
                                     std::u16string_view cause) {
    return u"「" + std::u16string(find) + u"」を" + std::u16string(replacement) +
           u"に置き換えられませんでした：" + std::u16string(cause);
}

// After the reasons of a document that some pairs reached: the ones that did not, by label.
inline std::u16string pairsNotApplied(std::u16string_view labels) {
    return u"（" + std::u16string(labels) + u" は適用されていません）";
}

inline std::u16string pairLabel(std::size_t number, std::u16string_view find,
                                std::u16string_view replacement) {
    return u"置換 " + std::u16string(1, static_cast<char16_t>(u'0' + number)) + u"「" +
           std::u16string(find) + u"」→「" + std::u16string(replacement) + u"」";
}

inline std::u16string pathNotProcessed(std::u16string_view path, std::u16string_view cause) {
    return u"「" + std::u16string(path) + u"」を処理できませんでした。\n" + std::u16string(cause);
}

inline std::u16string originalNotKept(std::u16string_view cause) {
    return u"元の文書をバックアップできないため処理しませんでした：" + std::u16string(cause);
}

// Backups and their restore.

inline std::u16string backupFolderNotEmpty(std::u16string_view folder) {
    return u"バックアップ先のフォルダー「" + std::u16string(folder) +
           u"」は空ではありません。前のバックアップを残すため、新しいフォルダーか空のフォルダーを"
           u"指定してください";
}

inline std::u16string backupFolderIsAFile(std::u16string_view folder) {
    return u"バックアップ先「" + std::u16string(folder) + u"」はフォルダーではありません";
}

inline std::u16string backupFolderNotMade(std::u16string_view folder, std::u16string_view cause) {
    return u"バックアップ先のフォルダー「" + std::u16string(folder) + u"」を作れません：" +
           std::u16string(cause);
}

inline constexpr std::u16string_view kOriginalUnreadable = u"元の文書を読み取れません";

inline std::u16string backupListNotWritten(std::u16string_view cause) {
    return u"バックアップの一覧を書けません：" + std::u16string(cause);
}

inline std::u16string notABackupFolder(std::u16string_view folder) {
    return u"「" + std::u16string(folder) +
           u"」は quorvane-batch --backup-to のバックアップではありません";
}

inline std::u16string backupListDamaged(std::u16string_view folder) {
    return u"「" + std::u16string(folder) + u"」のバックアップの一覧が壊れているため読めません";
}

inline constexpr std::u16string_view kBackupMissingOrChanged =
    u"バックアップのファイルがないか、書き換えられています";

// The refusals that --force overrides.
inline constexpr std::u16string_view kOriginalGone =
    u"元の場所に文書がありません。--force を付けると戻します";
inline constexpr std::u16string_view kWrittenNotRecorded =
    u"実行が文書を書いた後のことが記録されていないため（実行が途中で止まったため）、今の文書が実行"
    u"の"
    u"書いたものか分かりません。--force を付けると戻します";
inline constexpr std::u16string_view kChangedSinceRun =
    u"実行の後に文書が書き換えられています。--force を付けると戻します";

}  // namespace quorvane::run::messages
