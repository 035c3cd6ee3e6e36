#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "form/window_rules.h"
#include "ui_test_support.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;
using automation::fake::FakeDocument;

QUrl urlOf(const std::u16string& path) {
    return QUrl::fromLocalFile(QString::fromStdU16String(path));
}

std::unique_ptr<QMimeData> fileList(const QList<QUrl>& urls) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

// Lets a test look at the window while a run is inside the word processor.
class WatchedFactory final : public automation::ObjectFactory {
  public:
    explicit WatchedFactory(ObjectFactory& inner) : inner_(inner) {}
    automation::Variant create(std::u16string_view className) override {
        watch();
        return inner_.create(className);
    }
    std::function<void()> watch = [] {};

  private:
    ObjectFactory& inner_;
};

class DropTest : public ::testing::Test, public WindowFixture {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "folder");
        for (const char* name : {"a.doc", "b.doc", "folder/c.doc"})
            writeDocument(dir / name, u"foo");
        open(watched);
        control<QLineEdit>("TextBox1")->setText("foo");
        control<QLineEdit>("TextBox2")->setText("X");
        // Edit the originals: no destination needed, and each run asks first.
        QTest::mouseClick(multiPage1()->tabBar(), Qt::LeftButton, {},
                          multiPage1()->tabBar()->tabRect(1).center());
        QTest::mouseClick(option(2), Qt::LeftButton);
    }
    void TearDown() override { form.reset(); }  // before the factory it was made with

    // Sends a drag over the drop area and says whether it was taken, and as what.
    std::pair<bool, Qt::DropAction> dragOver(const QMimeData& data, Qt::DropActions allowed) {
        QWidget* image = control("Image1");
        QDragEnterEvent enter(QPoint(5, 5), allowed, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(image, &enter);
        QDragMoveEvent move(QPoint(6, 6), allowed, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(image, &move);
        EXPECT_EQ(enter.isAccepted(), move.isAccepted());
        return {move.isAccepted(), move.dropAction()};
    }

    // A drop and, unless told otherwise, the runs it starts.
    bool drop(const QMimeData& data, bool runs = true) {
        dragOver(data, Qt::CopyAction | Qt::MoveAction);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(control("Image1"), &event);
        if (runs)
            QCoreApplication::processEvents();
        return event.isAccepted();
    }

    std::vector<std::u16string> opened() const {
        std::vector<std::u16string> paths;
        for (const auto& line : word.logLines(u"call documents.Open(STR \""))
            paths.push_back(line.substr(25, line.size() - 27));
        return paths;
    }

    // What the test does as each run starts its word processor: watched.watch.
    WatchedFactory watched{word};
};

TEST_F(DropTest, OnlyAFileListThatMayBeCopiedIsAccepted) {
    const auto files = fileList({urlOf(dir / "a.doc"), urlOf(dir / "folder")});
    EXPECT_EQ(dragOver(*files, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction),
              std::make_pair(true, Qt::CopyAction));
    EXPECT_FALSE(dragOver(*files, Qt::MoveAction | Qt::LinkAction).first);

    QMimeData text;
    text.setText("foo");
    EXPECT_FALSE(dragOver(text, Qt::CopyAction).first);
    EXPECT_FALSE(drop(text));

    const auto remote = fileList({QUrl("https://example.com/a.doc")});
    EXPECT_FALSE(dragOver(*remote, Qt::CopyAction).first);
    EXPECT_FALSE(drop(*remote));
    EXPECT_TRUE(word.log().empty());
}

// The drop returns before its runs start; they then follow one per path in the order of the list
// (a remote URL skipped, a folder passed as a folder, a path twice run twice), each asking first,
// with the window busy meanwhile: a wait cursor, the progress line, no other drop or click taken.
TEST_F(DropTest, TheDropReturnsAndItsPathsThenRunInOrderOneRunEachWithTheWindowBusy) {
    int waiting = 0;
    bool progress = false;
    watched.watch = [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        waiting += cursor && cursor->shape() == Qt::WaitCursor;
        for (const QDialog* dialog : form->findChildren<QDialog*>())
            progress = progress || dialog->isVisible();
        QTest::mouseClick(option(1), Qt::LeftButton);
    };
    EXPECT_TRUE(drop(*fileList({urlOf(dir / "b.doc"), QUrl("https://example.com/x.doc"),
                                urlOf(dir / "folder"), urlOf(dir / "a.doc"), urlOf(dir / "b.doc")}),
                     false));
    EXPECT_TRUE(word.log().empty());
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_FALSE(drop(*fileList({urlOf(dir / "folder")}), false));

    QCoreApplication::processEvents();
    EXPECT_EQ(opened(), (std::vector<std::u16string>{dir / "b.doc", dir / "folder/c.doc",
                                                     dir / "a.doc", dir / "b.doc"}));
    EXPECT_EQ(waiting, 4);
    EXPECT_TRUE(progress);
    EXPECT_EQ(word.runningApplications(), 0);
    // Every run asked: Option2 stayed chosen.
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(messages.shown[0].text, run::RunDriver::kConfirmText);
    EXPECT_EQ(form->runRequest().mode, run::RunRequest::Mode::EditOriginals);
    EXPECT_EQ(FakeDocument::load(dir / "a.doc")->body, u"「X」");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    for (const QDialog* dialog : form->findChildren<QDialog*>())
        EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DropTest, ANameThatIsNotUtf8ReachesTheRunUnchanged) {
    const std::string raw = "\xff\xfe.doc";
    const std::u16string path = os::fromNativePath(dir.path() / raw);
    writeDocument(path, u"foo");
    const auto files = fileList({QUrl::fromEncoded(
        QUrl::fromLocalFile(QString::fromStdString(dir.path().string())).toEncoded() +
        "/%FF%FE.doc")});
    EXPECT_TRUE(drop(*files));
    EXPECT_EQ(opened(), std::vector<std::u16string>{path});
    EXPECT_EQ(FakeDocument::load(path)->body, u"「X」");
}

// An error that ends a run is shown after the documents that failed before it in that run, and
// the rest of the drop is not run.
TEST_F(DropTest, AnErrorEndsTheDropAfterTheFailuresBeforeItAreListed) {
    writeFile(dir.path() / "folder" / "junk", "x");
    word.failMember(u"Quit");  // the office is gone by the end of the run
    drop(*fileList({urlOf(dir / "folder"), urlOf(dir / "a.doc")}));

    EXPECT_EQ(opened().back(), dir / "folder/c.doc");
    ASSERT_EQ(messages.shown.size(), 3u);  // the confirmation, the report, the error
    EXPECT_NE(messages.shown[1].text.find(u"junk"), std::u16string::npos);
    const auto& error = messages.shown[2];
    EXPECT_EQ(error.title, u"Quorvane");
    EXPECT_EQ(error.flags, os::MessageBox::kCritical);
    EXPECT_NE(error.text.find(dir / "folder"), std::u16string::npos);
}

// After a run the documents that could not be opened are listed, a long list cut short, and
// notices apart after them; documents processed with nothing to tell are not listed.
TEST_F(DropTest, TheReportListsFailuresAndThenNotices) {
    word.noticeOnSave(u"Word 97-2003 形式で保存しました");
    drop(*fileList({urlOf(dir / "a.doc")}));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].title, u"Quorvane");
    EXPECT_EQ(messages.shown[1].flags, os::MessageBox::kInformation);
    EXPECT_EQ(messages.shown[1].text.find(u"置換されていません"), std::u16string::npos);
    EXPECT_NE(messages.shown[1].text.find(u"お知らせがあります（1 件）"), std::u16string::npos);

    for (int i = 0; i < 22; ++i)
        writeFile(dir.path() / "folder" / ("junk" + std::to_string(i)), "x");
    writeDocument(dir / "folder/d.doc", u"bar");
    drop(*fileList({urlOf(dir / "folder")}));
    ASSERT_EQ(messages.shown.size(), 4u);
    const std::u16string& both = messages.shown[3].text;
    EXPECT_EQ(messages.shown[3].flags, os::MessageBox::kExclamation);
    const auto failures = both.find(u"置換されていません（22 件）");
    const auto notices = both.find(u"お知らせがあります（1 件）");
    ASSERT_NE(notices, std::u16string::npos);
    EXPECT_LT(failures, both.find(u"junk"));
    EXPECT_NE(both.find(u"開けませんでした"), std::u16string::npos);
    EXPECT_LT(both.find(u"ほか 2 件"), notices);
    EXPECT_LT(notices, both.find(u"c.doc"));
    EXPECT_EQ(both.find(u"d.doc"), std::u16string::npos);
}

// The document at hand is finished, the rest of the drop is not run, and the user is told.
TEST_F(DropTest, ACloseMidRunEndsTheDropBeforeTheNextDocumentAndThenClosesTheWindow) {
    watched.watch = [&] { form->close(); };
    drop(*fileList({urlOf(dir / "a.doc"), urlOf(dir / "b.doc")}));
    EXPECT_TRUE(opened().empty());
    ASSERT_EQ(messages.shown.size(), 2u);  // the confirmation, then why the drop ended
    EXPECT_TRUE(messages.shown[1].text.ends_with(form::kClosedMidRun));
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace quorvane::test
