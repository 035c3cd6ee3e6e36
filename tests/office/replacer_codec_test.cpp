#include "automation/office/replacer_codec.h"

#include <gtest/gtest.h>

#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/text/XTextDocument.hpp>

#include <memory>

#include "automation/office/office_process.h"
#include "automation/office/uno_support.h"

namespace quorvane::automation::office {
namespace {

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

// New documents of an office of the suite's own, and their texts: the codec only passes them on.
class ReplacerCodec : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        office_ = std::make_unique<OfficeProcess>(OfficeProcess::Settings{});
    }
    static void TearDownTestSuite() { office_.reset(); }

    static Reference<css::frame::XModel> aDocument() {
        const Reference<css::frame::XComponentLoader> loader(office_->desktop(), UNO_QUERY_THROW);
        const auto hidden = property("Hidden", true);
        return {loader->loadComponentFromURL("private:factory/swriter", "_blank", 0,
                                             Sequence(&hidden, 1)),
                UNO_QUERY_THROW};
    }
    static TextRef aText() {
        return Reference<css::text::XTextDocument>(aDocument(), UNO_QUERY_THROW)->getText();
    }

  private:
    static inline std::unique_ptr<OfficeProcess> office_;
};

// What the program asks, as the office reads it.
replacer::Action received(const Reference<css::frame::XModel>& document,
                          const replacer::Action& action) {
    const auto request = replacer::decodeRequest(replacer::encodeRequest(document, action));
    EXPECT_TRUE(request);
    if (!request)
        return {};
    EXPECT_EQ(request->document, document);
    EXPECT_EQ(request->action.index(), action.index());
    return request->action;
}

TEST_F(ReplacerCodec, EveryActionReachesTheOfficeAsItWasAsked) {
    const auto document = aDocument();
    const TextRef text = aText();
    const auto replace = std::get<replacer::Replace>(
        received(document, replacer::Replace{text, u"東京", u"「大阪」", true, {}}));
    EXPECT_EQ(replace.text, text);
    EXPECT_EQ(replace.find, u"東京");
    EXPECT_EQ(replace.replacement, u"「大阪」");
    EXPECT_TRUE(replace.matchCase);
    EXPECT_TRUE(replace.screen.empty());

    const auto check = std::get<replacer::CheckSavedFile>(
        received(document, replacer::CheckSavedFile{"file:///tmp/a.rtf", "Rich Text Format", ""}));
    EXPECT_EQ(check.url, "file:///tmp/a.rtf");
    EXPECT_EQ(check.filter, "Rich Text Format");
    EXPECT_TRUE(check.filterOptions.isEmpty());

    const TextRef other = aText();
    const auto screening = std::get<replacer::Replace>(
        received(document, replacer::Replace{text, u"ａｂｃ", u"", false, {text, other}}));
    EXPECT_EQ(screening.screen, (std::vector<TextRef>{text, other}));
    EXPECT_EQ(screening.find, u"ａｂｃ");
    EXPECT_TRUE(screening.replacement.empty());
    EXPECT_FALSE(screening.matchCase);

    received(document, replacer::TakeDocument{});
    received(document, replacer::ReadRegions{});
    received(document, replacer::KeepInputFieldsWhole{});
}

TEST_F(ReplacerCodec, ARequestWithoutTheDocumentOrWhatItsActionNeedsIsRefused) {
    const auto document = aDocument();
    EXPECT_FALSE(replacer::decodeRequest(replacer::encodeRequest({}, replacer::ReadRegions{})));
    EXPECT_FALSE(replacer::decodeRequest(
        replacer::encodeRequest(document, replacer::Replace{{}, u"a", u"b", false, {}})));
    EXPECT_FALSE(
        replacer::decodeRequest(replacer::encodeRequest(document, replacer::CheckSavedFile{})));
    EXPECT_FALSE(replacer::decodeRequest(replacer::encodeRequest(
        document, replacer::Replace{aText(), u"a", u"b", false, {aText(), {}}})));
    auto unknown = replacer::encodeRequest(document, replacer::ReadRegions{});
    unknown.getArray()[1].Value <<= OUString("Format");
    EXPECT_FALSE(replacer::decodeRequest(unknown));
}

