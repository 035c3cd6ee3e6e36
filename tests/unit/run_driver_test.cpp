#include "run/run_driver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "automation/com/word_factory.h"
#include "os/text_encoding.h"
#include "run/backup_folder.h"
#include "run/run_error.h"
#include "test_support.h"

namespace quorvane::run {
namespace {

namespace fs = std::filesystem;
using automation::fake::FakeWordProcessor;
using os::MessageBox;
using test::TempDir;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::vector<Outcome> outcomes(const RunResult& result) {
    std::vector<Outcome> all;
    for (const auto& d : result.documents)
        all.push_back(d.outcome);
    return all;
}

class RunDriverTest : public ::testing::Test {
  protected:
    TempDir dir;
    RunRequest request;
    test::ScriptedMessageBox messages;
    FakeWordProcessor word;
    RunDriver driver{messages, word};

    void SetUp() override {
        for (const char* sub : {"src", "dest"})
            fs::create_directories(dir.path() / sub);
        request.destinationFolder = dir / "dest";
        request.pairs[0] = {u"foo", u"X"};
    }

    std::u16string source(const std::string& name, const std::u16string& body) {
        const auto path = dir / ("src/" + name);
        test::writeDocument(path, body);
        return path;
    }
    std::u16string body(const std::string& relative) const {
        return test::readDocument(dir / relative).body;
    }
    std::vector<std::u16string> opened() const {
        std::vector<std::u16string> names;
        for (const auto& line : word.logLines(u"call documents.Open")) {
            const auto start = line.rfind(os::kPathSeparator) + 1;
            names.push_back(line.substr(start, line.size() - start - 2));
        }
        return names;
    }
};

TEST_F(RunDriverTest, AnsweringNoTouchesNothing) {
    source("a.doc", u"foo");
    request.mode = RunRequest::Mode::EditOriginals;
    messages.answers = {MessageBox::kNo};
    const RunResult result = driver.run(request, dir / "src");

    EXPECT_TRUE(result.declined);
    EXPECT_FALSE(result.allProcessed());
    EXPECT_THAT(result.documents, IsEmpty());
    EXPECT_THAT(word.log(), IsEmpty());
    EXPECT_EQ(body("src/a.doc"), u"foo");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, RunDriver::kConfirmText);
    EXPECT_EQ(messages.shown[0].flags, MessageBox::kYesNo | MessageBox::kQuestion);
}

TEST_F(RunDriverTest, AFolderLosesNoFileAndReachesNoSubFolder) {
    for (const char* name : {"a.doc", "notes.txt", "odd.xyz", ".hidden.doc"})
        source(name, u"foo");
    fs::create_directory(dir.path() / "src" / "sub");
    test::writeDocument(dir / "src/sub/deep.doc", u"foo");
    // A folder the user cannot write to is still a folder.
    fs::permissions(dir.path() / "src", fs::perms::owner_write, fs::perm_options::remove);

    driver.run(request, dir / "src");
    fs::permissions(dir.path() / "src", fs::perms::owner_write, fs::perm_options::add);

    auto names = opened();
    std::sort(names.begin(), names.end());
    EXPECT_THAT(names, ElementsAre(u"a.doc", u"notes.txt", u"odd.xyz"));
    EXPECT_FALSE(fs::exists(dir.path() / "dest" / "src" / "sub"));
}

TEST_F(RunDriverTest, EmptyFoldersAndBlankPairsStillStartAndQuitTheWordProcessor) {
    fs::create_directory(dir.path() / "src" / "empty");
    const RunResult empty = driver.run(request, dir / "src/empty");
    EXPECT_THAT(empty.documents, IsEmpty());
    EXPECT_TRUE(fs::is_directory(dir.path() / "dest" / "empty"));

    source("a.doc", u"foo");
    request.pairs = {{{u"", u"X"}, {u"   ", u"Y"}, {u"\u3000\u3000", u"Z"}}};
    const RunResult blank = driver.run(request, dir / "src/a.doc");
    EXPECT_EQ(blank.documents[0].outcome, Outcome::Unchanged);
    EXPECT_TRUE(fs::exists(dir.path() / "dest" / "a.doc"));
    EXPECT_THAT(word.log(), ElementsAre(u"create Word.Application", u"call app.Quit()",
                                        u"create Word.Application", u"call app.Quit()"));
}

// A blank first row is passed over, not taken for the end of the pairs.
TEST_F(RunDriverTest, PairsAreUsedAsTypedInOrderOncePerDocument) {
    source("a.doc", u"a foo b");
    request.pairs = {{{u" ", u"Z"}, {u" foo ", u""}, {u"a", u"1"}}};
    driver.run(request, dir / "src/a.doc");
    EXPECT_EQ(word.logLines(u"call documents.Open").size(), 2u);
    EXPECT_EQ(word.logLines(u"call doc.Close").size(), 2u);
    EXPECT_EQ(body("dest/a.doc"), u"「1」「」b");
    // Each pair searches what the pairs before it wrote, as the help and the README say.
    source("c.doc", u"b2");
    request.pairs = {{{u"b2", u"c3"}, {u"c3", u"z"}, {}}};
    driver.run(request, dir / "src/c.doc");
    EXPECT_EQ(body("dest/c.doc"), u"「「z」」");
}

// Over the fake, so that the Windows build checks the header pass too.
TEST_F(RunDriverTest, HeadersAndFootersAreReplacedWhenChosen) {
    test::writeDocument(dir / "src/a.doc", u"foo", {}, {{{u"head foo"}, {u"bottom foo"}}});
    driver.run(request, dir / "src/a.doc");
    const auto replaced = test::readDocument(dir / "dest/a.doc");
    EXPECT_EQ(replaced.sections[0].headers[0], u"head 「X」");
    EXPECT_EQ(replaced.sections[0].footers[0], u"bottom 「X」");

    request.regions.headersAndFooters = false;
    driver.run(request, dir / "src/a.doc");
    const auto kept = test::readDocument(dir / "dest/a.doc");
    EXPECT_EQ(kept.body, u"「X」");
    EXPECT_EQ(kept.sections[0].headers[0], u"head foo");
}

TEST_F(RunDriverTest, WidthConversionHoldsForTheRestOfTheRunOnly) {
    request.distinguishWidths = false;
    request.pairs[0] = {u"ＡＢＣ", u"X"};
    for (const char* name : {"a.doc", "b.doc"})
        test::writeDocument(dir / ("src/" + std::string(name)), u"ABC", {{u"ＡＢＣ ABC"}});

    const auto boxFinds = [&] {
        std::vector<std::u16string> finds;
        for (const auto& line : word.logLines(u"call find(shape 1)")) {
            const auto start = line.find(u'"') + 1;
            finds.push_back(line.substr(start, line.find(u'"', start) - start));
        }
        return finds;
    };
    driver.run(request, dir / "src");
    // The first document's box is searched as typed, the second's with the body's conversion.
    EXPECT_THAT(boxFinds(), ElementsAre(u"ＡＢＣ", u"ABC"));

    word.clearLog();
    driver.run(request, dir / "src");
    EXPECT_THAT(boxFinds(), ElementsAre(u"ＡＢＣ", u"ABC"));

    // A first document left out, as one that cannot match, moves the run on as its body pass
    // would have: the second is searched for the converted text all the same.
    int asked = 0;
    RunDriver skipping{messages, word, {}, [&](const auto&, const auto&) { return asked++ > 0; }};
    word.clearLog();
    const RunResult result = skipping.run(request, dir / "src");
    EXPECT_TRUE(result.documents[0].skipped);
    EXPECT_EQ(result.documents[0].outcome, Outcome::Unchanged);
    EXPECT_FALSE(result.documents[1].skipped);
    EXPECT_THAT(boxFinds(), ElementsAre(u"ABC"));
}

TEST_F(RunDriverTest, AFailedWidthConversionSearchesForTheTextAsTyped) {
    const auto failing = [](std::u16string_view) -> std::u16string {
        throw os::Error(u"変換できません");
    };
    RunDriver broken{messages, word, WidthForms{failing, failing}};
    request.distinguishWidths = false;
    source("a.doc", u"foo");
    const RunResult result = broken.run(request, dir / "src/a.doc");
    EXPECT_EQ(result.documents[0].outcome, Outcome::Replaced);
    EXPECT_EQ(body("dest/a.doc"), u"「X」");
    EXPECT_EQ(word.logLines(u"call find(body).Execute(STR \"foo\"").size(), 2u);
}

TEST_F(RunDriverTest, ACopyFailureAtTheThirdOfFiveEndsTheRunWithOneNotice) {
    for (const char* name : {"1.doc", "2.doc", "3.doc", "4.doc", "5.doc"})
        source(name, u"foo");
    std::vector<std::u16string> order;
    os::FolderListing listing(dir / "src");
    for (auto n = listing.next(); !n.empty(); n = listing.next())
        order.push_back(n);
    fs::create_directory(dir.path() / "dest" / "src");
    const fs::path blocked = os::toNativePath(dir / "dest/src/" + order[2]);
    test::writeFile(blocked, "read-only");
    fs::permissions(blocked, fs::perms::owner_read);

    const RunResult result = driver.run(request, dir / "src");

    EXPECT_TRUE(result.endedByCopyFailure);
    EXPECT_THAT(outcomes(result),
                ElementsAre(Outcome::Replaced, Outcome::Replaced, Outcome::CopyFailed,
                            Outcome::NotReached, Outcome::NotReached));
    EXPECT_THAT(opened(), ElementsAre(order[0], order[1]));
    for (std::size_t i : {3, 4})
        EXPECT_FALSE(fs::exists(os::toNativePath(dir / "dest/src/" + order[i])));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, RunDriver::kCopyFailedText);
    EXPECT_EQ(messages.shown[0].flags, MessageBox::kCritical);
    EXPECT_EQ(word.runningApplications(), 0);
}

