#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <tuple>

#include "page_rows.h"
#include "qt/application_setup.h"
#include "ui_test_support.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

// The controls that come and go with the page and the option chosen.
constexpr const char* kPageControls[] = {"Dir1",   "Drive1", "Option1", "Option2", "Check1",
                                         "Check2", "Check3", "Check4",  "Check5"};

class MainWindowTest : public ::testing::Test, public WindowFixture {
  protected:
    void SetUp() override { open(); }
};

TEST_F(MainWindowTest, StartsOnTheFirstPageWithCopyingChosenAndEveryCheckSet) {
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

    const run::RunRequest request = form->runRequest();
    EXPECT_EQ(request.mode, run::RunRequest::Mode::CopyFirst);
    EXPECT_TRUE(request.regions.body && request.regions.textBoxes &&
                request.regions.headersAndFooters && request.matchCase &&
                request.distinguishWidths);
    EXPECT_EQ(request.destinationFolder, os::fromNativePath(fs::current_path()));
}

TEST_F(MainWindowTest, TabOrderRunsThroughThePairsThenTheWindowControls) {
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

TEST_F(MainWindowTest, ThePairBoxesMakeThePairsInOrderAsTyped) {
    for (int box = 1; box <= 6; ++box)
        control<QLineEdit>(("TextBox" + std::to_string(box)).c_str())
            ->setText(QString(" t%1 ").arg(box));
    // A long passage is kept whole, past the line edit's usual limit of 32,767.
    control<QLineEdit>("TextBox2")->setText(QString(40000, QChar(u'字')));
    const run::RunRequest request = form->runRequest();
    EXPECT_EQ(request.pairs[0].find, u" t1 ");
    EXPECT_EQ(request.pairs[0].replacement.size(), 40000u);
    for (int i : {1, 2}) {
        EXPECT_EQ(request.pairs[i].find, QString(" t%1 ").arg(2 * i + 1).toStdU16String());
        EXPECT_EQ(request.pairs[i].replacement, QString(" t%1 ").arg(2 * i + 2).toStdU16String());
    }
}

class PageRuleTest : public MainWindowTest, public ::testing::WithParamInterface<PageRow> {};

TEST_P(PageRuleTest, ShowsExactlyTheControlsOfTheSelectedPage) {
    const auto& [page, copying, shown] = GetParam();
    // Reach the page from a different one, so the change notification really runs.
    multiPage1()->setCurrentIndex(page == 1 ? 2 : 1);
    QTest::mouseClick(option(copying ? 1 : 2), Qt::LeftButton);
    multiPage1()->setCurrentIndex(page);

    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(control(kPageControls[i])->isVisible(), shown[i]) << kPageControls[i];
    EXPECT_EQ(form->runRequest().mode,
              copying ? run::RunRequest::Mode::CopyFirst : run::RunRequest::Mode::EditOriginals);
}

INSTANTIATE_TEST_SUITE_P(AllPages, PageRuleTest, kPageRows, pageRowName);

TEST_F(MainWindowTest, ValuesSurvivePageChanges) {
    multiPage1()->setCurrentIndex(2);
    QTest::mouseClick(control("Check4"), Qt::LeftButton);
    control<QLineEdit>("TextBox1")->setText("a");
    multiPage1()->setCurrentIndex(0);
    multiPage1()->setCurrentIndex(2);
    EXPECT_FALSE(form->runRequest().matchCase);
    EXPECT_TRUE(form->runRequest().distinguishWidths);
    EXPECT_EQ(form->runRequest().pairs[0].find, u"a");
}

// The drive list over two volumes of the test's own, one of which may not be readable.
class DriveTest : public ::testing::Test, public WindowFixture {
  protected:
    void SetUp() override {
        for (const char* sub : {"a/sub/deeper", "b/x", "b/y"})
            fs::create_directories(dir.path() / sub);
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
    EXPECT_EQ(form->runRequest().destinationFolder, dir / "b");
    EXPECT_EQ(entries().mid(entries().size() - 2), (QStringList{"x", "y"}));
    EXPECT_TRUE(messages.shown.empty());

    choose(0);
    EXPECT_EQ(form->runRequest().destinationFolder, dir / "a/sub");
}

TEST_F(DriveTest, AnUnreadableDriveIsRefusedAndBothListsStayUsable) {
    fs::remove_all(dir.path() / "b");
    choose(1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].flags, os::MessageBox::kExclamation);
    EXPECT_NE(messages.shown[0].text.find(u"読み取れません"), std::u16string::npos);
    EXPECT_EQ(drive1()->currentIndex(), 0);
    EXPECT_EQ(form->runRequest().destinationFolder, dir / "a");
    EXPECT_TRUE(drive1()->isEnabled() && dir1()->isEnabled());

    // Still usable: a sub-folder that vanished after it was listed is refused the same way.
    fs::remove_all(dir.path() / "a/sub");
    doubleClick("sub");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(form->runRequest().destinationFolder, dir / "a");
}

TEST(FontTest, TheWindowFontsResolveToJapaneseFontsThatHaveTheGlyphs) {
    const QStringList families = QFontDatabase::families();
    if (!families.contains("IPAGothic") || !families.contains("IPAPGothic"))
        GTEST_SKIP() << "fonts-ipafont-gothic is not installed";
    EXPECT_EQ(QFontInfo(QFont(qt::kGothic)).family(), "IPAGothic");
    EXPECT_EQ(QFontInfo(QFont(qt::kPGothic)).family(), "IPAPGothic");
    const QFontMetrics metrics{QFont(qt::kGothic)};
    for (const QChar c : QStringLiteral("置換ﾌｧｲﾙ→ドラッグ"))
        EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
}

}  // namespace
}  // namespace quorvane::test
