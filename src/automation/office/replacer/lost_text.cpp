#include "automation/office/replacer/lost_text.h"

#include <string_view>

namespace quorvane::automation::office {

namespace {

// Line ends are left out: a format may write a line break as a paragraph end and read it back so,
// and the reader sees the same lines. Everything else a reader sees counts, blanks included.
std::u16string withoutLineEnds(std::u16string_view text) {
    std::u16string out;
    for (const char16_t c : text) {
        if (c != u'\r' && c != u'\n' && c != u'\v' && c != u'\u2028' && c != u'\u2029')
            out += c;
    }
    return out;
}

std::u16string joined(const std::vector<std::u16string>& texts) {
    std::u16string all;
    for (const auto& text : texts)
        all += withoutLineEnds(text);
    return all;
}

// Each text of before must stand somewhere in after: a text split into two, or written twice,
// still does. The body is read in order, from where the paragraph before was found.
std::vector<std::u16string> missing(const std::vector<std::u16string>& before,
                                    const std::vector<std::u16string>& after, bool inOrder) {
    const std::u16string all = joined(after);
    std::vector<std::u16string> lost;
    std::size_t from = 0;
    for (const auto& text : before) {
        const std::u16string wanted = withoutLineEnds(text);
        if (wanted.empty())
            continue;
        auto at = inOrder ? all.find(wanted, from) : std::u16string::npos;
        if (at == std::u16string::npos)
            at = all.find(wanted);
        if (at == std::u16string::npos) {
            lost.push_back(text);
            continue;
        }
        from = at + wanted.size();
    }
    return lost;
}

}  // namespace

std::vector<LostText> lostText(const DocumentTexts& before, const DocumentTexts& after) {
    std::vector<LostText> lost;
    const auto check = [&](std::u16string region, const std::vector<std::u16string>& was,
                           const std::vector<std::u16string>& is, bool inOrder) {
        if (auto texts = missing(was, is, inOrder); !texts.empty())
            lost.push_back({std::move(region), std::move(texts)});
    };
    check(u"本文", before.body, after.body, true);
    check(u"ヘッダー・フッター", before.headersAndFooters, after.headersAndFooters, false);
    check(u"テキストボックス", before.textBoxes, after.textBoxes, false);
    check(u"脚注", before.notes, after.notes, false);
    check(u"コメント", before.comments, after.comments, false);
    return lost;
}

}  // namespace quorvane::automation::office
