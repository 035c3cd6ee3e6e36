#include "cli/batch_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <sstream>

#include "automation/com/word_factory.h"
#include "os/log.h"
#include "os/version.h"
#include "system_calls.h"
#include "test_support.h"

namespace quorvane::cli {
namespace {

using automation::fake::FakeDocument;
using automation::fake::FakeWordProcessor;
using testing::AllOf;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

class BatchCommandTest : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* sub : {"in", "out"})
            std::filesystem::create_directories(dir.path() / sub);
    }

    void document(const std::string& relative, const std::u16string& text) {
        test::writeDocument(dir / relative, text);
    }
    FakeDocument load(const std::string& relative) const {
        return test::readDocument(dir / relative);
    }
    std::string path(const std::string& relative) const { return (dir.path() / relative).native(); }

    int run(const std::vector<std::string>& args) {
        Console console{input,        out,      err, inputIsTerminal, errorIsTerminal, dir.str(),
                        &interrupted, startLog, {}};
        return BatchCommand(*factory, console).run(args);
    }
    // What the run said on the error stream before its summary.
    std::string errBeforeSummary() const { return err.str().substr(0, err.str().find("まとめ")); }
    std::string summary() const {
        const auto at = err.str().find("まとめ");
        return at == std::string::npos ? "" : err.str().substr(at);
    }

    test::TempDir dir;
    FakeWordProcessor office;
    // The fake driven as Word is, which counts the replacements.
    automation::com::WordFactory word{office};
    automation::ObjectFactory* factory = &office;
    std::istringstream input;
    std::ostringstream out;
    std::ostringstream err;
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
    volatile std::sig_atomic_t interrupted = 0;
    std::function<void(bool)> startLog;
};

// How regions and case reach the run is the argument parser's and the run driver's to show. The
// summary adds up the documents and the replacements, per region and per pair.
TEST_F(BatchCommandTest, CopiesOfAFolderGetEveryPairAndTheSummaryCountsThem) {
    factory = &word;
    test::writeDocument(dir / "in/a.doc", u"foo foo", {{u"foo"}});
    document("in/b.doc", u"bar");
    document("in/c.doc", u"nothing");
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "--pair", "bar", "Y", "in/"}), 0);
    EXPECT_EQ(load("out/in/a.doc").body, u"「X」 「X」");
    EXPECT_EQ(load("out/in/b.doc").body, u"「Y」");
    EXPECT_EQ(load("in/a.doc").body, u"foo foo");
    EXPECT_EQ(out.str() + errBeforeSummary(), "");
    EXPECT_THAT(
        summary(),
        AllOf(HasSubstr("文書 3 件（処理 3 件：置換あり 2 件・変更なし 1 件／処理できず 0 件）"),
              HasSubstr("\n置換した箇所 4（本文 3、テキストボックス 1、ヘッダー・フッター 0）\n"),
              HasSubstr("\n  置換 1「foo」→「X」：3（本文 2、テキストボックス 1、ヘッダー"
                        "・フッター 0）\n  置換 2「bar」→「Y」：1（本文 1、")));
    EXPECT_EQ(office.runningApplications(), 0);
}

// Notices go to the error stream, marked, and do not count as failures (documents not processed
// are listed on the output: the test of names in the report shows it).
TEST_F(BatchCommandTest, NoticesAreToldApartFromFailures) {
    document("in/a.doc", u"foo");
    document("in/b.doc", u"bar");  // nothing replaced, nothing saved, nothing to tell
    office.noticeOnSave(u"Word 97-2003 形式で保存しました");
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "in/a.doc", "in/b.doc"}), 0);
    EXPECT_THAT(out.str(), IsEmpty());
    EXPECT_EQ(errBeforeSummary(),
              "お知らせ：" + path("out/a.doc") + "：Word 97-2003 形式で保存しました\n");
}

