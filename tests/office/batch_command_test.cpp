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

}  // namespace
}  // namespace quorvane::testing
