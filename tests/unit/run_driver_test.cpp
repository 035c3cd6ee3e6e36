#include "batch/run_driver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "batch/run_error.h"
#include "common/plain_form_state.h"
#include "test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using platform::MessageBox;
using platform::automation::fake::FakeDocument;
using platform::automation::fake::FakeWordProcessor;
using test::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

FakeDocument document(std::u16string body) {
    FakeDocument doc;
    doc.body = std::move(body);
    return doc;
}

class RunDriverTest : public ::testing::Test {
  protected:
    TempDir dir;
    PlainFormState form;
    test::ScriptedMessageBox messages;
    FakeWordProcessor word;
    RunDriver driver{form, messages, word};

    void SetUp() override {
        fs::create_directories(dir.path() / "src");
        fs::create_directories(dir.path() / "dest");
        form.dir1 = dir / "dest";
        form.textBoxes = {u"foo", u"X", u"", u"", u"", u""};
    }

    std::u16string source(const std::string& name, const std::u16string& body) {
        const auto path = dir / ("src/" + name);
        document(body).save(path);
        return path;
    }
    void editOriginals() {
        form.option1 = FormState::kNotSelected;
        form.option2 = FormState::kSelected;
    }
    std::vector<std::u16string> opened() const {
        std::vector<std::u16string> names;
        for (const auto& line : word.logLines(u"call documents.Open")) {
            const auto start = line.rfind(platform::kPathSeparator) + 1;
            names.push_back(line.substr(start, line.size() - start - 2));
        }
        return names;
    }
    long quits() const { return static_cast<long>(word.logLines(u"call app.Quit").size()); }
};

TEST_F(RunDriverTest, OneFileInPlaceMakesExactlyTheseCalls) {
    editOriginals();
    form.textBoxes = {u"foo", u"X", u"  ", u"Y", u"bar", u""};
    FakeDocument doc;
    doc.body = u"foo bar";
    doc.shapes = {{u"box foo"}, {std::nullopt}};
    doc.sections = {{{u"h1"}, {u"f1"}}, {{u"h2"}, {}}};
    const auto path = dir / "src/a.doc";
    doc.save(path);

    driver.ファイル名取得(path);

    const auto pass = [&](std::u16string find, std::u16string repl) {
        const std::u16string named =
            u"(FindText:=STR \"" + find + u"\", ReplaceWith:=STR \"" + repl + u"\", Replace:=I4 2)";
        return std::vector<std::u16string>{
            u"get app.Documents",
            u"call documents.Open(STR \"" + path + u"\")",
            u"get doc.Shapes",
            u"enum shapes",
            u"get shape 1.TextFrame",
            u"get textframe(shape 1).TextRange",
            u"get range(shape 1).Find",
            u"call find(shape 1).Execute" + named,
            u"get shape 2.TextFrame",
            u"get doc.Sections",
            u"enum sections",
            u"get section 1.Headers",
            u"enum headers 1",
            u"get header 1.1.Range",
            u"get range(header 1.1).Find",
            u"call find(header 1.1).Execute" + named,
            u"get section 1.Footers",
            u"enum footers 1",
            u"get footer 1.1.Range",
            u"get range(footer 1.1).Find",
            u"call find(footer 1.1).Execute" + named,
            u"get section 2.Headers",
            u"enum headers 2",
            u"get header 2.1.Range",
            u"get range(header 2.1).Find",
            u"call find(header 2.1).Execute" + named,
            u"get section 2.Footers",
            u"enum footers 2",
            u"get doc.Content",
            u"get range(body).Find",
            u"call find(body).Execute(STR \"" + find + u"\", ReplaceWith:=STR \"" + repl +
                u"\", MatchCase:=BOOL -1, Replace:=I4 2)",
            u"call doc.Close()",
        };
    };
    std::vector<std::u16string> expected{u"create Word.Application"};
    for (const auto& line : pass(u"foo", u"「X」"))
        expected.push_back(line);
    for (const auto& line : pass(u"bar", u"「」"))
        expected.push_back(line);
    expected.push_back(u"call app.Quit()");
    EXPECT_EQ(word.log(), expected);

    EXPECT_EQ(test::readDocument(path).body, u"「X」 「」");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              u"元ファイルを置換します（ファイルの取扱メニュー参照）。\n続行しますか？");
    EXPECT_EQ(messages.shown[0].title, u"Quorvane");
    EXPECT_EQ(messages.shown[0].flags, 36);
    EXPECT_EQ(word.runningApplications(), 0);
}