// A command line that cannot be carried out is told with the way to help, before any log or
// word processor starts.
TEST_F(BatchCommandTest, UsageAndHelpComeFirstThenTheLogEchoingWhenVerbose) {
    std::vector<bool> echoes;
    startLog = [&](bool echo) { echoes.push_back(echo); };
    document("a.doc", u"foo");
    EXPECT_EQ(run({"--copy-to", "out", "--verbose", "--regions", "footnotes", "a.doc"}), 2);
    EXPECT_THAT(err.str(), AllOf(HasSubstr("footnotes"), HasSubstr("--help")));
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_THAT(out.str(), AllOf(HasSubstr("使い方: quorvane-batch"),
                                 HasSubstr(os::log::defaultFile().native())));
    EXPECT_THAT(office.log(), IsEmpty());
    EXPECT_EQ(run({"--copy-to", "out", "--verbose", "a.doc"}), 0);
    EXPECT_EQ(run({"--copy-to", "out", "a.doc"}), 0);
    EXPECT_THAT(echoes, ElementsAre(true, false));
}

// The folder for a folder's copies is a file: its first copy fails, the second is never tried,
// and the next path is run.
TEST_F(BatchCommandTest, AFailedCopyEndsThatRunButNotTheNextPath) {
    for (const char* name : {"in/a.doc", "in/b.doc", "c.doc"})
        document(name, u"foo");
    test::writeFile(dir.path() / "out" / "in", "in the way\n");
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "in", "c.doc"}), 3);
    EXPECT_THAT(err.str(), AllOf(HasSubstr("ファイルコピー失敗"), HasSubstr("--copy-to")));
    const std::string report = out.str();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2) << report;
    EXPECT_THAT(report, AllOf(HasSubstr(path("in/")),
                              HasSubstr("\tコピーできませんでした：保存先のフォルダーが見つかりま"
                                        "せん\n")));
    EXPECT_THAT(report, HasSubstr("\tコピーの失敗で処理が中断されました\n"));
    EXPECT_EQ(load("in/a.doc").body, u"foo");
    EXPECT_EQ(load("out/c.doc").body, u"「X」");
    EXPECT_EQ(office.runningApplications(), 0);
}

// A copy that meets a full disk says so, rather than blame the name or the path.
TEST_F(BatchCommandTest, ACopyOntoAFullDiskSaysSo) {
    document("a.doc", u"foo");
    test::system_calls::failNext("write", test::system_calls::isNewFile, ENOSPC);
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "a.doc"}), 3);
    EXPECT_EQ(out.str(), path("a.doc") +
                             "\tコピーできませんでした：ディスクの空きが足りません。空きを作って"
                             "からやり直してください\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "a.doc"));
}

// A path that is not there is reported as a document that cannot be opened; the paths after it
// are run all the same.
TEST_F(BatchCommandTest, AMissingPathIsReportedAndTheNextPathsRun) {
    document("in/a.doc", u"foo");
    EXPECT_EQ(run({"--in-place", "--yes", "--pair", "foo", "X", "nowhere", "in/a.doc"}), 1);
    EXPECT_EQ(out.str(), path("nowhere") + "\t開けませんでした：「" + path("nowhere") +
                             "」を調べられません：見つかりません\n");
    EXPECT_EQ(load("in/a.doc").body, u"「X」");
}

// A stop is taken between documents, through the run's error path, so the office quits and no
// document is left half-written; every document not processed is listed, those of the paths
// not reached too.
TEST_F(BatchCommandTest, AnInterruptListsEveryDocumentLeft) {
    document("in/a.doc", u"foo");
    document("in/c.doc", u"foo");
    document("b.doc", u"foo");
    interrupted = 1;
    EXPECT_EQ(run({"--in-place", "--yes", "--pair", "foo", "X", "in", "b.doc", "in"}), 3);
    EXPECT_THAT(err.str(), HasSubstr("中断"));
    std::vector<std::string> lines;
    std::istringstream report(out.str());
    for (std::string line; std::getline(report, line);)
        lines.push_back(line);
    const std::string reason = "\t中断の指示により処理しませんでした";
    EXPECT_THAT(lines,
                testing::UnorderedElementsAre(path("in/a.doc") + reason, path("in/c.doc") + reason,
                                              path("b.doc") + reason, path("in/a.doc") + reason,
                                              path("in/c.doc") + reason));
    EXPECT_EQ(load("in/a.doc").body, u"foo");
    EXPECT_EQ(office.runningApplications(), 0);
}

