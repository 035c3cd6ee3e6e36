#pragma once

#include <array>
#include <string_view>

namespace quorvane::form {

// The window's layout as data, in twips (1/1440 inch), so that every toolkit places the same
// controls at the same places with the same captions and fonts.

inline constexpr std::u16string_view kGothic = u"ＭＳ ゴシック";
inline constexpr std::u16string_view kPGothic = u"ＭＳ Ｐゴシック";

enum class Font {
    Window,     // the window's own font
    Gothic9,    // kGothic, 9 pt
    Gothic825,  // kGothic, 8.25 pt
    PGothic9,   // kPGothic, 9 pt
};

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

struct ControlLayout {
    std::u16string_view name;
    std::u16string_view caption;
    Rect twips;
    Font font;
};

inline constexpr int kClientWidth = 4530;
inline constexpr int kClientHeight = 4755;

// Pixels for twips at a resolution, rounded to the nearest: 15 twips a pixel at 96 dpi.
constexpr int pixels(int twips, int dpi) {
    return (twips * dpi + 720) / 1440;
}

// The window's own controls, in tab order; Image1 first, which is no tab stop.
inline constexpr std::array<ControlLayout, 11> kWindowControls{{
    {u"Image1", u"", {150, 150, 4245, 1950}, Font::Window},
    {u"MultiPage1", u"", {150, 2250, 4215, 2340}, Font::Gothic9},
    {u"Dir1", u"", {1950, 2700, 2115, 1455}, Font::Gothic825},
    {u"Drive1", u"", {450, 3750, 1290, 285}, Font::Gothic825},
    {u"Option1",
     u"元ﾌｧｲﾙをｺﾋﾟｰして置換(格納ﾌｫﾙﾀﾞｰ指定要)",
     {375, 2325, 3615, 315},
     Font::Gothic825},
    {u"Option2", u"元ﾌｧｲﾙを置換", {375, 2625, 1440, 315}, Font::Gothic825},
    {u"Check1", u"本文を置換", {405, 2355, 1215, 315}, Font::Window},
    {u"Check2", u"テキストボックス等を置換", {405, 2730, 2340, 315}, Font::Window},
    {u"Check3", u"ヘッダーフッターを置換", {405, 3105, 2340, 315}, Font::Window},
    {u"Check4", u"大文字小文字を区別", {405, 3480, 2340, 315}, Font::Window},
    {u"Check5", u"全角半角を区別", {405, 3840, 2340, 315}, Font::Window},
}};

// The window's own controls by their place in kWindowControls.
enum WindowControl : std::size_t {
    DropArea,
    Pages,
    Folders,
    Drives,
    CopyOption,
    OriginalsOption,
    BodyCheck,
    TextBoxesCheck,
    HeadersFootersCheck,
    MatchCaseCheck,
    WidthsCheck,
};

inline constexpr std::array<std::u16string_view, 3> kPageCaptions{u"文字入力", u"ファイルの取扱",
                                                                  u"置換オプション"};

// The first page's own controls, relative to the page, text boxes first in tab order; the
// labels are no tab stops.
inline constexpr std::array<ControlLayout, 10> kPage1Controls{{
    {u"TextBox1", u"", {300, 450, 1500, 300}, Font::PGothic9},
    {u"TextBox2", u"", {2325, 450, 1500, 300}, Font::PGothic9},
    {u"TextBox3", u"", {300, 825, 1500, 300}, Font::PGothic9},
    {u"TextBox4", u"", {2325, 825, 1500, 300}, Font::PGothic9},
    {u"TextBox5", u"", {300, 1200, 1500, 300}, Font::PGothic9},
    {u"TextBox6", u"", {2325, 1200, 1500, 300}, Font::PGothic9},
    {u"Label1", u"置換前文字列　　　　　　　置換後文字列", {450, 150, 3375, 225}, Font::PGothic9},
    {u"Label2", u"→", {1950, 525, 225, 300}, Font::PGothic9},
    {u"Label3", u"→", {1950, 900, 225, 300}, Font::PGothic9},
    {u"Label4", u"→", {1950, 1275, 225, 300}, Font::PGothic9},
}};
inline constexpr std::size_t kTextBoxes = 6;

// Where kWindowControls' page controls start: Dir1 .. Check5.
inline constexpr std::size_t kFirstPageControl = Folders;

// Focus moves through MultiPage1, the first page's text boxes, then the window's controls.
inline constexpr std::array<std::u16string_view, 16> kTabOrder{
    u"MultiPage1", u"TextBox1", u"TextBox2", u"TextBox3", u"TextBox4", u"TextBox5",
    u"TextBox6",   u"Dir1",     u"Drive1",   u"Option1",  u"Option2",  u"Check1",
    u"Check2",     u"Check3",   u"Check4",   u"Check5"};

}  // namespace quorvane::form
