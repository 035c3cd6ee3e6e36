#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "automation/office/office_factory.h"
#include "document_reader.h"
#include "os/file_system.h"
#include "run/document_passes.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using automation::Variant;
using automation::office::OfficeFactory;
using testing::DocumentReader;

const fs::path kShared = QUORVANE_SHARED_TESTDATA;
const fs::path kOwnData = QUORVANE_OFFICE_TEST_DATA;

class Scratch final {
  public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "quorvane-cc-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path copy(const fs::path& source) const {
        const fs::path target = path_ / source.filename();
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
        return target;
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

// One part of a .docx package.
std::string partOf(const fs::path& package, const std::string& name) {
    const std::string command = "unzip -p '" + package.string() + "' '" + name + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string text;
    char buffer[4096];
    while (pipe && !std::feof(pipe.get())) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get());
        text.append(buffer, n);
        if (n == 0)
            break;
    }
    return text;
}

// Whether the first occurrence of text lies inside a content control of xml.
bool insideControl(const std::string& xml, const std::string& text) {
    const auto at = xml.find(text);
    const auto open = xml.rfind("<w:sdtContent>", at);
    return at != std::string::npos && open != std::string::npos &&
           xml.find("</w:sdtContent>", open) > at + text.size();
}

class ContentControls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        reader_ = std::make_unique<DocumentReader>();
        factory_ = std::make_unique<OfficeFactory>();
        application_ = factory_->create(u"Word.Application");
    }
    static void TearDownTestSuite() {
        application_.call(u"Quit");
        application_ = Variant();
        factory_.reset();
        reader_.reset();
    }

    // Replaces as a run does; everything is chosen but what is switched off here.
    // The failure, empty when the document was opened and saved.
    static std::u16string replace(const fs::path& document, std::u16string find,
                                  const std::u16string& replacement, bool headers, bool matchCase) {
        run::RunRequest request;
        request.regions.headersAndFooters = headers;
        request.matchCase = matchCase;
        const automation::word::Application application(application_);
        const run::WidthForms widths;
        run::DocumentPasses passes(request, application, widths);
        const std::u16string path = os::fromNativePath(document);
        const std::u16string failure = passes.replaceInDocument(path, find, replacement).failure;
        const std::u16string unsaved = passes.finishDocument(path);
        return failure.empty() ? unsaved : failure;
    }

    static inline std::unique_ptr<DocumentReader> reader_;
    static inline std::unique_ptr<OfficeFactory> factory_;
    static inline Variant application_;
};

