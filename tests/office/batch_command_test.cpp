// quorvane-batch as a user runs it: the built binary, a real office, documents in a temp folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "office_test_support.h"
#include "os/text_encoding.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

// Body, header, text box and table cell of the sample each hold foo after a label.
TEST(QuorvaneBatch, CopiesOfAFolderAreReplacedADamagedOneReportedAndOriginalsKept) {
    TempFolder dir;
    DocumentReader reader;
    fs::create_directory(dir.path() / "docs");
    fs::create_directory(dir.path() / "out");
    const fs::path sample = dir.path() / "docs" / "sample.docx";
    reader.convert(kOwnData / "sample.fodt", sample, u"MS Word 2007 XML");
    const std::string original = bytesOf(sample);
    std::ofstream(dir.path() / "docs" / "damaged.docx") << original.substr(0, original.size() / 3);

    const std::string command =
        "cd '" + dir.path().string() +
        "' && '" QUORVANE_BATCH
        "' --copy-to out --pair foo bar docs/ </dev/null >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << bytesOf(dir.path() / "err.txt");
    const std::string out = bytesOf(dir.path() / "out.txt");
    EXPECT_TRUE(out.starts_with((dir.path() / "out/docs/damaged.docx").string() + "\t")) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    const auto copy = reader.count(dir.path() / "out/docs/sample.docx", u"「bar」");
    for (const auto* label : {u"BODY-end", u"HDR-own", u"TEXTBOX-own", u"CELL-own"})
        EXPECT_TRUE(copy.contains(label)) << os::toUtf8(label);
    EXPECT_EQ(bytesOf(sample), original);
}

// Word's content controls of every common kind, each holding foo, one in the header: each foo
// becomes 「b」 where it stood and stays in its control, and the user learns what the save could
// not keep of the controls.
TEST(QuorvaneBatch, ContentControlsComeBackWholeAndTheLossIsTold) {
    const fs::path original = kShared / "made" / "contentcontrols.docx";
    if (!fs::exists(original))
        GTEST_SKIP() << "../shared/testdata is not there";
    TempFolder dir;
    fs::create_directory(dir.path() / "out");
    const std::string command = "cd '" + dir.path().string() +
                                "' && '" QUORVANE_BATCH "' --copy-to out --pair foo b '" +
                                original.string() + "' </dev/null >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << bytesOf(dir.path() / "err.txt");

    const fs::path copy = dir.path() / "out" / "contentcontrols.docx";
    const std::string body = markedText(partOf(copy, "word/document.xml"));
    const std::string header = markedText(partOf(copy, "word/header1.xml"));
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(body + header, "「"), 8u) << body << header;
    EXPECT_EQ(count(body + header, "「b」"), 8u);
    for (const char* label : {"CC-plain", "CC-whole", "CC-block", "CC-rich", "CC-cell"})
        EXPECT_NE(body.find(std::string("⟦") + label + " 「b」"), std::string::npos) << label;
    EXPECT_NE(header.find("⟦CC-header 「b」"), std::string::npos) << header;
    EXPECT_NE(body.find("CC-none 「b」 plain paragraph"), std::string::npos) << body;
    EXPECT_NE(body.find("⟨CC-formfield 「b」⟩"), std::string::npos) << body;
    EXPECT_NE(bytesOf(dir.path() / "err.txt").find("コンテンツ コントロール"), std::string::npos)
        << bytesOf(dir.path() / "err.txt");
}

}  // namespace
}  // namespace quorvane::testing