TEST_F(ReplacerCodec, EveryAnswerReachesTheProgramAsItWasGiven) {
    const auto taken = replacer::decodeAnswer<replacer::TakeDocument>(replacer::encodeAnswer(
        replacer::TakeDocument::Answer{"Text (encoded)", "UTF8,LF", true, false}));
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->filter, "Text (encoded)");
    EXPECT_EQ(taken->filterOptions, "UTF8,LF");
    EXPECT_TRUE(taken->wordProcessing);
    EXPECT_FALSE(taken->inputFields);

    const auto replaced = replacer::decodeAnswer<replacer::Replace>(replacer::encodeAnswer(
        replacer::Replace::Answer{3, {u"一つ目", u"二つ目"}, {true, false, true}}));
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->count, 3);
    EXPECT_EQ(replaced->problems, (std::vector<std::u16string>{u"一つ目", u"二つ目"}));
    EXPECT_EQ(replaced->mayMatch, (std::vector<bool>{true, false, true}));

    // Sections keep their own headers and footers, each in its order; a shape without text stays
    // in its place as a null text.
    const TextRef a = aText();
    const TextRef b = aText();
    const TextRef c = aText();
    const auto regions = replacer::decodeAnswer<replacer::ReadRegions>(
        replacer::encodeAnswer(replacer::ReadRegions::Answer{{a, {}}, {{{a, b}, {}}, {{}, {c}}}}));
    ASSERT_TRUE(regions);
    EXPECT_EQ(regions->shapes, (std::vector<TextRef>{a, {}}));
    ASSERT_EQ(regions->sections.size(), 2u);
    EXPECT_EQ(regions->sections[0].headers, (std::vector<TextRef>{a, b}));
    EXPECT_TRUE(regions->sections[0].footers.empty());
    EXPECT_TRUE(regions->sections[1].headers.empty());
    EXPECT_EQ(regions->sections[1].footers, (std::vector<TextRef>{c}));

    const auto converted = replacer::decodeAnswer<replacer::KeepInputFieldsWhole>(
        replacer::encodeAnswer(replacer::KeepInputFieldsWhole::Answer{2, 5}));
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->controls, 2);
    EXPECT_EQ(converted->fields, 5);

    const auto checked = replacer::decodeAnswer<replacer::CheckSavedFile>(
        replacer::encodeAnswer(replacer::CheckSavedFile::Answer{
            {{u"ヘッダー・フッター", {u"第一章", u""}}, {u"本文", {u"末尾"}}}}));
    ASSERT_TRUE(checked);
    ASSERT_EQ(checked->lost.size(), 2u);
    EXPECT_EQ(checked->lost[0].region, u"ヘッダー・フッター");
    EXPECT_EQ(checked->lost[0].texts, (std::vector<std::u16string>{u"第一章", u""}));
    EXPECT_EQ(checked->lost[1].region, u"本文");
    EXPECT_EQ(checked->lost[1].texts, (std::vector<std::u16string>{u"末尾"}));
    EXPECT_TRUE(replacer::decodeAnswer<replacer::CheckSavedFile>(
                    replacer::encodeAnswer(replacer::CheckSavedFile::Answer{}))
                    ->lost.empty());
}

// An answer of another shape, as a library of another build might give, is not taken for one.
TEST_F(ReplacerCodec, AnAnswerOfAnotherShapeIsNotTakenForOne) {
    const Any counts = replacer::encodeAnswer(replacer::KeepInputFieldsWhole::Answer{1, 1});
    EXPECT_FALSE(replacer::decodeAnswer<replacer::Replace>(counts));
    EXPECT_FALSE(replacer::decodeAnswer<replacer::ReadRegions>(counts));
    EXPECT_FALSE(replacer::decodeAnswer<replacer::CheckSavedFile>(counts));
    EXPECT_FALSE(replacer::decodeAnswer<replacer::TakeDocument>(counts));
    EXPECT_FALSE(replacer::decodeAnswer<replacer::KeepInputFieldsWhole>(
        replacer::encodeAnswer(replacer::Replace::Answer{})));
    EXPECT_FALSE(replacer::decodeAnswer<replacer::KeepInputFieldsWhole>(Any()));
    // A region named without the text it lost.
    const OUString region = toOUString(u"本文");
    const Sequence<OUString> nameOnly(&region, 1);
    EXPECT_FALSE(replacer::decodeAnswer<replacer::CheckSavedFile>(
        Any(Sequence<Sequence<OUString>>(&nameOnly, 1))));
}

}  // namespace
}  // namespace quorvane::automation::office
