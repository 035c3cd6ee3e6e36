#include "replace/document_passes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/plain_form_state.h"
#include "test_support.h"

namespace quorvane {
namespace {

using platform::automation::fake::FakeDocument;
using platform::automation::fake::FakeWordProcessor;
using test::TempDir;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::u16string_view kNamedForm =
    u"(FindText:=STR \"%\", ReplaceWith:=STR \"「X」\", Replace:=I4 2)";

std::u16string named(std::u16string_view region, std::u16string_view find) {
    std::u16string args(kNamedForm);
    args.replace(args.find(u'%'), 1, find);
    return u"call find(" + std::u16string(region) + u").Execute" + args;
}

std::u16string body(std::u16string_view find, bool matchCase) {
    return u"call find(body).Execute(STR \"" + std::u16string(find) +
           u"\", ReplaceWith:=STR \"「X」\", MatchCase:=" + (matchCase ? u"BOOL -1" : u"BOOL 0") +
           u", Replace:=I4 2)";
}

// Check4 alternates between checked and unchecked at every read.
class FlickeringCaseForm final : public FormState {
  public:
    PlainFormState plain;
    mutable int check4Reads = 0;

    std::int16_t option1Value() const override { return plain.option1Value(); }
    std::int16_t option2Value() const override { return plain.option2Value(); }
    std::u16string dir1Path() const override { return plain.dir1Path(); }
    std::int16_t checkValue(int number) const override {
        if (number == 4)
            return ++check4Reads % 2 == 1 ? kChecked : kUnchecked;
        return plain.checkValue(number);
    }
    std::u16string pageControlText(std::u16string_view page,
                                   std::u16string_view control) const override {
        return plain.pageControlText(page, control);
    }
};

class DocumentPassesTest : public ::testing::Test {
  protected:
    TempDir dir;
    FakeWordProcessor word;
    FlickeringCaseForm flicker;
    PlainFormState& form = flicker.plain;
    AutomationHandles handles;
    RunReport report;
    DocumentPasses passes{flicker, handles, report};
    std::u16string path = dir / "a.doc";

    void SetUp() override {
        FakeDocument doc;
        doc.body = u"foo FOO ｆｏｏ";
        doc.shapes = {{u"box foo"}, {std::nullopt}, {u"other foo"}};
        doc.sections = {{{u"h1 foo"}, {u"f1 foo"}}};
        doc.save(path);
        handles.wdApp = word.create(u"Word.Application");
        word.clearLog();
    }

    std::vector<std::u16string> executes() const { return word.logLines(u"call find"); }