TEST_F(RunDriverTest, AnsweringNoTouchesNothing) {
    source("a.doc", u"foo");
    driver.ファイル名取得(dir / "src/a.doc");
    const auto before = driver.targetList().fileList;
    word.clearLog();

    editOriginals();
    form.textBoxes = {u"other", u"Z", u"", u"", u"", u""};
    messages.answers = {MessageBox::kNo};
    driver.ファイル名取得(dir / "src");

    EXPECT_THAT(word.log(), IsEmpty());
    EXPECT_EQ(driver.pairTexts().findText[1], u"foo");
    EXPECT_EQ(driver.targetList().fileList, before);
    EXPECT_EQ(test::readDocument(dir / "src/a.doc").body, u"foo");
}

TEST_F(RunDriverTest, CopiesAreLaidOutForAFileAndForAFolderAndEditedThere) {
    source("a.doc", u"foo");
    source("b.doc", u"foo");
    test::writeFile(dir.path() / "dest" / "a.doc", "an older copy");

    driver.ファイル名取得(dir / "src/a.doc");
    EXPECT_EQ(driver.targetList().folderFlag, TargetList::kSingleFile);
    EXPECT_EQ(driver.targetList().fileList, std::vector<std::u16string>{dir / "dest/a.doc"});
    EXPECT_EQ(test::readDocument(dir / "dest/a.doc").body, u"「X」");

    driver.ファイル名取得(dir / "src");
    const auto& targets = driver.targetList();
    EXPECT_EQ(targets.folderFlag, TargetList::kFolder);
    EXPECT_EQ(targets.fileIndex, 1);
    ASSERT_EQ(targets.fileList.size(), 3u);
    EXPECT_EQ(targets.fileList[2], u"");
    EXPECT_EQ(test::readDocument(dir / "dest/src/a.doc").body, u"「X」");
    EXPECT_EQ(test::readDocument(dir / "dest/src/b.doc").body, u"「X」");

    // The originals are untouched and no confirmation was asked.
    EXPECT_EQ(test::readDocument(dir / "src/a.doc").body, u"foo");
    EXPECT_THAT(messages.shown, IsEmpty());
    EXPECT_EQ(quits(), 2);
}

TEST_F(RunDriverTest, AFolderLosesNoFileAndReachesNoSubFolder) {
    source("a.doc", u"foo");
    source("notes.txt", u"foo");
    source("odd.xyz", u"foo");
    source(".hidden.doc", u"foo");
    fs::create_directory(dir.path() / "src" / "sub");
    document(u"foo").save(dir / "src/sub/deep.doc");
    // A folder the user cannot write to is still a folder.
    fs::permissions(dir.path() / "src", fs::perms::owner_write, fs::perm_options::remove);

    driver.ファイル名取得(dir / "src");
    fs::permissions(dir.path() / "src", fs::perms::owner_write, fs::perm_options::add);

    auto names = opened();
    std::sort(names.begin(), names.end());
    EXPECT_THAT(names, ElementsAre(u"a.doc", u"notes.txt", u"odd.xyz"));
    EXPECT_FALSE(fs::exists(dir.path() / "dest" / "src" / "sub"));
}

TEST_F(RunDriverTest, AnEmptyFolderStillStartsAndQuitsTheWordProcessor) {
    fs::create_directory(dir.path() / "src" / "empty");
    driver.ファイル名取得(dir / "src/empty");
    EXPECT_THAT(word.log(), ElementsAre(u"create Word.Application", u"call app.Quit()"));
    EXPECT_EQ(driver.targetList().fileIndex, -1);
    EXPECT_EQ(driver.targetList().fileList.size(), 1u);
    EXPECT_TRUE(fs::is_directory(dir.path() / "dest" / "empty"));
}