// The second pair cannot open the document: the report names the pairs it missed.
TEST_F(RunDriverTest, ADocumentThatFailsIsReportedWithThePairsItMissed) {
    source("a.doc", u"foo bar");
    request.pairs[1] = {u"bar", u"Y"};
    word.failOpensAfter(1);
    const RunResult result = driver.run(request, dir / "src/a.doc");
    EXPECT_EQ(result.documents[0].outcome, Outcome::NotOpened);
    EXPECT_NE(result.documents[0].reason.find(u"置換 2「bar」→「Y」 は適用されていません"),
              std::u16string::npos)
        << os::toUtf8(result.documents[0].reason);
    EXPECT_EQ(body("dest/a.doc"), u"「X」 bar");
}

// A document whose close fails lost what its pair did: it is not listed as processed.
TEST_F(RunDriverTest, ADocumentThatCannotBeClosedIsNotCountedAsReplaced) {
    source("a.doc", u"foo");
    word.failMember(u"Close");
    const RunResult result = driver.run(request, dir / "src/a.doc");
    EXPECT_EQ(result.documents[0].outcome, Outcome::NotSaved);
    EXPECT_TRUE(result.documents[0].reason.starts_with(u"保存できませんでした："))
        << os::toUtf8(result.documents[0].reason);
}