// Names may hold a tab or a line feed: each record stays one line, and --null gives NUL-ended
// fields as they are.
TEST_F(BatchCommandTest, TheReportCanBeReadWhateverTheNames) {
    for (const char* name : {"in/tab\there.doc", "in/line\nfeed.doc", "in/back\\slash.doc"})
        test::writeFile(dir.path() / name, "not a document\n");
    EXPECT_EQ(run({"--copy-to", "out", "--pair", "foo", "X", "in/tab\there.doc",
                   "in/line\nfeed.doc", "in/back\\slash.doc"}),
              1);
    const std::string reason = "\t開けませんでした：文書として開けません\n";
    EXPECT_EQ(out.str(), path("out/tab\\there.doc") + reason + path("out/line\\nfeed.doc") +
                             reason + path("out/back\\\\slash.doc") + reason);

    out.str("");
    EXPECT_EQ(run({"--copy-to", "out", "--null", "--pair", "foo", "X", "in/line\nfeed.doc"}), 1);
    EXPECT_EQ(out.str(),
              path("out/line\nfeed.doc") + '\0' + "開けませんでした：文書として開けません" + '\0');
}

// Without --yes someone at a terminal answers once per path; no answer edits nothing.
TEST_F(BatchCommandTest, InPlaceEditsOnlyWhatSomeoneSaidYesTo) {
    for (const char* name : {"a.doc", "b.doc", "c.doc"})
        document(name, u"foo");
    EXPECT_EQ(run({"--in-place", "--pair", "foo", "X", "a.doc"}), 2);
    EXPECT_THAT(err.str(), HasSubstr("--yes"));
    EXPECT_THAT(office.log(), IsEmpty());

    inputIsTerminal = true;
    input.str("n\nmaybe\ny\n");
    EXPECT_EQ(run({"--in-place", "--pair", "foo", "X", "a.doc", "b.doc", "c.doc"}), 1);
    EXPECT_EQ(load("a.doc").body, u"foo");
    EXPECT_EQ(load("b.doc").body, u"「X」");
    EXPECT_EQ(load("c.doc").body, u"foo") << "the input ended without an answer";
    EXPECT_THAT(out.str(),
                HasSubstr(path("a.doc") + "\t確認で「いいえ」が選ばれたため処理していません\n"));
    EXPECT_THAT(err.str(),
                AllOf(HasSubstr("続行しますか？ [y/N]"), HasSubstr("y（はい）か n（いいえ）")));

    EXPECT_EQ(run({"--in-place", "--yes", "--pair", "foo", "X", "a.doc"}), 0);
    EXPECT_EQ(load("a.doc").body, u"「X」");
}

// A dry run's summary counts what the run then replaces, pair by pair: the second pair meets what
// the first wrote. It needs no answer to edit originals, and writes nothing (that it makes no copy
// nor folder is the run driver's to show).
TEST_F(BatchCommandTest, ADryRunCountsWhatTheRunThenReplacesAndTouchesNothing) {
    factory = &word;
    test::writeDocument(dir / "in/a.doc", u"foo bar", {{u"foo"}});
    document("in/b.doc", u"bar");
    const std::string before = test::readFile(dir.path() / "in" / "a.doc");
    const std::vector<std::string> pairs = {"--pair", "foo", "bar", "--pair", "bar", "baz", "in"};
    const auto with = [&](std::vector<std::string> options) {
        options.insert(options.end(), pairs.begin(), pairs.end());
        return options;
    };
    EXPECT_EQ(run(with({"--in-place", "--dry-run"})), 0);
    EXPECT_EQ(test::readFile(dir.path() / "in" / "a.doc"), before);
    std::string dry = summary();
    EXPECT_THAT(dry, HasSubstr("試行"));

    err.str("");
    EXPECT_EQ(run(with({"--in-place", "--yes"})), 0);
    EXPECT_EQ(load("in/a.doc").body, u"「「baz」」 「baz」");
    const auto counts = [](const std::string& text) { return text.substr(text.find('\n')); };
    dry = counts(dry);
    dry.replace(dry.find("置換する"), std::string("置換する").size(), "置換した");
    EXPECT_EQ(dry, counts(summary()));
    EXPECT_THAT(dry, HasSubstr("置換 2「bar」→「baz」：4（本文 3、テキストボックス 1"));
}

