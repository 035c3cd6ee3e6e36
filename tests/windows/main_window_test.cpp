#include <string>
#include <tuple>

#include "form/layout.h"
#include "form/window_rules.h"
#include "page_rows.h"
#include "window_test_support.h"

namespace quorvane::test {
namespace {

std::u16string textOf(HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return {text, text + wcslen(text)};
}

RECT inClient(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class MainWindowTest : public WindowFixture {
  protected:
    void SetUp() override { open(word); }
    automation::fake::FakeWordProcessor word;
};

TEST_F(MainWindowTest, StartsOnTheFirstPageWithCopyingChosenAndEveryCheckSet) {
    EXPECT_EQ(textOf(form->handle()), u"Quorvane");
    EXPECT_EQ(SendMessageW(at(u"MultiPage1"), TCM_GETCURSEL, 0, 0), 0);
    for (std::size_t i = 0; i < form::kPageCaptions.size(); ++i) {
        wchar_t caption[32] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 32;
        SendMessageW(at(u"MultiPage1"), TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(std::u16string(caption, caption + wcslen(caption)), form::kPageCaptions[i]);
    }
    for (const auto& control : form::kWindowControls) {
        EXPECT_EQ(shown(control.name), control.name == u"Image1" || control.name == u"MultiPage1")
            << std::string(control.name.begin(), control.name.end());
    }
    for (const auto& control : form::kPage1Controls)
        EXPECT_TRUE(shown(control.name));
    EXPECT_TRUE(checked(u"Option1"));
    EXPECT_FALSE(checked(u"Option2"));
    const run::RunRequest request = form->runRequest();
    EXPECT_EQ(request.mode, run::RunRequest::Mode::CopyFirst);
    EXPECT_TRUE(request.regions.body && request.regions.textBoxes &&
                request.regions.headersAndFooters);
    EXPECT_TRUE(request.matchCase && request.distinguishWidths);
}

class GeometryTest : public MainWindowTest, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override { open(word, GetParam()); }
};

TEST_P(GeometryTest, EveryControlLiesWhereItsTwipsSayAtTheWindowsResolution) {
    const int dpi = GetParam();
    auto px = [dpi](int twips) { return form::pixels(twips, dpi); };
    RECT client;
    GetClientRect(form->handle(), &client);
    EXPECT_EQ(client.right, px(form::kClientWidth));
    EXPECT_EQ(client.bottom, px(form::kClientHeight));
    // The first page's controls keep their places relative to the page, which lies inside
    // MultiPage1. Captions, shown as they stand, may only make their controls wider, to the right.
    const RECT first = inClient(at(u"TextBox1"));
    const POINT page{first.left - px(300), first.top - px(450)};
    const RECT multiPage = inClient(at(u"MultiPage1"));
    EXPECT_TRUE(PtInRect(&multiPage, page));
    auto placed = [&](const form::ControlLayout& control, POINT origin) {
        const RECT r = inClient(at(control.name));
        const std::string name(control.name.begin(), control.name.end());
        EXPECT_EQ(r.left - origin.x, px(control.twips.left)) << name;
        EXPECT_EQ(r.top - origin.y, px(control.twips.top)) << name;
        EXPECT_EQ(r.bottom - r.top, px(control.twips.height)) << name;
        if (control.caption.empty()) {
            EXPECT_EQ(r.right - r.left, px(control.twips.width)) << name;
        } else {
            EXPECT_GE(r.right - r.left, px(control.twips.width)) << name;
            EXPECT_EQ(textOf(at(control.name)), control.caption) << name;
        }
    };
    for (const auto& control : form::kWindowControls)
        placed(control, {0, 0});
    for (const auto& control : form::kPage1Controls)
        placed(control, page);
}

INSTANTIATE_TEST_SUITE_P(At96And144Dpi, GeometryTest, ::testing::Values(96, 144));

TEST_F(MainWindowTest, TabGoesThroughTheShownControlsInTheWindowsOrder) {
    auto tabs = [this](int page, std::size_t presses) {
        selectPage(page);
        SetFocus(at(u"MultiPage1"));
        std::vector<std::u16string> visited;
        for (std::size_t i = 0; i < presses; ++i) {
            const MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
            EXPECT_TRUE(form->preTranslate(tab));
            for (const auto& name : form::kTabOrder) {
                if (at(name) == GetFocus())
                    visited.emplace_back(name);
            }
        }
        return visited;
    };
    EXPECT_EQ(tabs(0, 7),
              (std::vector<std::u16string>{u"TextBox1", u"TextBox2", u"TextBox3", u"TextBox4",
                                           u"TextBox5", u"TextBox6", u"MultiPage1"}));
    EXPECT_EQ(tabs(1, 5), (std::vector<std::u16string>{u"Dir1", u"Drive1", u"Option1", u"Option2",
                                                       u"MultiPage1"}));
    EXPECT_EQ(tabs(2, 2), (std::vector<std::u16string>{u"Check1", u"Check2"}));
}

class PageRuleTest : public MainWindowTest, public ::testing::WithParamInterface<PageRow> {};

TEST_P(PageRuleTest, ShowsExactlyTheControlsOfTheSelectedPage) {
    const auto& [page, copying, visible] = GetParam();
    // Reach the page from a different one, so the change notification really runs.
    selectPage(1);
    click(copying ? u"Option1" : u"Option2");
    selectPage(page == 2 ? 0 : 2);
    selectPage(page);
    for (std::size_t i = 0; i < visible.size(); ++i) {
        const auto name = form::kWindowControls[form::kFirstPageControl + i].name;
        EXPECT_EQ(shown(name), visible[i]) << std::string(name.begin(), name.end());
    }
    EXPECT_EQ(shown(u"TextBox1"), page == 0);
    EXPECT_EQ(form->runRequest().mode,
              copying ? run::RunRequest::Mode::CopyFirst : run::RunRequest::Mode::EditOriginals);
}

INSTANTIATE_TEST_SUITE_P(AllPages, PageRuleTest, kPageRows, pageRowName);

TEST_F(MainWindowTest, OptionsExcludeEachOtherAndValuesSurvivePageChanges) {
    selectPage(1);
    click(u"Option2");
    EXPECT_FALSE(checked(u"Option1"));
    click(u"Option1");
    EXPECT_FALSE(checked(u"Option2"));

    selectPage(2);
    click(u"Check4");
    type(u"TextBox2", u"「新」");
    selectPage(0);
    selectPage(2);
    EXPECT_FALSE(checked(u"Check4"));
    EXPECT_FALSE(form->runRequest().matchCase);
    EXPECT_EQ(form->runRequest().pairs[0].replacement, u"「新」");
}

}  // namespace
}  // namespace quorvane::test
