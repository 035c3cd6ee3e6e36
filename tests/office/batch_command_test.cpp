// quorvane-batch as a user runs it: the built binary, a real office, documents in a temp folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "office_test_support.h"
#include "os/text_encoding.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Offices);

// A folder of the test's own, the sample .docx in it as name (body, header, text box and table
// cell each hold foo after a label), and what quorvane-batch said there.
class QuorvaneBatch : public ::testing::Test {
  protected:
    TempFolder dir;
    DocumentReader& reader = Offices::reader();

    fs::path sample(const std::string& name) const {
        return copyInto(dir, Offices::ownDocuments().front(), name);
    }
    std::string said(const char* stream = "err.txt") const { return readFile(dir.path() / stream); }
    bool replaced(const fs::path& document, const std::u16string& replacement = u"「bar」") {
        return reader.count(document, replacement).contains(u"BODY-end");
    }
};

// Word's content controls of every common kind, each holding foo, one in the header: each foo
// becomes 「b」 where it stood and stays in its control, and the user learns what the save could
// not keep of the controls.
TEST_F(QuorvaneBatch, ContentControlsComeBackWholeAndTheLossIsTold) {
    const fs::path original = kShared / "made" / "contentcontrols.docx";
    if (!fs::exists(original))
        GTEST_SKIP() << "../shared/testdata is not there";
    fs::create_directory(dir.path() / "out");
    EXPECT_EQ(runBatch(dir.path(), "--copy-to out --pair foo b '" + original.string() + "'"), 0)
        << said();

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
    EXPECT_NE(said().find("コンテンツ コントロール"), std::string::npos) << said();
}

// Two runs at once over the same originals, each with its own pair: every document ends with
// both runs' replacements, or the run that did not get to it says so. Neither writes over what
// the other saved.
TEST_F(QuorvaneBatch, TwoRunsAtOnceOverOneFolderLoseNoEdits) {
    const fs::path docs = dir.path() / "docs";
    for (const char* folder : {"docs", "a", "b"})
        fs::create_directory(dir.path() / folder);
    constexpr int kDocuments = 30;
    for (int i = 0; i < kDocuments; ++i)
        sample("docs/d" + std::to_string(i) + ".docx");
    const std::string command =
        "( cd '" + dir.path().string() +
        "/a' && '" QUORVANE_BATCH
        "' --in-place --yes --pair foo bar ../docs >out.txt 2>err.txt & cd '" +
        dir.path().string() +
        "/b' && '" QUORVANE_BATCH
        "' --in-place --yes --pair 名古屋 京都 ../docs >out.txt 2>err.txt; wait ) </dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // Whether the run reported the document as not processed.
    const auto missedBy = [&](const char* run, const fs::path& document) {
        return readFile(dir.path() / run / "out.txt").find(document.string() + "\t") !=
               std::string::npos;
    };
    for (int i = 0; i < kDocuments; ++i) {
        const fs::path document = docs / ("d" + std::to_string(i) + ".docx");
        SCOPED_TRACE(document.string());
        // BODY-end holds foo, BODY-wide two of them and 名古屋 once.
        auto brackets = reader.count(document, u"「");
        const bool a = brackets[u"BODY-end"] == 1;
        const bool b = brackets[u"BODY-wide"] - 2 * brackets[u"BODY-end"] == 1;
        EXPECT_NE(a, missedBy("a", document)) << "run a";
        EXPECT_NE(b, missedBy("b", document)) << "run b";
    }
}

// Anyone may plant a link in a shared temporary folder, where the office's private folders were
// once kept for every user: the run follows none, neither writing into their targets nor
// removing anything there, whatever the names look like.
TEST_F(QuorvaneBatch, LinksPlantedInTheTemporaryFolderAreNeverFollowed) {
    const fs::path victim = dir.path() / "victim";
    fs::create_directories(victim / "2019-reports");
    std::ofstream(victim / "2019-reports" / "a.txt") << "x";
    const fs::path shared = dir.path() / "tmp";
    fs::create_directory(shared);
    fs::create_directory_symlink(victim, shared / "quorvane-office");
    fs::create_directory_symlink(victim, shared / "quorvane-1-aaaaaa");
    fs::create_directory_symlink(victim, shared / "quorvane-999999-aaaaaa");
    const fs::path document = sample("a.docx");

    EXPECT_EQ(runBatch(dir.path(), "--in-place --yes --pair foo bar a.docx",
                       "env -u XDG_RUNTIME_DIR TMPDIR='" + shared.string() + "'"),
              0)
        << said();
    EXPECT_TRUE(replaced(document));
    EXPECT_TRUE(fs::exists(victim / "2019-reports" / "a.txt"));
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(victim), {}), 2);
}