    void run(std::u16string find) {
        passes.chikan(path, find, u"「X」");
        lastFind = find;
    }
    std::u16string lastFind;
};

TEST_F(DocumentPassesTest, RegionsInOrderWithTheirArgumentForms) {
    form.checks[4] = FormState::kChecked;  // widths distinguished: one body Execute
    run(u"foo");
    EXPECT_THAT(executes(), ElementsAre(named(u"shape 1", u"foo"), named(u"shape 3", u"foo"),
                                        named(u"header 1.1", u"foo"), named(u"footer 1.1", u"foo"),
                                        body(u"foo", true)));
    const auto doc = test::readDocument(path);
    EXPECT_EQ(doc.body, u"「X」 FOO ｆｏｏ");
    EXPECT_EQ(doc.shapes[0].text, u"box 「X」");
    EXPECT_EQ(doc.shapes[2].text, u"other 「X」");  // the shape without text did not stop the loop
    EXPECT_EQ(doc.sections[0].headers[0], u"h1 「X」");
    EXPECT_EQ(doc.sections[0].footers[0], u"f1 「X」");
    EXPECT_EQ(handles.wdDoc.type(), DocumentPasses::Variant::Type::Nothing);
    EXPECT_EQ(word.openDocuments(), 0);
    EXPECT_THAT(report, IsEmpty());
}

TEST_F(DocumentPassesTest, EachRegionFollowsOnlyItsOwnCheckBox) {
    form.checks = {0, 0, 0, 1, 1};
    run(u"foo");
    EXPECT_THAT(executes(), IsEmpty());
    EXPECT_THAT(word.logLines(u"call doc.Close"), ElementsAre(u"call doc.Close()"));

    word.clearLog();
    form.checks = {0, 1, 0, 1, 1};
    run(u"foo");
    EXPECT_THAT(executes(), ElementsAre(named(u"shape 1", u"foo"), named(u"shape 3", u"foo")));

    word.clearLog();
    form.checks = {0, 0, 1, 1, 1};
    run(u"foo");
    EXPECT_THAT(executes(),
                ElementsAre(named(u"header 1.1", u"foo"), named(u"footer 1.1", u"foo")));
}

TEST_F(DocumentPassesTest, MatchCaseIsReadAtEveryBodyExecute) {
    form.checks = {1, 0, 0, 1, 0};
    run(u"foo");
    EXPECT_THAT(executes(), ElementsAre(body(u"ｆｏｏ", true), body(u"foo", false)));
    EXPECT_EQ(flicker.check4Reads, 2);
}

TEST_F(DocumentPassesTest, WidthInsensitiveBodyReplacesFullThenHalfAndWritesBack) {
    form.checks = {1, 0, 0, 1, 0};
    const auto bodyFinds = [&](std::u16string find) {
        word.clearLog();
        flicker.check4Reads = 0;
        run(find);
        std::vector<std::u16string> finds;
        for (const auto& line : executes()) {
            const auto start = line.find(u'"') + 1;
            finds.push_back(line.substr(start, line.find(u'"', start) - start));
        }
        return finds;
    };
    EXPECT_THAT(bodyFinds(u"abc"), ElementsAre(u"ａｂｃ", u"abc"));
    EXPECT_EQ(lastFind, u"abc");
    EXPECT_THAT(bodyFinds(u"ＡＢＣ"), ElementsAre(u"ＡＢＣ", u"ABC"));
    EXPECT_EQ(lastFind, u"ABC");
    EXPECT_THAT(bodyFinds(u"カタカナ"), ElementsAre(u"カタカナ", u"ｶﾀｶﾅ"));
    EXPECT_EQ(lastFind, u"ｶﾀｶﾅ");
    EXPECT_THAT(bodyFinds(u"東京あ"), ElementsAre(u"東京あ", u"東京あ"));

    EXPECT_EQ(test::readDocument(path).body, u"foo FOO ｆｏｏ");
    bodyFinds(u"foo");  // ｆｏｏ matching case, then foo ignoring it
    EXPECT_EQ(test::readDocument(path).body, u"「X」 「X」 「X」");
}

TEST_F(DocumentPassesTest, TheFindTextIsNotRewrittenWithoutTheBodyPassOrWithWidthsDistinguished) {
    form.checks = {0, 1, 1, 1, 0};
    run(u"ＡＢＣ");
    EXPECT_EQ(lastFind, u"ＡＢＣ");
    form.checks = {1, 1, 1, 1, 1};
    run(u"ＡＢＣ");
    EXPECT_EQ(lastFind, u"ＡＢＣ");
}

TEST_F(DocumentPassesTest, AWidthConversionThatFailsLeavesTheFindTextAndTheExecuteStillRuns) {
    const auto failing = [](std::u16string_view) -> std::u16string {
        throw platform::Error(u"文字幅の変換表を読み込めません（ICU）");
    };
    DocumentPasses halfOnly{flicker, handles, report, {failing, platform::toHalfWidth}};
    form.checks = {1, 0, 0, 1, 0};
    std::u16string find = u"ｆｏｏ";
    halfOnly.chikan(path, find, u"「X」");
    EXPECT_THAT(executes(), ElementsAre(body(u"ｆｏｏ", true), body(u"foo", false)));
    EXPECT_EQ(find, u"foo");
    EXPECT_EQ(test::readDocument(path).body, u"「X」 「X」 「X」");
    EXPECT_THAT(report, IsEmpty());
}

TEST_F(DocumentPassesTest, ADocumentThatCannotBeOpenedIsReportedAndTheNextOpens) {
    test::writeFile(dir.path() / "broken.doc", "not a document");
    std::u16string find = u"foo";
    EXPECT_FALSE(passes.chikan(dir / "broken.doc", find, u"「X」"));
    EXPECT_EQ(test::readFile(dir.path() / "broken.doc"), "not a document");
    EXPECT_THAT(word.logLines(u"call"),
                ElementsAre(u"call documents.Open(STR \"" + (dir / "broken.doc") + u"\")"));
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].path, dir / "broken.doc");
    EXPECT_EQ(report[0].reason, u"開けませんでした：文書として開けません");

    EXPECT_TRUE(passes.chikan(path, find, u"「X」"));
    EXPECT_EQ(test::readDocument(path).body, u"「X」 FOO ｆｏｏ");
    EXPECT_EQ(report.size(), 1u);
}

TEST_F(DocumentPassesTest, ASaveThatFailsIsReportedOnceAndTheDocumentIsReleased) {
    word.failMember(u"Close");
    std::u16string find = u"foo";
    EXPECT_FALSE(passes.chikan(path, find, u"「X」"));
    run(u"FOO");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].reason.substr(0, 11), u"保存できませんでした：");
    EXPECT_EQ(test::readDocument(path).body, u"foo FOO ｆｏｏ");
    EXPECT_EQ(handles.wdDoc.type(), DocumentPasses::Variant::Type::Nothing);
}

TEST_F(DocumentPassesTest, AFailingCollectionSkipsOnlyItsOwnPass) {
    word.failMember(u"Sections");
    run(u"foo");
    const auto doc = test::readDocument(path);
    EXPECT_EQ(doc.shapes[0].text, u"box 「X」");
    EXPECT_EQ(doc.sections[0].headers[0], u"h1 foo");
    EXPECT_EQ(doc.body, u"「X」 FOO ｆｏｏ");
}

}  // namespace
}  // namespace quorvane
