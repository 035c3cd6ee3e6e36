#include "cli/batch_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "automation/fake/fake_word_processor.h"
#include "os/file_system.h"
#include "os/log.h"

namespace quorvane::cli {
namespace {

namespace fs = std::filesystem;
using automation::fake::FakeDocument;
using automation::fake::FakeWordProcessor;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

class BatchCommandTest : public testing::Test {
  protected:
    BatchCommandTest() {
        std::random_device rd;
        root_ = fs::temp_directory_path() /
                ("quorvane-cli-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(root_ / "in");
        fs::create_directories(root_ / "out");
    }
    ~BatchCommandTest() override { fs::remove_all(root_); }

    // A fake document whose body, text box and header each say text.
    void document(const std::string& relative, const std::u16string& text) {
        FakeDocument doc;
        doc.body = text;
        doc.shapes.push_back({text});
        doc.sections.push_back({{text}, {}});
        doc.save(os::fromNativePath(root_ / relative));
    }
    FakeDocument load(const std::string& relative) const {
        return FakeDocument::load(os::fromNativePath(root_ / relative)).value();
    }

    int run(const std::vector<std::string>& args) {
        Console console{
            input,        out,     err, inputIsTerminal, errorIsTerminal, os::fromNativePath(root_),
            &interrupted, startLog};
        return BatchCommand(office, console).run(args);
    }

    fs::path root_;
    FakeWordProcessor office;
    std::istringstream input;
    std::ostringstream out;
    std::ostringstream err;
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
    volatile std::sig_atomic_t interrupted = 0;
    std::function<void(bool)> startLog;
};

TEST_F(BatchCommandTest, CopiesOfAFolderAreReplacedAndTheOriginalsKept) {
    document("in/a.doc", u"foo Foo");
    document("in/b.doc", u"bar");
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "--pair", "bar", "Y", "in/"}), 0);
    EXPECT_EQ(load("out/in/a.doc").body, u"「X」 Foo");
    // Only the body search tells letter case apart, as in the window.
    EXPECT_EQ(load("out/in/a.doc").shapes[0].text, u"「X」 「X」");
    EXPECT_EQ(load("out/in/b.doc").sections[0].headers[0], u"「Y」");
    EXPECT_EQ(load("in/a.doc").body, u"foo Foo");
    EXPECT_THAT(out.str(), IsEmpty());
    EXPECT_THAT(err.str(), IsEmpty());
    EXPECT_EQ(office.runningApplications(), 0);
}

TEST_F(BatchCommandTest, RegionsAndCaseReachTheWordProcessor) {
    document("in/a.doc", u"foo Foo");
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "--regions", "body", "--ignore-case",
                   "in/a.doc"}),
              0);
    const FakeDocument copy = load("out/a.doc");
    EXPECT_EQ(copy.body, u"「X」 「X」");
    EXPECT_EQ(copy.shapes[0].text, u"foo Foo");
    EXPECT_EQ(copy.sections[0].headers[0], u"foo Foo");
}

TEST_F(BatchCommandTest, ADocumentThatDoesNotOpenIsReportedAndTheRestProcessed) {
    document("in/good.doc", u"foo");
    std::ofstream(root_ / "in/notes.txt") << "plain text\n";
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "in"}), 1);
    EXPECT_EQ(load("out/in/good.doc").body, u"「X」");
    EXPECT_EQ(out.str(),
              (root_ / "out/in/notes.txt").native() + "\t開けませんでした：文書として開けません\n");
}

TEST_F(BatchCommandTest, NoticesGoToTheErrorStreamMarkedAndDoNotCountAsFailures) {
    document("in/a.doc", u"foo");
    document("in/b.doc", u"bar");  // nothing replaced, nothing saved, nothing to tell
    std::ofstream(root_ / "in/notes.txt") << "plain text\n";
    office.noticeOnSave(u"Word 97-2003 形式で保存しました");
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "in/a.doc", "in/b.doc"}), 0);
    EXPECT_THAT(out.str(), IsEmpty());
    EXPECT_EQ(err.str(), "お知らせ：" + (root_ / "out/a.doc").native() +
                             "：Word 97-2003 形式で保存しました\n");

    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "in"}), 1);
    const std::string report = out.str();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_THAT(report, HasSubstr("notes.txt\t"));
}

TEST_F(BatchCommandTest, TheLogStartsOnceTheCommandLineIsGoodAndEchoesWhenVerbose) {
    std::vector<bool> echoes;
    startLog = [&](bool echo) { echoes.push_back(echo); };
    document("a.doc", u"foo");
    EXPECT_EQ(run({"--copy-to", "out", "--verbose"}), 2);
    EXPECT_EQ(run({"--copy-to", "out", "--verbose", "a.doc"}), 0);
    EXPECT_EQ(run({"--copy-to", "out", "a.doc"}), 0);
    EXPECT_THAT(echoes, ElementsAre(true, false));
}

TEST_F(BatchCommandTest, AFailedCopyEndsThatRunButNotTheNextPath) {
    document("in/a.doc", u"foo");
    document("b.doc", u"foo");
    EXPECT_EQ(run({"--copy-to", "missing", "--pair", "foo", "X", "in/a.doc", "b.doc"}), 3);
    EXPECT_THAT(err.str(), HasSubstr("ファイルコピー失敗"));
    EXPECT_THAT(err.str(), HasSubstr("--copy-to"));
    EXPECT_THAT(out.str(), HasSubstr((root_ / "in/a.doc").native() + "\tコピーできませんでした\n"));
    EXPECT_THAT(out.str(), HasSubstr((root_ / "b.doc").native() + "\tコピーできませんでした\n"));
    EXPECT_EQ(load("in/a.doc").body, u"foo");
    EXPECT_EQ(office.runningApplications(), 0);
}