TEST_F(RunDriverTest, BlankPairsAreSkippedButFilesAreStillCopied) {
    source("a.doc", u"foo");
    form.textBoxes = {u"", u"X", u"   ", u"Y", u"\u3000\u3000", u"Z"};
    driver.ファイル名取得(dir / "src/a.doc");
    EXPECT_THAT(word.log(), ElementsAre(u"create Word.Application", u"call app.Quit()"));
    EXPECT_TRUE(fs::exists(dir.path() / "dest" / "a.doc"));
}

TEST_F(RunDriverTest, PairsAreUsedAsTypedInOrderOncePerDocument) {
    source("a.doc", u"a foo b");
    form.textBoxes = {u" foo ", u"", u"a", u"1", u"b", u"2"};
    driver.ファイル名取得(dir / "src/a.doc");
    EXPECT_EQ(word.logLines(u"call documents.Open").size(), 3u);
    EXPECT_EQ(word.logLines(u"call doc.Close").size(), 3u);
    EXPECT_EQ(test::readDocument(dir / "dest/a.doc").body, u"「1」「」「2」");
}

TEST_F(RunDriverTest, WidthConversionHoldsForTheRestOfTheRunOnly) {
    source("a.doc", u"ＡＢＣ");
    source("b.doc", u"ＡＢＣ");
    form.checks[4] = FormState::kUnchecked;
    form.textBoxes = {u"ＡＢＣ", u"X", u"", u"", u"", u""};
    FakeDocument withBox = document(u"ABC");
    withBox.shapes = {{u"ＡＢＣ ABC"}};
    withBox.save(dir / "src/a.doc");
    withBox.save(dir / "src/b.doc");

    const auto boxFinds = [&] {
        std::vector<std::u16string> finds;
        for (const auto& line : word.logLines(u"call find(shape 1)")) {
            const auto start = line.find(u'"') + 1;
            finds.push_back(line.substr(start, line.find(u'"', start) - start));
        }
        return finds;
    };
    driver.ファイル名取得(dir / "src");
    EXPECT_THAT(boxFinds(), ElementsAre(u"ＡＢＣ", u"ABC"));
    EXPECT_EQ(driver.pairTexts().findText[1], u"ABC");

    word.clearLog();
    driver.ファイル名取得(dir / "src");
    EXPECT_THAT(boxFinds(), ElementsAre(u"ＡＢＣ", u"ABC"));
}