// Each foo sits in a paragraph of its own label, in a control, a form field, or none.
TEST_F(ContentControls, TextInControlsAndFormFieldsIsReplacedInItsRegionAndStaysAControl) {
    const fs::path original = kShared / "made" / "contentcontrols.docx";
    if (!fs::exists(original))
        GTEST_SKIP() << "../shared/testdata is not there";
    Scratch scratch;
    const fs::path docx = scratch.copy(original);
    // Word 97 keeps the plain-text controls as text form fields; ODF keeps them as they are.
    reader_->convert(original, scratch / "contentcontrols.doc", u"MS Word 97");
    reader_->convert(original, scratch / "contentcontrols.odt", u"writer8");
    const auto before = reader_->count(docx, u"foo");
    ASSERT_EQ(before.size(), 8u);

    for (const char* name :
         {"contentcontrols.docx", "contentcontrols.doc", "contentcontrols.odt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(replace(scratch / name, u"foo", u"baz", true, true).empty());
        EXPECT_EQ(reader_->count(scratch / name, u"foo"), (std::map<std::u16string, int>{}));
        EXPECT_EQ(reader_->count(scratch / name, u"baz"), before);
    }
    const std::string body = partOf(docx, "word/document.xml");
    const std::string header = partOf(docx, "word/header1.xml");
    for (const char* text :
         {"CC-plain baz", "CC-whole baz", "CC-block baz", "CC-rich baz", "CC-cell baz"}) {
        EXPECT_TRUE(insideControl(body, text)) << text;
    }
    EXPECT_TRUE(insideControl(header, "CC-header baz"));
    const auto result = body.find("CC-formfield baz");
    EXPECT_LT(body.rfind("w:fldCharType=\"separate\"", result), result);
    EXPECT_GT(body.find("w:fldCharType=\"end\"", result), result);

    const Scratch again;
    const fs::path untouchedHeader = again.copy(original);
    EXPECT_TRUE(replace(untouchedHeader, u"foo", u"baz", false, true).empty());
    EXPECT_EQ(reader_->count(untouchedHeader, u"foo"),
              (std::map<std::u16string, int>{{u"CC-HDR-before", 1}}));
    EXPECT_TRUE(insideControl(partOf(untouchedHeader, "word/header1.xml"), "CC-header foo"));
}

// Comments are not part of any region: the text around them is replaced, theirs is not, and an
// input field is while a field that shows the document's title is not.
TEST_F(ContentControls, CommentsAndComputedFieldsAreLeftAsTheyAre) {
    Scratch scratch;
    const fs::path fodt = scratch.copy(kOwnData / "comments-and-fields.fodt");
    reader_->convert(fodt, scratch / "comments-and-fields.docx", u"MS Word 2007 XML");
    for (const fs::path& document : {fodt, scratch / "comments-and-fields.docx"}) {
        SCOPED_TRACE(document.string());
        const auto comments = reader_->comments(document);
        ASSERT_EQ(comments, std::vector<std::u16string>{u"COMMENT foo"});
        EXPECT_TRUE(replace(document, u"FOO", u"baz", true, false).empty());
        EXPECT_EQ(reader_->comments(document), comments);
        EXPECT_EQ(reader_->count(document, u"baz"),
                  (std::map<std::u16string, int>{{u"BODY-comment", 2}, {u"BODY-input", 1}}));
        EXPECT_EQ(reader_->paragraph(document, u"BODY-title", u"BODY-title"),
                  u"BODY-title foo title");
    }

    const fs::path word = kShared / "word" / "comments-rich-para.docx";
    if (!fs::exists(word))
        GTEST_SKIP() << "../shared/testdata is not there";
    const fs::path document = scratch.copy(word);
    const auto comments = reader_->comments(document);
    // Its comments say "Text ...", which a search without regard to case would meet.
    ASSERT_FALSE(comments.empty());
    EXPECT_TRUE(replace(document, u"text", u"baz", true, false).empty());
    EXPECT_EQ(reader_->comments(document), comments);
    EXPECT_TRUE(reader_->count(document, u"text").empty());
    EXPECT_FALSE(reader_->count(document, u"baz").empty());
}

// Opening a document refreshes a bound control from its data: the data must carry the
// replacement, or the next open shows the old text again.
TEST_F(ContentControls, ControlsBoundToTheDocumentsDataTakeTheirDataAlong) {
    Scratch scratch;
    const fs::path docx = scratch / "bound-controls.docx";
    const std::string make =
        "python3 '" + (kOwnData / "bound-controls.py").string() + "' '" + docx.string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    EXPECT_TRUE(replace(docx, u"foo", u"baz", true, true).empty());

    EXPECT_TRUE(reader_->count(docx, u"foo").empty());
    EXPECT_EQ(reader_->count(docx, u"baz"), (std::map<std::u16string, int>{{u"BOUND-author", 1},
                                                                           {u"BOUND-company", 1},
                                                                           {u"BOUND-cover", 1},
                                                                           {u"BOUND-keywords", 1},
                                                                           {u"BOUND-title", 1}}));
    EXPECT_EQ(reader_->paragraph(docx, u"baz", u"BOUND-keywords"), u"BOUND-keywords baz, keys");
    const std::string core = partOf(docx, "docProps/core.xml");
    EXPECT_NE(core.find(">baz writer</dc:creator>"), std::string::npos) << core;
    EXPECT_NE(core.find(">baz, keys</cp:keywords>"), std::string::npos) << core;
    EXPECT_NE(core.find(">baz title</dc:title>"), std::string::npos) << core;
    EXPECT_NE(partOf(docx, "docProps/app.xml").find(">baz company</Company>"), std::string::npos);
    EXPECT_NE(partOf(docx, "customXml/item1.xml").find(">baz cover</Abstract>"), std::string::npos);
}

}  // namespace
}  // namespace quorvane
