#include "run/run_driver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "os/text_encoding.h"
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

// Headers and footers are a region of their own, replaced only when it is chosen.
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
    word.failMember(u"Finish");
    const RunResult result = driver.run(request, dir / "src/a.doc");
    ASSERT_EQ(word.logLines(u"call documents.Finish").size(), 1u);
    EXPECT_TRUE(word.log().back().starts_with(u"call app.Quit")) << os::toUtf8(word.log().back());
    const DocumentResult& d = result.documents[0];
    EXPECT_EQ(d.outcome, Outcome::NotSaved);
    EXPECT_TRUE(d.reason.starts_with(u"保存できませんでした：")) << os::toUtf8(d.reason);
    EXPECT_EQ(d.reason.find(u"適用されていません"), std::u16string::npos);
    EXPECT_FALSE(d.counts.body);
}

// The find text the first document's body pass rewrote reaches the documents of every processor.
TEST_F(RunDriverTest, SeveralWordProcessorsGiveWhatOneGives) {
    for (const char* name : {"a.doc", "b.doc", "c.doc", "d.doc", "e.doc"})
        source(name, u"ｆｏｏ foo");
    test::writeFile(dir.path() / "src" / "bad.doc", "random bytes");
    request.pairs[0] = {u"ｆｏｏ", u"X"};
    request.distinguishWidths = false;
    const RunResult one = driver.run(request, dir / "src");
    const std::u16string body = this->body("dest/src/a.doc");
    request.offices = 3;
    fs::remove_all(dir.path() / "dest" / "src");
    const RunResult three = driver.run(request, dir / "src");
    ASSERT_EQ(three.documents.size(), one.documents.size());
    for (std::size_t i = 0; i < one.documents.size(); ++i) {
        EXPECT_EQ(three.documents[i].source, one.documents[i].source);
        EXPECT_EQ(three.documents[i].outcome, one.documents[i].outcome);
        EXPECT_EQ(three.documents[i].counts.body, one.documents[i].counts.body);
    }
    for (const char* name : {"a.doc", "b.doc", "c.doc", "d.doc", "e.doc"})
        EXPECT_EQ(this->body(std::string("dest/src/") + name), body) << name;
    EXPECT_EQ(word.runningApplications(), 0);
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

}  // namespace
}  // namespace quorvane::run
