// quorvane-batch as a user runs it: the built binary, a real office, documents in a temp folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Body, header and a text box each hold "foo", so a test can tell which regions were replaced.
constexpr std::string_view kSampleFodt = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:automatic-styles>
  <style:page-layout style:name="pm1">
   <style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"/>
  </style:page-layout>
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Standard" style:page-layout-name="pm1">
   <style:header><text:p>HDR foo</text:p></style:header>
  </style:master-page>
 </office:master-styles>
 <office:body>
  <office:text>
   <text:p>BODY foo 東京</text:p>
   <text:p><draw:frame draw:name="Box1" text:anchor-type="paragraph" svg:width="6cm"
     svg:height="2cm" svg:x="1cm" svg:y="1cm"><draw:text-box><text:p>BOX foo</text:p>
     </draw:text-box></draw:frame></text:p>
  </office:text>
 </office:body>
</office:document>
)";

std::string quoted(const fs::path& path) {
    std::string out = "'";
    for (char c : path.native())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int exitStatus(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

class QuorvaneBatchTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::random_device rd;
        root_ = new fs::path(fs::temp_directory_path() /
                             ("quorvane-batch-e2e-" + std::to_string(rd()) + std::to_string(rd())));
        fs::create_directories(*root_ / "fixtures");
        std::ofstream(*root_ / "sample.fodt") << kSampleFodt;
        ASSERT_EQ(office("--convert-to docx --outdir " + quoted(*root_ / "fixtures") + " " +
                         quoted(*root_ / "sample.fodt")),
                  0);
        ASSERT_TRUE(fs::exists(sample())) << "the office did not convert the sample";
    }
    static void TearDownTestSuite() {
        fs::remove_all(*root_);
        delete root_;
    }

    QuorvaneBatchTest() {
        static int next = 0;
        dir_ = *root_ / ("case" + std::to_string(++next));
        fs::create_directories(dir_ / "docs");
        fs::create_directories(dir_ / "out");
    }

    // A headless office with a profile of its own, so that no user's office is disturbed.
    static int office(const std::string& arguments) {
        const std::string command = "soffice -env:UserInstallation=file://" +
                                    (*root_ / "profile").native() + " --headless --norestore " +
                                    arguments + " >/dev/null 2>&1";
        return exitStatus(std::system(command.c_str()));
    }
    static fs::path sample() { return *root_ / "fixtures" / "sample.docx"; }

    Result batch(const std::string& arguments, const std::string& input = "/dev/null") const {
        const std::string command = "cd " + quoted(dir_) + " && " + quoted(QUORVANE_BATCH) + " " +
                                    arguments + " <" + input + " >out.txt 2>err.txt";
        const int status = exitStatus(std::system(command.c_str()));
        return {status, readFile(dir_ / "out.txt"), readFile(dir_ / "err.txt")};
    }

    // The document's text as flat ODF, which holds body, headers and text boxes alike.
    std::string text(const fs::path& document) const {
        const fs::path flat = dir_ / "flat";
        fs::create_directories(flat);
        EXPECT_EQ(office("--convert-to fodt --outdir " + quoted(flat) + " " + quoted(document)), 0);
        return readFile(flat / (document.stem().string() + ".fodt"));
    }

    static fs::path* root_;
    fs::path dir_;
};

fs::path* QuorvaneBatchTest::root_ = nullptr;

TEST_F(QuorvaneBatchTest, CopiesOfAFolderLandUnderItsNameAndOriginalsStayUntouched) {
    fs::copy_file(sample(), dir_ / "docs/one.docx");
    fs::copy_file(sample(), dir_ / "docs/two.docx");
    const std::string original = readFile(dir_ / "docs/one.docx");

    const Result r = batch("--copy-to out --pair foo bar docs/");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    for (const char* name : {"one", "two"}) {
        const std::string copy = text(dir_ / "out/docs" / (std::string(name) + ".docx"));
        EXPECT_NE(copy.find("BODY 「bar」 東京"), std::string::npos) << name;
        EXPECT_NE(copy.find("HDR 「bar」"), std::string::npos) << name;
        EXPECT_NE(copy.find("BOX 「bar」"), std::string::npos) << name;
    }
    EXPECT_EQ(readFile(dir_ / "docs/one.docx"), original);
}

TEST_F(QuorvaneBatchTest, ADamagedDocumentIsReportedAndTheOthersProcessed) {
    fs::copy_file(sample(), dir_ / "docs/good.docx");
    const std::string whole = readFile(sample());
    std::ofstream(dir_ / "docs/damaged.docx", std::ios::binary)
        << whole.substr(0, whole.size() / 3);

    const Result r = batch("--copy-to out --pair foo bar docs");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find((dir_ / "out/docs/damaged.docx").native() + "\t"), std::string::npos)
        << r.out;
    EXPECT_NE(text(dir_ / "out/docs/good.docx").find("BODY 「bar」"), std::string::npos);
}

TEST_F(QuorvaneBatchTest, EveryRegionOfARealDocument) {
    const fs::path regions = fs::path(QUORVANE_SHARED_TESTDATA) / "made/regions.docx";
    if (!fs::exists(regions))
        GTEST_SKIP() << "../shared/testdata is not here: " << regions;
    fs::copy_file(regions, dir_ / "docs/regions.docx");
    Result r = batch("--copy-to out --pair foo bar docs/regions.docx");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string copy = text(dir_ / "out/regions.docx");
    for (const char* label : {"HDR-default ", "HDR-first ", "HDR-even ", "FTR-default ",
                              "HDR-sec2 ", "FTR-sec2 ", "BODY-1 ", "CELL-A1 ", "NESTED-A1 "}) {
        EXPECT_NE(copy.find(std::string(label) + "「bar」"), std::string::npos) << label;
    }
    r = batch("--copy-to out --pair foo bar --regions headers docs/regions.docx");
    EXPECT_EQ(r.status, 0) << r.err;
    copy = text(dir_ / "out/regions.docx");
    EXPECT_NE(copy.find("HDR-sec2 「bar」"), std::string::npos);
    EXPECT_NE(copy.find("BODY-1 foo"), std::string::npos);
}

}  // namespace
