#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <stdexcept>
#include <tuple>

#include "ui/application_setup.h"
#include "ui_test_support.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

class Form1Test : public ::testing::Test, public WindowFixture {
  protected:
    void SetUp() override { open(); }
};

TEST_F(Form1Test, StartsOnTheFirstPageWithCopyingChosenAndEveryCheckSet) {
    EXPECT_EQ(form->windowTitle(), "Quorvane");
    EXPECT_EQ(form->size(), QSize(302, 317));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);

    EXPECT_EQ(multiPage1()->currentIndex(), 0);
    EXPECT_EQ(multiPage1()->tabPosition(), QTabWidget::South);
    EXPECT_EQ(multiPage1()->tabText(1), "ファイルの取扱");
    EXPECT_TRUE(control("Image1")->isVisible());
    EXPECT_EQ(control("Image1")->geometry(), QRect(10, 10, 283, 130));
    EXPECT_EQ(control("TextBox6")->geometry(), QRect(155, 80, 100, 20));
    EXPECT_EQ(control("Check5")->geometry(), QRect(27, 256, 156, 21));
    EXPECT_EQ(control<QLabel>("Label1")->text(), "置換前文字列　　　　　　　置換後文字列");
    EXPECT_EQ(option(1)->text(), "元ﾌｧｲﾙをｺﾋﾟｰして置換(格納ﾌｫﾙﾀﾞｰ指定要)");

    for (const char* name : {"Dir1", "Drive1", "Option1", "Option2", "Check1", "Check2", "Check3",
                             "Check4", "Check5"}) {
        EXPECT_FALSE(control(name)->isVisible()) << name;
    }
    EXPECT_EQ(form->option1Value(), -1);
    EXPECT_EQ(form->option2Value(), 0);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(form->checkValue(n), 1);
    EXPECT_EQ(form->dir1Path(), os::fromNativePath(fs::current_path()));
    EXPECT_EQ(form->pageControlText(u"Page1", u"Textbox1"), u"");
}