// The word processor is told once, after the last pair, that the run is done with a document;
// when its changes cannot be written then, it got none of the pairs.
TEST_F(RunDriverTest, ADocumentWhoseChangesCannotBeWrittenIsReportedWithoutCounts) {
    source("a.doc", u"foo bar");
    request.pairs[1] = {u"bar", u"Y"};
    word.failMember(u"QuorvaneFinishDocument");
    const RunResult result = driver.run(request, dir / "src/a.doc");
    ASSERT_EQ(word.logLines(u"call documents.QuorvaneFinishDocument").size(), 1u);
    EXPECT_TRUE(word.log().back().starts_with(u"call app.Quit")) << os::toUtf8(word.log().back());
    const DocumentResult& d = result.documents[0];
    EXPECT_EQ(d.outcome, Outcome::NotSaved);
    EXPECT_TRUE(d.reason.starts_with(u"保存できませんでした：")) << os::toUtf8(d.reason);
    EXPECT_EQ(d.reason.find(u"適用されていません"), std::u16string::npos);
    EXPECT_FALSE(d.counts.body);
}

TEST_F(RunDriverTest, EscapingErrorsNameThePathAndLeaveNoWordProcessor) {
    const auto errorOf = [&](const std::u16string& path) -> RunError {
        try {
            driver.run(request, path);
        } catch (const RunError& e) {
            return e;
        }
        throw std::logic_error("no error");
    };
    const RunError gone = errorOf(dir / "src/gone.doc");
    EXPECT_EQ(gone.partial().path, dir / "src/gone.doc");
    EXPECT_THAT(gone.what(), AllOf(HasSubstr("gone.doc"), HasSubstr("見つかりません")));
    EXPECT_THAT(word.log(), IsEmpty());

    source("a.doc", u"foo");
    word.refuseCreate(true);
    EXPECT_THAT(outcomes(errorOf(dir / "src/a.doc").partial()), ElementsAre(Outcome::NotReached));
    EXPECT_FALSE(fs::exists(dir.path() / "dest" / "a.doc")) << "copied before the start";
    EXPECT_EQ(word.runningApplications(), 0);
}

TEST_F(RunDriverTest, NoWayOutOfARunLeavesTheWordProcessorRunning) {
    const auto broken = [](std::u16string_view) -> std::u16string {
        throw std::logic_error("a fault of ours");
    };
    RunDriver faulty{messages, word, WidthForms{broken, broken}};
    request.distinguishWidths = false;
    source("a.doc", u"foo");
    EXPECT_THROW(faulty.run(request, dir / "src/a.doc"), std::logic_error);
    EXPECT_EQ(word.runningApplications(), 0);
    EXPECT_EQ(word.logLines(u"call app.Quit").size(), 1u);
}

