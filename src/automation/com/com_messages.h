#pragma once

#include <string>
#include <string_view>

namespace quorvane::automation::com::messages {

// What Word's backend tells the user, in one place. The log's own lines stay beside the code
// that writes them.

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
