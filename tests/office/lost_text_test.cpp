#include "automation/office/replacer/lost_text.h"

#include <gtest/gtest.h>

namespace quorvane::automation::office {
namespace {

using Texts = std::vector<std::u16string>;

// What a format's writer may do to a text that a reader does not see, against what a reader does.
TEST(LostText, OnlyTextAReaderWouldMissCounts) {
    DocumentTexts before;
    before.body = {u"first line\vsecond line", u"split here and", u"there", u"same again"};
    before.headersAndFooters = {u"Header 東京"};
    before.notes = {u"note"};
    DocumentTexts after = before;
    // A line break written as a paragraph end, two paragraphs as one, a header written once for
    // each section.
    after.body = {u"first line", u"second line", u"split here andthere", u"same again"};
    after.headersAndFooters = {u"Header 東京", u"Header 東京"};
    EXPECT_TRUE(lostText(before, after).empty());

    after.headersAndFooters = {u"Header"};
    after.body.back() = u"same again ";
    after.notes.clear();
    const auto lost = lostText(before, after);
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[0].region, u"ヘッダー・フッター");
    EXPECT_EQ(lost[0].texts, Texts{u"Header 東京"});
    EXPECT_EQ(lost[1].region, u"脚注");

    // A blank a reader sees is text too.
    after = before;
    after.body[3] = u"same  again";
    EXPECT_EQ(lostText(before, after).size(), 1u);
}

}  // namespace
}  // namespace quorvane::automation::office