// Each user's office runs in folders of that user's own: a second user runs as the first did,
// in the same temporary folder, even with a runtime folder of the first user's named to it. What
// is no document says what it is: a named pipe is no file that went missing, and a file the user
// may write but not read is not read-only.
TEST_F(QuorvaneBatch, ASecondUserRunsBesideTheFirst) {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "a second user needs root and setpriv here";
    fs::permissions(dir.path(), fs::perms::all);
    const fs::path shared = dir.path() / "tmp";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    const fs::path runtime = dir.path() / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const std::string environment = "env TMPDIR='" + shared.string() + "' XDG_RUNTIME_DIR='" +
                                    runtime.string() + "' XDG_STATE_HOME='" +
                                    (dir.path() / "state").string() + "' HOME='" +
                                    dir.path().string() + "'";
    const fs::path first = sample("first.docx");
    const fs::path second = sample("second.docx");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.docx").c_str(), 0600), 0);
    std::ofstream(dir.path() / "write-only.docx") << "x";
    fs::permissions(dir.path() / "write-only.docx", fs::perms::owner_write);
    for (const fs::path& theirs : {second, dir.path() / "write-only.docx", dir.path()})
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);

    EXPECT_EQ(runBatch(dir.path(), "--in-place --yes --pair foo bar first.docx", environment), 0)
        << said();
    EXPECT_EQ(runBatch(dir.path(),
                       "--in-place --yes --pair foo bar second.docx pipe.docx write-only.docx",
                       "setpriv --reuid=65534 --regid=65534 --clear-groups " + environment),
              1)
        << said();
    const std::string opened = "\t開けませんでした：";
    EXPECT_EQ(said("out.txt"),
              (dir.path() / "pipe.docx").string() + opened +
                  "通常のファイルではない（フォルダーや名前付きパイプなど）ため開けません\n" +
                  (dir.path() / "write-only.docx").string() + opened +
                  "読み取りが許可されていないため開けません。権限を確かめてからやり直してくだ"
                  "さい\n");
    EXPECT_TRUE(replaced(first));
    EXPECT_TRUE(replaced(second));
    ASSERT_EQ(::chown(dir.path().c_str(), 0, 0), 0);
}

// What a folder holds, file by file, with each file's bytes.
std::map<fs::path, std::string> contentsOf(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[entry.path()] = entry.is_regular_file() ? readFile(entry.path()) : "(folder)";
    return files;
}

// Checks a JSON report with Python's own reader against what the command printed; with other, the
// counts of both reports must agree.
void expectReportAgrees(const fs::path& dir, const std::string& report,
                        const std::string& other = {}) {
    const std::string command = "cd '" + dir.string() + "' && python3 '" +
                                (kOwnData / "check-report.py").string() + "' " + report +
                                " out.txt " + other + " >check.txt 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readFile(dir / "check.txt");
}

// A read-only original is copied and its copy replaced, in every region, the original kept: a dry
// run of copies counts it as the run does, though it opens the original itself.
TEST_F(QuorvaneBatch, ADryRunOfCopiesCountsAReadOnlyOriginalAsTheRunDoes) {
    for (const char* folder : {"docs", "out"})
        fs::create_directories(dir.path() / folder);
    const fs::path original = sample("docs/sample.docx");
    const std::string bytes = readFile(original);
    fs::permissions(original, fs::perms::owner_read | fs::perms::group_read,
                    fs::perm_options::replace);
    for (const std::string dry : {" --dry-run", ""}) {
        SCOPED_TRACE(dry);
        EXPECT_EQ(runBatch(dir.path(), "--copy-to out --pair foo bar docs" + dry), 0) << said();
        EXPECT_NE(said().find("置換あり 1 件"), std::string::npos) << said();
    }
    const auto copy = reader.count(dir.path() / "out/docs/sample.docx", u"「bar」");
    for (const auto* label : {u"BODY-end", u"HDR-own", u"TEXTBOX-own", u"CELL-own"})
        EXPECT_TRUE(copy.contains(label)) << os::toUtf8(label);
    EXPECT_EQ(readFile(original), bytes);
}

// A dry run over sub-folders foresees every count of the run and leaves the folder byte for byte
// as it was; its report, read with a standard JSON reader, says what standard output said, a name
// that is not UTF-8 included. The run then keeps the originals it writes, and they go back.
TEST_F(QuorvaneBatch, ADryRunForeseesTheRunWhoseBackupsThenGoBack) {
    const fs::path docs = dir.path() / "docs";
    fs::create_directories(docs / "sub");
    const fs::path first = sample("docs/sample.docx");
    sample("docs/sub/b.docx");
    std::ofstream(docs / "sub" / "damaged\xff.docx") << readFile(first).substr(0, 2000);
    const auto before = contentsOf(docs);
    const std::string pairs = " --recursive --pair foo bar --pair bar baz ";

    EXPECT_EQ(runBatch(dir.path(), "--in-place --dry-run --report plan.json" + pairs + "docs"), 1)
        << said();
    EXPECT_EQ(contentsOf(docs), before);
    EXPECT_NE(said("out.txt").find("damaged\xff.docx\t開けませんでした"), std::string::npos);
    expectReportAgrees(dir.path(), "plan.json");

    EXPECT_EQ(
        runBatch(dir.path(), "--in-place --yes --backup-to bk --report done.json" + pairs + "docs"),
        1)
        << said();
    expectReportAgrees(dir.path(), "done.json", "plan.json");
    EXPECT_TRUE(replaced(first, u"「「baz」」"));
    EXPECT_EQ(readFile(dir.path() / "bk" / "docs" / "sub" / "b.docx"),
              before.at(docs / "sub" / "b.docx"));
    EXPECT_FALSE(fs::exists(dir.path() / "bk" / "docs" / "sub" / "damaged\xff.docx"));

    EXPECT_EQ(runBatch(dir.path(), "--restore bk"), 0) << said();
    EXPECT_EQ(contentsOf(docs), before);
}

}  // namespace
}  // namespace quorvane::testing