// Sub-folders in name order after each folder's own documents, hidden ones and links left out; the
// copies keep the layout.
TEST_F(BatchCommandTest, SubFoldersAreRunInNameOrderAndTheCopiesKeepTheirLayout) {
    for (const char* folder : {"in/sub/z", "in/.hidden"})
        std::filesystem::create_directories(dir.path() / folder);
    for (const char* name :
         {"in/b.doc", "in/a.doc", "in/sub/z/c.doc", "in/sub/d.doc", "in/.hidden/e.doc"}) {
        document(name, u"foo");
    }
    std::filesystem::create_directory_symlink(dir.path() / "in" / "sub",
                                              dir.path() / "in" / "link");
    errorIsTerminal = true;
    EXPECT_EQ(run({"--copy-to", "out", "--recursive", "--pair", "foo", "X", "in"}), 0);
    EXPECT_EQ(errBeforeSummary(), "[1/4] " + path("in/a.doc") + "\n[2/4] " + path("in/b.doc") +
                                      "\n[3/4] " + path("in/sub/d.doc") + "\n[4/4] " +
                                      path("in/sub/z/c.doc") + "\n");
    EXPECT_EQ(load("out/in/sub/z/c.doc").body, u"「X」");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "in" / ".hidden"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "in" / "link"));
}

// The originals of the documents a run wrote are kept, and put back; not over a document changed
// since, unless forced; and a folder holding anything already is not taken.
TEST_F(BatchCommandTest, BackupsKeepWhatTheRunWroteOverAndRestorePutsItBack) {
    document("in/a.doc", u"foo");
    document("in/b.doc", u"bar");
    EXPECT_EQ(run({"--in-place", "--yes", "--backup-to", "bk", "--pair", "foo", "X", "in"}), 0);
    EXPECT_EQ(load("in/a.doc").body, u"「X」");
    EXPECT_EQ(load("bk/in/a.doc").body, u"foo");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "bk" / "in" / "b.doc"));
    EXPECT_EQ(run({"--in-place", "--yes", "--backup-to", "bk", "--pair", "foo", "X", "in"}), 2);
    EXPECT_THAT(err.str(), HasSubstr("空ではありません"));

    EXPECT_EQ(run({"--restore", "bk"}), 0);
    EXPECT_EQ(load("in/a.doc").body, u"foo");
    EXPECT_EQ(run({"--in-place", "--yes", "--pair", "foo", "Y", "in/a.doc"}), 0);
    out.str("");
    EXPECT_EQ(run({"--restore", "bk"}), 1);
    EXPECT_EQ(load("in/a.doc").body, u"「Y」");
    EXPECT_EQ(
        out.str(),
        path("in/a.doc") + "\t実行の後に文書が書き換えられています。--force を付けると戻します\n");
    err.str("");
    EXPECT_EQ(run({"--restore", "bk", "--force"}), 0);
    EXPECT_EQ(load("in/a.doc").body, u"foo");
    EXPECT_THAT(err.str(), HasSubstr("元に戻した文書 1 件、元のままだった文書 0 件"));
}

TEST_F(BatchCommandTest, TheVersionAndAReportFileOfEveryDocument) {
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out.str(), "quorvane-batch " + std::string(os::kVersion) + "\n");
    document("in/a.doc", u"foo");
    test::writeFile(dir.path() / "in" / "b.bin", "no document\n");
    EXPECT_EQ(run({"--copy-to", "out", "--report", "report.csv", "--pair", "foo", "X", "in"}), 1);
    const std::string csv = test::readFile(dir.path() / "report.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
    EXPECT_THAT(csv, AllOf(testing::StartsWith("\xEF\xBB\xBFversion,path,source,edited,outcome"),
                           HasSubstr("\r\n1,\"" + path("in") + "\",\"" + path("in/a.doc") +
                                     "\",\"" + path("out/in/a.doc") + "\",replaced,\"\",")));
}

}  // namespace
}  // namespace quorvane::cli
