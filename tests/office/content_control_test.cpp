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

// What a run makes of the text of content controls, form fields, comments and computed fields the
// fidelity suite shows in every format, and that controls stay controls quorvane-batch's test.
// Opening a document refreshes a bound control from its data: the data must carry the
// replacement, or the next open shows the old text again.
TEST(ContentControls, ControlsBoundToTheDocumentsDataTakeTheirDataAlong) {
    auto& reader = Offices::reader();
    TempFolder scratch;
    const fs::path docx = scratch.path() / "bound-controls.docx";
    const std::string make =
        "python3 '" + (kOwnData / "bound-controls.py").string() + "' '" + docx.string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    Passes passes;
    passes.run(docx, u"foo", u"baz");
    EXPECT_TRUE(passes.failures.empty());

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