TEST_F(Form1Test, TabOrderRunsThroughThePairsThenTheWindowControls) {
    const QStringList expected{"TextBox1", "TextBox2", "TextBox3", "TextBox4", "TextBox5",
                               "TextBox6", "Dir1",     "Drive1",   "Option1",  "Option2",
                               "Check1",   "Check2",   "Check3",   "Check4",   "Check5"};
    QStringList order;
    QWidget* widget = control("TextBox1");
    do {
        if (expected.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != control("TextBox1"));
    EXPECT_EQ(order, expected);
}

TEST_F(Form1Test, ReadsPageControlsByNameWhateverTheirCase) {
    control<QLineEdit>("TextBox3")->setText("探す");
    EXPECT_EQ(form->pageControlText(u"page1", u"TEXTBOX3"), u"探す");
    EXPECT_EQ(form->pageControlText(u"Page1", u"label2"), u"→");
    // A long passage is kept whole, past the line edit's usual limit of 32,767.
    control<QLineEdit>("TextBox2")->setText(QString(40000, QChar(u'字')));
    EXPECT_EQ(form->pageControlText(u"Page1", u"TextBox2").size(), 40000u);
    EXPECT_THROW(form->pageControlText(u"Page2", u"TextBox3"), std::out_of_range);
    EXPECT_THROW(form->pageControlText(u"Page1", u"TextBox7"), std::out_of_range);
    EXPECT_THROW(form->checkValue(6), std::out_of_range);
}

// page, Option1 chosen, then visibility of Dir1 Drive1 Option1 Option2 Check1..Check5.
using PageRow = std::tuple<int, bool, std::array<bool, 9>>;

class PageRuleTest : public Form1Test, public ::testing::WithParamInterface<PageRow> {};

TEST_P(PageRuleTest, ShowsExactlyTheControlsOfTheSelectedPage) {
    const auto& [page, copying, shown] = GetParam();
    // Reach the page from a different one, so the change notification really runs.
    multiPage1()->setCurrentIndex(page == 1 ? 2 : 1);
    QTest::mouseClick(option(copying ? 1 : 2), Qt::LeftButton);
    multiPage1()->setCurrentIndex(page);

    const char* names[] = {"Dir1",   "Drive1", "Option1", "Option2", "Check1",
                           "Check2", "Check3", "Check4",  "Check5"};
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(control(names[i])->isVisible(), shown[i]) << names[i];
    EXPECT_EQ(form->option1Value(), copying ? -1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    AllPages, PageRuleTest,
    ::testing::Values(
        PageRow{0, true, {false, false, false, false, false, false, false, false, false}},
        PageRow{0, false, {false, false, false, false, false, false, false, false, false}},
        PageRow{1, true, {true, true, true, true, false, false, false, false, false}},
        PageRow{1, false, {false, false, true, true, false, false, false, false, false}},
        PageRow{2, true, {false, false, false, false, true, true, true, true, true}},
        PageRow{2, false, {false, false, false, false, true, true, true, true, true}}),
    [](const ::testing::TestParamInfo<PageRow>& info) {
        return "Page" + std::to_string(std::get<0>(info.param)) +
               (std::get<1>(info.param) ? "Copying" : "InPlace");
    });

TEST_F(Form1Test, OptionClicksShowAndHideTheListsAndValuesSurvivePageChanges) {
    multiPage1()->setCurrentIndex(1);
    QTest::mouseClick(option(2), Qt::LeftButton);
    EXPECT_EQ(form->option1Value(), 0);
    EXPECT_EQ(form->option2Value(), -1);
    EXPECT_FALSE(dir1()->isVisible());
    EXPECT_FALSE(drive1()->isVisible());

    QTest::mouseClick(option(1), Qt::LeftButton);
    EXPECT_EQ(form->option1Value(), -1);
    EXPECT_EQ(form->option2Value(), 0);
    EXPECT_TRUE(dir1()->isVisible());
    EXPECT_TRUE(drive1()->isVisible());

    multiPage1()->setCurrentIndex(2);
    QTest::mouseClick(control("Check4"), Qt::LeftButton);
    control<QLineEdit>("TextBox1")->setText("a");
    multiPage1()->setCurrentIndex(0);
    multiPage1()->setCurrentIndex(2);
    EXPECT_EQ(form->checkValue(4), 0);
    EXPECT_EQ(form->checkValue(5), 1);
    EXPECT_EQ(form->pageControlText(u"Page1", u"TextBox1"), u"a");
}

// The drive list over two volumes of the test's own, one of which may not be readable.
class DriveTest : public ::testing::Test, public WindowFixture {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "a/sub/deeper");
        fs::create_directories(dir.path() / "b/x");
        fs::create_directories(dir.path() / "b/y");
        volumes.list = {{"A", dir.path() / "a"}, {"B", dir.path() / "b"}};
        open();
        dir1()->setPath(dir.path() / "a");
        drive1()->selectDriveOf(dir.path() / "a");
        multiPage1()->setCurrentIndex(1);
    }
    void choose(int index) {
        drive1()->setCurrentIndex(index);
        emit drive1()->activated(index);
    }
    QStringList entries() const {
        QStringList names;
        for (int i = 0; i < dir1()->count(); ++i)
            names << dir1()->item(i)->text();
        return names;
    }
    void doubleClick(const QString& name) {
        QCoreApplication::processEvents();  // the list lays its items out lazily
        const auto items = dir1()->findItems(name, Qt::MatchEndsWith);
        ASSERT_EQ(items.size(), 1);
        const QRect rect = dir1()->visualItemRect(items[0]);
        // The second press of a real double-click comes before the double-click itself.
        QTest::mousePress(dir1()->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(dir1()->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

TEST_F(DriveTest, ChoosingADrivePointsTheFolderListAtItAndComingBackReturnsToTheFolder) {
    EXPECT_EQ(drive1()->currentText(),
              QString::fromStdString((dir.path() / "a").string()) + " [A]");
    doubleClick("sub");
    EXPECT_EQ(dir1()->path(), dir.path() / "a/sub");
    EXPECT_EQ(entries().back(), "deeper");
    EXPECT_EQ(dir1()->currentItem()->text(), "sub");

    choose(1);
    EXPECT_EQ(form->dir1Path(), dir / "b");
    EXPECT_EQ(entries().mid(entries().size() - 2), (QStringList{"x", "y"}));
    EXPECT_TRUE(messages.shown.empty());

    choose(0);
    EXPECT_EQ(form->dir1Path(), dir / "a/sub");
}

TEST_F(DriveTest, AnUnreadableDriveIsRefusedAndBothListsStayUsable) {
    fs::remove_all(dir.path() / "b");
    choose(1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].flags, os::MessageBox::kExclamation);
    EXPECT_NE(messages.shown[0].text.find(u"読み取れません"), std::u16string::npos);
    EXPECT_EQ(drive1()->currentIndex(), 0);
    EXPECT_EQ(form->dir1Path(), dir / "a");
    EXPECT_TRUE(drive1()->isEnabled() && dir1()->isEnabled());

    // Still usable: a sub-folder that vanished after it was listed is refused the same way.
    fs::remove_all(dir.path() / "a/sub");
    doubleClick("sub");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(form->dir1Path(), dir / "a");
}

TEST(FontTest, TheWindowFontsResolveToJapaneseFontsThatHaveTheGlyphs) {
    const QStringList families = QFontDatabase::families();
    if (!families.contains("IPAGothic") || !families.contains("IPAPGothic")) {
        GTEST_SKIP() << "fonts-ipafont-gothic is not installed";
    }
    EXPECT_EQ(QFontInfo(QFont(ui::kGothic)).family(), "IPAGothic");
    EXPECT_EQ(QFontInfo(QFont(ui::kPGothic)).family(), "IPAPGothic");
    const QFontMetrics metrics{QFont(ui::kGothic)};
    for (const QChar c : QStringLiteral("置換ﾌｧｲﾙ→ドラッグ"))
        EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
}

}  // namespace
}  // namespace quorvane::test
