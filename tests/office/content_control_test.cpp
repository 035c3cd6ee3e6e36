#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "office_test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using Counts = std::map<std::u16string, int>;

// Whether text lies wholly inside a content control of the part.
bool insideControl(const std::string& xml, const std::string& text) {
    const std::string marked = markedText(xml);
    const auto at = marked.find(text);
    if (at == std::string::npos)
        return false;
    const auto open = marked.rfind("⟦", at);
    const auto closed = marked.rfind("⟧", at);
    return open != std::string::npos && (closed == std::string::npos || closed < open) &&
           marked.find("⟧", at) != std::string::npos;
}

// Replaces as a run does, everything chosen but what is switched off here; the failures.
std::vector<std::u16string> replace(const fs::path& document, std::u16string find,
                                    const std::u16string& replacement, bool headers,
                                    bool matchCase) {
    Passes passes;
    passes.request.regions.headersAndFooters = headers;
    passes.request.matchCase = matchCase;
    passes.run(document, std::move(find), replacement);
    return passes.failures;
}

// Each foo sits in a paragraph of its own label, in a control, a form field, or none.
TEST(ContentControls, TextInControlsAndFormFieldsIsReplacedInItsRegionAndStaysAControl) {
    auto& reader = Offices::reader();
    const fs::path original = kShared / "made" / "contentcontrols.docx";
    if (!fs::exists(original))
        GTEST_SKIP() << "../shared/testdata is not there";
    TempFolder scratch;
    const fs::path docx = scratch.copy(original);
    // Word 97 keeps the plain-text controls as text form fields; ODF keeps them as they are.
    reader.convert(original, scratch.path() / "contentcontrols.doc", u"MS Word 97");
    reader.convert(original, scratch.path() / "contentcontrols.odt", u"writer8");
    const auto before = reader.count(docx, u"foo");
    ASSERT_EQ(before.size(), 8u);

    for (const char* name :
         {"contentcontrols.docx", "contentcontrols.doc", "contentcontrols.odt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(replace(scratch.path() / name, u"foo", u"baz", true, true).empty());
        EXPECT_EQ(reader.count(scratch.path() / name, u"foo"), Counts{});
        EXPECT_EQ(reader.count(scratch.path() / name, u"baz"), before);
    }
    const std::string body = partOf(docx, "word/document.xml");
    const std::string header = partOf(docx, "word/header1.xml");
    for (const char* text : {"CC-plain 「baz」", "CC-whole 「baz」", "CC-block 「baz」",
                             "CC-rich 「baz」", "CC-cell 「baz」"})
        EXPECT_TRUE(insideControl(body, text)) << text;
    EXPECT_TRUE(insideControl(header, "CC-header 「baz」"));
    const std::string marked = markedText(body);
    EXPECT_NE(marked.find("⟨CC-formfield 「baz」⟩"), std::string::npos) << marked;

    const fs::path untouchedHeader = scratch.copy(original, "untouched-header.docx");
    EXPECT_TRUE(replace(untouchedHeader, u"foo", u"baz", false, true).empty());
    EXPECT_EQ(reader.count(untouchedHeader, u"foo"), (Counts{{u"CC-HDR-before", 1}}));
    EXPECT_TRUE(insideControl(partOf(untouchedHeader, "word/header1.xml"), "CC-header foo"));
}

// Comments are not part of any region: the text around them is replaced, theirs is not, and an
// input field is while a field that shows the document's title is not.
TEST(ContentControls, CommentsAndComputedFieldsAreLeftAsTheyAre) {
    auto& reader = Offices::reader();
    TempFolder scratch;
    const fs::path fodt = scratch.copy(kOwnData / "comments-and-fields.fodt");
    reader.convert(fodt, scratch.path() / "comments-and-fields.docx", u"MS Word 2007 XML");
    for (const fs::path& document : {fodt, scratch.path() / "comments-and-fields.docx"}) {
        SCOPED_TRACE(document.string());
        const auto comments = reader.comments(document);
        ASSERT_EQ(comments, std::vector<std::u16string>{u"COMMENT foo"});
        EXPECT_TRUE(replace(document, u"FOO", u"baz", true, false).empty());
        EXPECT_EQ(reader.comments(document), comments);
        EXPECT_EQ(reader.count(document, u"baz"),
                  (Counts{{u"BODY-comment", 2}, {u"BODY-input", 1}}));
        EXPECT_EQ(reader.paragraph(document, u"BODY-title", u"BODY-title"),
                  u"BODY-title foo title");
    }
}

// Opening a document refreshes a bound control from its data: the data must carry the
// replacement, or the next open shows the old text again.
TEST(ContentControls, ControlsBoundToTheDocumentsDataTakeTheirDataAlong) {
    auto& reader = Offices::reader();
    TempFolder scratch;
    const fs::path docx = scratch.path() / "bound-controls.docx";
    const std::string make =
        "python3 '" + (kOwnData / "bound-controls.py").string() + "' '" + docx.string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    EXPECT_TRUE(replace(docx, u"foo", u"baz", true, true).empty());

    EXPECT_TRUE(reader.count(docx, u"foo").empty());
    EXPECT_EQ(reader.count(docx, u"baz"), (Counts{{u"BOUND-author", 1},
                                                  {u"BOUND-company", 1},
                                                  {u"BOUND-cover", 1},
                                                  {u"BOUND-keywords", 1},
                                                  {u"BOUND-title", 1}}));
    EXPECT_EQ(reader.paragraph(docx, u"baz", u"BOUND-keywords"), u"BOUND-keywords 「baz」, keys");
    const std::string core = partOf(docx, "docProps/core.xml");
    EXPECT_NE(core.find(">「baz」 writer</dc:creator>"), std::string::npos) << core;
    EXPECT_NE(core.find(">「baz」, keys</cp:keywords>"), std::string::npos) << core;
    EXPECT_NE(core.find(">「baz」 title</dc:title>"), std::string::npos) << core;
    EXPECT_NE(partOf(docx, "docProps/app.xml").find(">「baz」 company</Company>"),
              std::string::npos);
    EXPECT_NE(partOf(docx, "customXml/item1.xml").find(">「baz」 cover</Abstract>"),
              std::string::npos);
}

}  // namespace
}  // namespace quorvane