TEST_F(BatchCommandTest, DocumentsAfterAFailedCopyInAFolderAreListed) {
    document("in/a.doc", u"foo");
    document("in/b.doc", u"foo");
    // The folder for the copies is a file: the first copy fails, the second is never tried.
    std::ofstream(root_ / "out/in") << "in the way\n";
    EXPECT_EQ(run({"--copy-to", "out", "in"}), 3);
    const std::string report = out.str();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2);
    EXPECT_THAT(report, HasSubstr("\tコピーできませんでした\n"));
    EXPECT_THAT(report, HasSubstr("\tコピーの失敗で処理が中断されました\n"));
}

TEST_F(BatchCommandTest, AnEscapedErrorStopsTheRemainingPaths) {
    document("in/a.doc", u"foo");
    EXPECT_EQ(run({"--in-place", "--yes", "--pair", "foo", "X", "nowhere", "in/a.doc"}), 3);
    EXPECT_THAT(err.str(), HasSubstr("nowhere」を処理できませんでした"));
    EXPECT_THAT(err.str(), HasSubstr("処理していません：" + (root_ / "in/a.doc").native()));
    EXPECT_EQ(load("in/a.doc").body, u"foo");
}

TEST_F(BatchCommandTest, AWordProcessorThatDoesNotStartEndsTheCommand) {
    document("in/a.doc", u"foo");
    document("b.doc", u"foo");
    office.refuseCreate(true);
    EXPECT_EQ(run({"--copy-to", "out", "in", "b.doc"}), 3);
    EXPECT_THAT(err.str(), HasSubstr("ワープロを起動できません"));
    EXPECT_THAT(err.str(), HasSubstr("処理していません：" + (root_ / "b.doc").native()));
}

// A stop is taken between documents, through the run's error path, so the office quits and no
// document is left half-written.
TEST_F(BatchCommandTest, AnInterruptStopsBeforeTheNextDocument) {
    document("in/a.doc", u"foo");
    document("b.doc", u"foo");
    interrupted = 1;
    EXPECT_EQ(run({"--in-place", "--yes", "--pair", "foo", "X", "in", "b.doc"}), 3);
    EXPECT_THAT(err.str(), HasSubstr("中断"));
    EXPECT_THAT(err.str(), HasSubstr("処理していません：" + (root_ / "b.doc").native()));
    EXPECT_EQ(load("in/a.doc").body, u"foo");
    EXPECT_EQ(office.runningApplications(), 0);
}

TEST_F(BatchCommandTest, InPlaceNeedsAnAnswerFromSomeone) {
    document("in/a.doc", u"foo");
    EXPECT_EQ(run({"--in-place", "--pair", "foo", "X", "in/a.doc"}), 2);
    EXPECT_THAT(err.str(), HasSubstr("--yes"));
    EXPECT_THAT(office.log(), IsEmpty());
    EXPECT_EQ(load("in/a.doc").body, u"foo");

    EXPECT_EQ(run({"--in-place", "--yes", "--pair", "foo", "X", "in/a.doc"}), 0);
    EXPECT_EQ(load("in/a.doc").body, u"「X」");
}

TEST_F(BatchCommandTest, TheTerminalIsAskedOncePerPath) {
    document("a.doc", u"foo");
    document("b.doc", u"foo");
    inputIsTerminal = true;
    input.str("n\nmaybe\ny\n");
    EXPECT_EQ(run({"--in-place", "--pair", "foo", "X", "a.doc", "b.doc"}), 1);
    EXPECT_EQ(load("a.doc").body, u"foo");
    EXPECT_EQ(load("b.doc").body, u"「X」");
    EXPECT_EQ(out.str(),
              (root_ / "a.doc").native() + "\t確認で「いいえ」が選ばれたため処理していません\n");
    EXPECT_THAT(err.str(), HasSubstr("続行しますか？ [y/N]"));
    EXPECT_THAT(err.str(), HasSubstr("y（はい）か n（いいえ）"));
}

TEST_F(BatchCommandTest, AnInputThatEndsWithoutAnAnswerEditsNothing) {
    document("a.doc", u"foo");
    inputIsTerminal = true;
    EXPECT_EQ(run({"--in-place", "--pair", "foo", "X", "a.doc"}), 1);
    EXPECT_EQ(load("a.doc").body, u"foo");
}

TEST_F(BatchCommandTest, ProgressIsShownOnlyToATerminal) {
    document("in/a.doc", u"foo");
    EXPECT_EQ(run({"--copy-to", "out", "in"}), 0);
    EXPECT_THAT(err.str(), IsEmpty());
    errorIsTerminal = true;
    EXPECT_EQ(run({"--copy-to", "out", "in"}), 0);
    EXPECT_EQ(err.str(), "[1/1] " + (root_ / "in/a.doc").native() + "\n");
}

TEST_F(BatchCommandTest, UsageAndHelp) {
    EXPECT_EQ(run({"--copy-to", "out", "--regions", "footnotes", "a.doc"}), 2);
    EXPECT_THAT(err.str(), HasSubstr("footnotes"));
    EXPECT_THAT(err.str(), HasSubstr("--help"));
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("使い方: quorvane-batch"));
    EXPECT_THAT(out.str(), HasSubstr(os::log::defaultFile().native()));
    EXPECT_THAT(office.log(), IsEmpty());
}

}  // namespace
}  // namespace quorvane::cli
