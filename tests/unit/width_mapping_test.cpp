#include "os/width_mapping.h"

#include <gtest/gtest.h>

#include <string>

#include "os/text_encoding.h"

namespace quorvane::os {
namespace {

// One table for both mappings: ICU's transliterators here, the system's LCMapStringEx on Windows
// (measured under Wine, whose tables real Windows may not share on the differing rows).
struct WidthCase {
    std::u16string_view text;
    std::u16string_view full;
    std::u16string_view half;
};

constexpr WidthCase kSharedCases[] = {
    {u"abc XYZ 123", u"ａｂｃ\u3000ＸＹＺ\u3000１２３", u"abc XYZ 123"},
    {u"ＡＢＣ１２３", u"ＡＢＣ１２３", u"ABC123"},
    {u"!\"#$%&'()*+,-./:;<=>?@[]^_`{|}~",
     u"！＂＃＄％＆＇（）＊＋，－．／：；＜＝＞？＠［］＾＿｀｛｜｝～",
     u"!\"#$%&'()*+,-./:;<=>?@[]^_`{|}~"},
    {u"¥¢£¬¯¦", u"￥￠￡￢￣￤", u"¥¢£¬¯¦"},
    {u"カタカナ。「」、・ー", u"カタカナ。「」、・ー", u"ｶﾀｶﾅ｡｢｣､･ｰ"},
    {u"ｶﾞｷﾞﾊﾟﾋﾟｳﾞﾜﾞｦﾞ", u"ガギパピヴヷヺ", u"ｶﾞｷﾞﾊﾟﾋﾟｳﾞﾜﾞｦﾞ"},
    {u"ｧｨｩｪｫｯｬｭｮ", u"ァィゥェォッャュョ", u"ｧｨｩｪｫｯｬｭｮ"},
    // No half-width forms: left as they are.
    {u"ヵヶヮ東京あいう𠮷野家", u"ヵヶヮ東京あいう𠮷野家", u"ヵヶヮ東京あいう𠮷野家"},
};

struct DifferingCase {
    const char* what;
    WidthCase icu;
    WidthCase windows;
};

constexpr DifferingCase kDifferingCases[] = {
    {"backslash: ICU pairs it with the full-width reverse solidus, Windows leaves both",
     {u"\\＼", u"＼＼", u"\\\\"},
     {u"\\＼", u"\\＼", u"\\＼"}},
    {"ヸヹヾ: ICU keeps them, Windows splits off a half-width voiced mark",
     {u"ヸヹヾ", u"ヸヹヾ", u"ヸヹヾ"},
     {u"ヸヹヾ", u"ヸヹヾ", u"ヰﾞヱﾞヽﾞ"}},
    {"spacing voiced marks ゛゜: ICU keeps them, Windows maps them to the combining marks",
     {u"゛゜", u"゛゜", u"゛゜"},
     {u"゛゜", u"\u3099\u309A", u"ﾞﾟ"}},
    {"white parentheses ⦅⦆ and curly quotes: only Windows maps them",
     {u"⦅⦆｟｠‘’“”", u"⦅⦆｟｠‘’“”", u"⦅⦆｟｠‘’“”"},
     {u"⦅⦆｟｠‘’“”", u"｟｠｟｠‘’“”", u"⦅⦆⦅⦆''\"\""}},
    {"Hangul letters: ICU widens to conjoining jamo, Windows to compatibility jamo",
     {u"ㄱㅏﾡￂ", u"ㄱㅏ\u1100\u1161", u"ㄱㅏﾡￂ"},
     {u"ㄱㅏﾡￂ", u"ㄱㅏㄱㅏ", u"ﾡￂﾡￂ"}},
};

void expectMapping(const WidthCase& c) {
    EXPECT_EQ(toFullWidth(c.text), c.full);
    EXPECT_EQ(toHalfWidth(c.text), c.half);
}

TEST(WidthMapping, SharedCasesMapAlikeEverywhere) {
    for (const WidthCase& c : kSharedCases) {
        SCOPED_TRACE(toUtf8(c.text));
        expectMapping(c);
    }
    // What the body pass does to a find text: full, then half of the full form.
    EXPECT_EQ(toHalfWidth(toFullWidth(u"abc")), u"abc");
    EXPECT_EQ(toHalfWidth(toFullWidth(u"ｶﾞ")), u"ｶﾞ");
}

TEST(WidthMapping, WhereIcuAndWindowsDifferEachMapsAsTheTableSays) {
    for (const DifferingCase& c : kDifferingCases) {
        SCOPED_TRACE(c.what);
#ifdef _WIN32
        expectMapping(c.windows);
#else
        expectMapping(c.icu);
#endif
    }
}

}  // namespace
}  // namespace quorvane::os