TEST_F(RunDriverTest, ACopyFailureAtTheThirdOfFiveEndsTheRunWithOneNotice) {
    for (const char* name : {"1.doc", "2.doc", "3.doc", "4.doc", "5.doc"})
        source(name, u"foo");
    std::vector<std::u16string> order;
    platform::FolderListing listing(dir / "src");
    for (auto n = listing.next(); !n.empty(); n = listing.next())
        order.push_back(n);
    fs::create_directory(dir.path() / "dest" / "src");
    const fs::path blocked = platform::toNativePath(dir / "dest/src/" + order[2]);
    test::writeFile(blocked, "read-only");
    fs::permissions(blocked, fs::perms::owner_read);

    driver.ファイル名取得(dir / "src");

    EXPECT_THAT(opened(), ElementsAre(order[0], order[1]));
    EXPECT_EQ(driver.targetList().fileList[2], u"");
    for (std::size_t i : {3, 4}) {
        EXPECT_FALSE(fs::exists(platform::toNativePath(dir / "dest/src/" + order[i])));
    }
    const auto tail = std::vector<std::u16string>(word.log().end() - 3, word.log().end());
    EXPECT_THAT(
        tail, ElementsAre(u"get app.Application", u"put app.Visible = BOOL 0", u"call app.Quit()"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              u"ファイルコピー失敗：同一のファイル名があるかパスが無効。\n"
              u"ファイルの取扱メニューから別フォルダーを選択するか、または元ファイルを置換してくだ"
              u"さい。");
    EXPECT_EQ(messages.shown[0].flags, 16);
    EXPECT_EQ(word.runningApplications(), 0);

    // The next path starts afresh.
    fs::permissions(blocked, fs::perms::owner_all);
    driver.ファイル名取得(dir / "src");
    EXPECT_EQ(opened().size(), 7u);
}

TEST_F(RunDriverTest, UnprocessedDocumentsAreReportedPerRun) {
    source("good.doc", u"foo");
    test::writeFile(dir.path() / "src" / "bad.doc", "random bytes");
    driver.ファイル名取得(dir / "src");
    ASSERT_EQ(driver.report().size(), 1u);
    EXPECT_EQ(driver.report()[0].path, dir / "dest/src/bad.doc");
    EXPECT_EQ(test::readDocument(dir / "dest/src/good.doc").body, u"「X」");

    driver.ファイル名取得(dir / "src/good.doc");
    EXPECT_THAT(driver.report(), IsEmpty());
}

TEST_F(RunDriverTest, ADocumentThatGotSomePairsNamesThePairsItDidNotGet) {
    editOriginals();
    source("a.doc", u"foo bar baz");
    test::writeFile(dir.path() / "src" / "junk.doc", "not a document");
    // The fake keeps one region to a line: saving a line break leaves a file it cannot open
    // again, so a.doc takes pair 1 and then fails to open for pairs 2 and 3.
    form.textBoxes = {u"foo", u"1\n2", u"bar", u"Y", u"baz", u"Z"};
    word.noticeOnSave(u"Word 97-2003 形式で保存しました");
    driver.ファイル名取得(dir / "src");

    std::map<std::u16string, std::vector<std::u16string>> reasons;
    for (const DocumentFailure& f : driver.report())
        reasons[f.path].push_back(f.reason);
    EXPECT_THAT(reasons[dir / "src/a.doc"],
                ElementsAre(u"Word 97-2003 形式で保存しました",
                            u"開けませんでした：文書として開けません（置換 2「bar」→「Y」、"
                            u"置換 3「baz」→「Z」は適用されていません）"));
    EXPECT_THAT(reasons[dir / "src/junk.doc"],
                ElementsAre(u"開けませんでした：文書として開けません"));
}

TEST_F(RunDriverTest, EscapingErrorsNameThePathAndLeaveNoWordProcessor) {
    try {
        driver.ファイル名取得(dir / "src/gone.doc");
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.path(), dir / "src/gone.doc");
        EXPECT_THAT(e.what(), HasSubstr("gone.doc"));
        EXPECT_THAT(e.what(), HasSubstr("見つかりません"));
    }
    EXPECT_THAT(word.log(), IsEmpty());

    source("a.doc", u"foo");
    word.refuseCreate(true);
    EXPECT_THROW(driver.ファイル名取得(dir / "src/a.doc"), RunError);
    EXPECT_EQ(word.runningApplications(), 0);
}

// A form that breaks while the word processor is running, as a fault of ours would.
class BrokenCheckForm final : public FormState {
  public:
    PlainFormState plain;
    std::int16_t option1Value() const override { return plain.option1Value(); }
    std::int16_t option2Value() const override { return plain.option2Value(); }
    std::u16string dir1Path() const override { return plain.dir1Path(); }
    std::int16_t checkValue(int) const override { throw std::logic_error("broken control"); }
    std::u16string pageControlText(std::u16string_view page,
                                   std::u16string_view control) const override {
        return plain.pageControlText(page, control);
    }
};

TEST_F(RunDriverTest, NoWayOutOfARunLeavesTheWordProcessorRunning) {
    BrokenCheckForm broken;
    broken.plain = form;
    RunDriver brokenDriver{broken, messages, word};
    source("a.doc", u"foo");
    EXPECT_THROW(brokenDriver.ファイル名取得(dir / "src/a.doc"), std::logic_error);
    EXPECT_EQ(word.runningApplications(), 0);
    EXPECT_EQ(quits(), 1);
}

}  // namespace
}  // namespace quorvane