// A dry run goes through the passes of the run, each document opened once, read-only, and nothing
// written or asked (that it counts what the run then replaces, region by region and pair by pair,
// the fidelity suite shows on every document of its corpus, the command's test on its summary).
TEST_F(RunDriverTest, ADryRunOpensReadOnlyAndWritesAndAsksNothing) {
    automation::com::WordFactory asWord{word};
    RunDriver counting{messages, asWord};
    request.mode = RunRequest::Mode::EditOriginals;
    request.dryRun = true;
    for (const char* name : {"a.doc", "b.doc"})
        test::writeDocument(dir / ("src/" + std::string(name)), u"foo", {{u"foo"}});
    const std::string before = test::readFile(dir.path() / "src" / "a.doc");
    const RunResult dry = counting.run(request, dir / "src");
    EXPECT_EQ(dry.documents.at(1).counts.textBoxes, 1);
    EXPECT_EQ(test::readFile(dir.path() / "src" / "a.doc"), before);
    EXPECT_THAT(messages.shown, IsEmpty());
    const auto opens = word.logLines(u"call documents.Open");
    EXPECT_EQ(opens.size(), 2u);
    EXPECT_TRUE(std::all_of(opens.begin(), opens.end(), [](const std::u16string& line) {
        return line.find(u"ReadOnly:=BOOL -1") != std::u16string::npos;
    }));
    EXPECT_THAT(word.logLines(u"call doc.SaveAs2"), IsEmpty());
    EXPECT_EQ(word.openDocuments(), 0);
}

// A dry run foresees what the word processor will meet: an original that may not be written is
// refused in place, while its copy, which a run makes writable, is counted.
TEST_F(RunDriverTest, ADryRunRefusesAReadOnlyOriginalOnlyWhereTheRunWouldWriteIt) {
    const auto original = os::toNativePath(source("a.doc", u"foo"));
    fs::permissions(original,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    request.dryRun = true;
    const RunResult copies = driver.run(request, dir / "src");
    EXPECT_EQ(copies.documents.at(0).outcome, Outcome::Replaced);

    request.mode = RunRequest::Mode::EditOriginals;
    const RunResult inPlace = driver.run(request, dir / "src");
    EXPECT_EQ(inPlace.documents.at(0).outcome, Outcome::NotOpened);
    EXPECT_NE(inPlace.documents.at(0).reason.find(u"読み取り専用"), std::u16string::npos);
}

class StopAtSecondDocument final : public RunProgress {
  public:
    void documentStarted(std::int32_t index, std::int32_t, const std::u16string&) override {
        if (index == 1)
            throw os::Error(u"中断の指示");
    }
};

// A run stopped between documents, or killed before it could note what it wrote, leaves every
// backup it made; the first is put back as it is, the second only when forced.
TEST_F(RunDriverTest, AStoppedRunLeavesItsBackupsToPutBack) {
    request.mode = RunRequest::Mode::EditOriginals;
    source("a.doc", u"foo");
    source("b.doc", u"foo");
    BackupFolder backups(dir / "bk");
    driver.keepBackupsIn(&backups);
    StopAtSecondDocument stop;
    const auto first = [&]() -> std::u16string {
        try {
            driver.run(request, dir / "src", &stop);
        } catch (const RunError& e) {
            return e.partial().documents[0].source;
        }
        return {};
    }();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(test::readDocument(first).body, u"「X」");
    const std::u16string name = first.substr(first.rfind(os::kPathSeparator) + 1);
    EXPECT_EQ(test::readDocument(dir / ("bk/src/" + os::toUtf8(name))).body, u"foo");

    BackupFolder killed(dir / "bk2");
    const std::u16string other = dir / "src/other.doc";
    test::writeDocument(other, u"foo");
    killed.keep(other, u"other.doc");
    test::writeDocument(other, u"written");
    const auto restored = BackupFolder::restore(dir / "bk", false);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].outcome, BackupFolder::Restored::Outcome::Restored);
    EXPECT_EQ(test::readDocument(first).body, u"foo");
    EXPECT_EQ(BackupFolder::restore(dir / "bk2", false)[0].outcome,
              BackupFolder::Restored::Outcome::Refused);
    EXPECT_EQ(BackupFolder::restore(dir / "bk2", true)[0].outcome,
              BackupFolder::Restored::Outcome::Restored);
    EXPECT_EQ(test::readDocument(other).body, u"foo");
}

}  // namespace
}  // namespace quorvane::run
