#include "automation/fake/fake_document.h"

#include <gtest/gtest.h>

namespace quorvane::automation::fake {
namespace {

// The tests write documents with every part the fake knows, and read back what the fake saved.
TEST(FakeDocument, EveryPartSurvivesASaveAndALoad) {
    FakeDocument document;
    document.body = u"一\n二";
    document.shapes = {{u"box"},
                       {std::nullopt},
                       {u"header box", FakeDocument::ShapeKind::Drawing, -1, true},
                       {u"grouped", FakeDocument::ShapeKind::Drawing, 4},
                       {std::nullopt, FakeDocument::ShapeKind::Group},
                       {std::nullopt, FakeDocument::ShapeKind::Canvas},
                       {u"drawn", FakeDocument::ShapeKind::Drawing, 5}};
    document.sections = {{{u"h1", u"first"}, {u"f1"}}, {}};
    document.readOnlyRecommended = true;
    document.updatesOnOpen = true;
    document.password = u"secret";
    const auto again = FakeDocument::parse(document.serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->serialize(), document.serialize());
    EXPECT_EQ(again->shapes.size(), document.shapes.size());
    EXPECT_EQ(again->sections, document.sections);
    EXPECT_FALSE(FakeDocument::parse("quorvane-fake-document\nnonsense\n"));
}

// Shift_JIS goes through the system's converter, which is another on each system.
TEST(FakeTextFile, EncodingsAreRecognisedAndWrittenBack) {
    const std::string shiftJis = "\x93\x8C\x8B\x9E\r\n";
    const auto read = text_file::decode(shiftJis, std::nullopt);
    EXPECT_EQ(read.encoding, text_file::kSystemCodePage);
    EXPECT_EQ(read.text, u"東京\n");
    EXPECT_EQ(text_file::encode(read.text, read.encoding, false, 0), shiftJis);
    EXPECT_EQ(text_file::encode(u"東\n", text_file::kSystemCodePage, false, 1), "\x93\x8C\r");

    const auto marked = text_file::decode("\xEF\xBB\xBF\xE6\x9D\xB1\n", std::nullopt);
    EXPECT_EQ(marked.encoding, text_file::kUtf8);
    EXPECT_TRUE(marked.byteOrderMark);
    EXPECT_EQ(text_file::decode(std::string("\xFE\xFF\x67\x71", 4), std::nullopt).text, u"東");
    EXPECT_EQ(text_file::encode(u"한", text_file::kSystemCodePage, false, 0), "?")
        << "what the code page cannot hold is lost";
}

}  // namespace
}  // namespace quorvane::automation::fake
