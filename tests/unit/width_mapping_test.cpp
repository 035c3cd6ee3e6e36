#include "os/width_mapping.h"

#include <gtest/gtest.h>

namespace quorvane::os {
namespace {

TEST(WidthMapping, LatinLettersAndDigitsChangeWidthBothWays) {
    EXPECT_EQ(toFullWidth(u"abc XYZ 123"), u"ａｂｃ\u3000ＸＹＺ\u3000１２３");
    EXPECT_EQ(toHalfWidth(u"ＡＢＣ１２３"), u"ABC123");
    // What the body pass does to a find text: full, then half of the full form.
    EXPECT_EQ(toHalfWidth(toFullWidth(u"abc")), u"abc");
    EXPECT_EQ(toHalfWidth(toFullWidth(u"ＡＢＣ")), u"ABC");
}

TEST(WidthMapping, KatakanaComposesAndSplitsVoicedMarks) {
    EXPECT_EQ(toHalfWidth(u"カタカナ"), u"ｶﾀｶﾅ");
    EXPECT_EQ(toHalfWidth(u"ガギ"), u"ｶﾞｷﾞ");
    EXPECT_EQ(toFullWidth(u"ｶﾞｷﾞ"), u"ガギ");
    EXPECT_EQ(toFullWidth(u"ｱｲｳ"), u"アイウ");
}

TEST(WidthMapping, KanjiHiraganaAndSurrogatePairsStayAsTheyAre) {
    for (const std::u16string text : {u"東京", u"あいう", u"𠮷野家"}) {
        EXPECT_EQ(toFullWidth(text), text);
        EXPECT_EQ(toHalfWidth(text), text);
    }
}

}  // namespace
}  // namespace quorvane::os
