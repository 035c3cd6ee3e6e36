#include <signal.h>
#include <sys/mount.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "office_test_support.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "os/width_mapping.h"
#include "run/run_driver.h"
#include "system_calls.h"
#include "test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testing;
namespace system_calls = test::system_calls;
using automation::office::OfficeFactory;
using Folders = std::vector<std::string>;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Offices);

// The offices that ran before the test, which it leaves alone, their private files, and a folder
// of the test's own.
class OfficeBackend : public ::testing::Test {
  protected:
    const std::set<pid_t> shared = officeChildren();
    const std::vector<std::string> privateFiles = privateFilesOfOurs();
    TempFolder folder;
};

// Which regions a run replaces in, case and what a match may cross: the fidelity suite shows it,
// word for word, on every format. What it cannot read is formatting: a match across a change of
// it takes the formatting of its first character.
TEST_F(OfficeBackend, AMatchAcrossAChangeOfFormattingTakesThatOfItsFirstCharacter) {
    for (const auto& original : Offices::ownDocuments()) {
        SCOPED_TRACE(original.string());
        const fs::path document = copyInto(folder, original);
        Passes passes;
        passes.run(document, u"foo", u"baz");
        EXPECT_TRUE(Offices::reader().bold(document, u"baz", u"BODY-split"));
    }
}

// A file that is not a document we may edit is reported, left as it was, and the run goes on
// with the next document, even after one that brings the office down.
TEST_F(OfficeBackend, ReportsBrokenDocumentsAndGoesOn) {
    if (!fs::exists(kShared / "broken"))
        GTEST_SKIP() << "../shared/testdata is not there";
    const fs::path good = copyInto(folder, Offices::ownDocuments().front());
    for (const auto& entry : fs::directory_iterator(kShared / "broken")) {
        const fs::path name = entry.path().filename();
        if (name == "pw.docx")  // despite its name an ordinary document
            continue;
        SCOPED_TRACE(name.string());
        const fs::path document = copyInto(folder, entry.path());
        const std::string bytes = readFile(document);
        Passes passes;
        passes.run(document, u"foo", u"baz");
        ASSERT_EQ(passes.failures.size(), 1u);
        EXPECT_TRUE(passes.failures[0].starts_with(u"開けませんでした："));
        if (name == "pw.odt" || name == "pw.doc") {
            EXPECT_NE(passes.failures[0].find(u"パスワード"), std::u16string::npos);
        }
        EXPECT_EQ(readFile(document), bytes);

        Passes next;
        next.regions(true, false, false);
        next.run(good, u"foo", u"foo");
        EXPECT_TRUE(next.failures.empty());
        EXPECT_EQ(leftovers(folder.path()), Folders{});
    }
}

// A tmpfs of its own, which only root may mount, holding a copy of document as full.docx and
// filled to the last block.
class FullDisk final {
  public:
    FullDisk(const fs::path& at, const fs::path& document) : path_(at) {
        fs::create_directory(path_);
        mounted_ = ::mount("quorvane-test", path_.c_str(), "tmpfs", 0, "size=1m") == 0;
        if (!mounted_)
            return;
        fs::copy_file(document, path_ / "full.docx");
        std::ofstream filler(path_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            filler.flush();
    }
    ~FullDisk() {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    bool mounted() const { return mounted_; }

  private:
    fs::path path_;
    bool mounted_ = false;
};

TEST_F(OfficeBackend, RefusesWithAReasonAndLeavesTheDocumentAsItWas) {
    const fs::path own = Offices::ownDocuments().front();
    const fs::path readOnly = copyInto(folder, own, "readonly.docx");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    const fs::path locked = copyInto(folder, own, "locked.docx");
    // What another office writes beside a document it has open.
    const std::string lock = ".~lock.locked.docx#";
    std::ofstream(folder.path() / lock) << "someone,host,someone,06.12.2026 20:00,file:///x;";
    // A folder so deep that the document's path just fits, and no name beside it longer than
    // its own does.
    fs::path deep = folder.path();
    while (deep.string().size() < 4080 - 255)
        deep /= std::string(250, 'd');
    deep /= std::string(4080 - deep.string().size() - 1, 'e');
    fs::create_directories(deep);
    fs::copy_file(own, deep / "a.docx");
    const FullDisk disk(folder.path() / "disk", own);
    // Loaded by the office as a web page, which is no word-processing document.
    const fs::path page = folder.path() / "page.html";
    std::ofstream(page) << "<html><body><p>foo</p></body></html>\n";

    const std::pair<fs::path, std::u16string> cases[] = {
        {readOnly,
         u"開けませんでした：読み取り専用のため保存できません。書き込みを許可してからやり直してく"
         u"ださい"},
        {locked,
         u"開けませんでした：ほかのワープロで開かれています。そのワープロで閉じてからやり直してく"
         u"ださい"},
        {page, u"開けませんでした：文書として読み込めません（形式：HTML）"},
        {copyInto(folder, kOwnData / "abiword.abw"),
         u"開けませんでした：この形式（AbiWord）では保存できないため処理しませんでした。"
         u"Word か ODF の形式で保存し直してからやり直してください"},
        {deep / "a.docx",
         u"保存できませんでした：ファイル名かフォルダーの場所が長すぎます。短くしてからやり直し"
         u"てください"},
        {folder.path() / "disk" / "full.docx",
         u"保存できませんでした：ディスクの空きが足りません。空きを作ってからやり直してください"},
    };
    for (const auto& [document, reason] : cases) {
        SCOPED_TRACE(document.filename().string());
        if (!fs::exists(document))
            continue;
        const std::string bytes = readFile(document);
        Passes passes;
        passes.run(document, u"foo", u"baz");
        EXPECT_EQ(passes.failures, std::vector<std::u16string>{reason});
        EXPECT_TRUE(readFile(document) == bytes) << "changed";
        EXPECT_EQ(leftovers(document.parent_path()),
                  document.parent_path() == folder.path() ? Folders{lock} : Folders{});
    }
    if (!disk.mounted())
        GTEST_SKIP() << "the full disk was not tried: cannot mount a small disk here (not root?)";
}

// A macro bound to the creation of the document's view writes a file: loading for a run never
// runs it, while an office that allows macros does on an ordinary load.
TEST_F(OfficeBackend, NeverRunsMacros) {
    const fs::path witness = folder.path() / "macro-ran";
    std::string text = readFile(kOwnData / "macro.fodt");
    text.replace(text.find("WITNESS\""), 7, witness.string());
    std::ofstream(folder.path() / "macro.fodt") << text;
    const fs::path control = copyInto(folder, folder.path() / "macro.fodt", "control.fodt");
    Passes passes;
    passes.run(folder.path() / "macro.fodt", u"foo", u"baz");
    EXPECT_TRUE(passes.failures.empty());
    EXPECT_FALSE(fs::exists(witness));
    EXPECT_EQ(Offices::reader().count(folder.path() / "macro.fodt", u"baz").at(u"BODY-macro"), 1);

    DocumentReader(true).filter(control);
    EXPECT_TRUE(fs::exists(witness)) << "the macro cannot run at all";
}

// A kill of the office while it saves loses that document's changes at most: the original stays
// whole or is fully replaced, nothing half-written or temporary is left, and the next document
// gets a new office.
TEST_F(OfficeBackend, SurvivesTheOfficeDyingDuringASave) {
    OfficeFactory factory;
    const fs::path original = Offices::ownDocuments().front();
    const fs::path document = copyInto(folder, original, "killed.docx");
    const fs::path next = copyInto(folder, original, "next.docx");
    std::atomic<bool> done{false};
    std::thread killer([&] {
        while (!done) {
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                if (entry.path().filename().string().starts_with(".~quorvane-")) {
                    signalOffices(shared, SIGKILL);
                    return;
                }
            }
        }
    });
    {
        Passes passes;
        passes.application = factory.create(u"Word.Application");
        passes.regions(true, false, false);
        passes.run(document, u"foo", u"baz");
        done = true;
        killer.join();
        ASSERT_EQ(passes.failures.size(), 1u);
        EXPECT_TRUE(passes.failures[0].starts_with(u"保存できませんでした："));
        passes.run(next, u"foo", u"baz");
        EXPECT_EQ(passes.failures.size(), 1u);
        passes.application.call(u"Quit");
    }
    EXPECT_EQ(readFile(document), readFile(original));
    EXPECT_EQ(Offices::reader().count(next, u"baz").at(u"BODY-end"), 1);
    EXPECT_EQ(leftovers(folder.path()), Folders{});
    EXPECT_EQ(officeChildren(), shared);
}

// The pairs of a run reach the file in one save, when the run finishes the document (what an
// office lost before then takes with it, the test of an office dying mid-document shows).
TEST_F(OfficeBackend, WritesADocumentOnceWhenTheRunFinishesIt) {
    OfficeFactory factory;
    const fs::path original = Offices::ownDocuments().front();
    const fs::path document = copyInto(folder, original, "once.docx");
    {
        Passes passes;
        passes.application = factory.create(u"Word.Application");
        passes.finish = false;
        const automation::word::Application application(passes.application);
        passes.run(document, u"foo", u"baz");
        passes.run(document, u"baz", u"qux");
        EXPECT_TRUE(passes.failures.empty());
        EXPECT_EQ(readFile(document), readFile(original)) << "written before the run finished it";
        application.documents().finish(os::fromNativePath(document));
        EXPECT_EQ(Offices::reader().count(document, u"qux").at(u"BODY-end"), 1);
        application.quit();
    }
    EXPECT_EQ(leftovers(folder.path()), Folders{});
    EXPECT_EQ(officeChildren(), shared);
}

// An office whose run quit waits for the next run of its factory, which takes it instead of
// starting one; it ends once it has been idle for the set time, and with the factory. Each Quit
// closes the run's last document for good: its changes are on disk and nothing of it is left.
TEST_F(OfficeBackend, AQuitOfficeWaitsWarmForTheNextRunAndEndsWhenIdle) {
    const auto ours = [&] { return officeChildren(shared); };
    const fs::path document = copyInto(folder, Offices::ownDocuments().front());
    {
        OfficeFactory::Options options;
        options.keepWarm = 2s;
        OfficeFactory factory(options);
        std::set<pid_t> first;
        for (const auto& [find, replacement] : {std::pair{u"foo", u"baz"}, {u"baz", u"qux"}}) {
            // Each run on a thread of its own, which ends before the next run: so do the runs of
            // the extra offices of a parallel run.
            std::thread([&, find = find, replacement = replacement] {
                Passes passes;
                passes.application = factory.create(u"Word.Application");
                passes.run(document, find, replacement);
                passes.application.call(u"Quit");
                EXPECT_TRUE(passes.failures.empty());
            }).join();
            EXPECT_EQ(leftovers(folder.path()), Folders{});
            EXPECT_EQ(factory.warmOffices(), 1u);
            EXPECT_EQ(ours().size(), 1u);
            if (first.empty())
                first = ours();
            EXPECT_EQ(ours(), first) << "the second run started an office of its own";
        }
        EXPECT_EQ(Offices::reader().count(document, u"qux").at(u"BODY-end"), 1);
        for (int i = 0; i < 300 && !ours().empty(); ++i)
            std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(ours().empty()) << "an idle office still runs";
        EXPECT_EQ(factory.warmOffices(), 0u);
        factory.create(u"Word.Application").call(u"Quit");
        EXPECT_EQ(factory.warmOffices(), 1u);
    }
    EXPECT_EQ(officeChildren(), shared);
    EXPECT_EQ(privateFilesOfOurs(), privateFiles);
}

// A hung office is killed by the watchdog: the document at hand fails with a reason, the next
// one is opened in a new office.
TEST_F(OfficeBackend, RestartsAHungOffice) {
    OfficeFactory::Options options;
    options.callTimeout = 2s;
    OfficeFactory factory(options);
    const fs::path original = Offices::ownDocuments().front();
    const fs::path document = copyInto(folder, original, "hung.docx");
    const fs::path next = copyInto(folder, original, "next.docx");
    {
        Passes passes;
        passes.application = factory.create(u"Word.Application");
        passes.regions(true, false, false);
        passes.application.get(u"Documents");  // so that there is an office to hang
        signalOffices(shared, SIGSTOP);
        passes.run(document, u"foo", u"baz");
        passes.run(next, u"foo", u"baz");
        EXPECT_EQ(passes.failures, std::vector<std::u16string>{
                                       u"開けませんでした：ワープロが応答しないため中断しました"});
        passes.application.call(u"Quit");
    }
    EXPECT_EQ(readFile(document), readFile(original));
    EXPECT_EQ(Offices::reader().count(next, u"baz").at(u"BODY-end"), 1);
    EXPECT_EQ(officeChildren(), shared);
}

// An office that dies in the middle of a document takes none of the document's pairs with it:
// the document is tried once more from the start on the office that takes its place, and when
// that one dies too, it is left as it was and reported. The office is killed as the body pass
// converts a find text: the first time in the first pair, or the second time in the second pair
// of both tries.
TEST_F(OfficeBackend, ADocumentWhoseOfficeDiesIsTriedOnceMoreFromTheStart) {
    const fs::path original = Offices::ownDocuments().front();
    for (const std::vector<int>& kills : {std::vector<int>{1}, std::vector<int>{2, 4}}) {
        SCOPED_TRACE(kills.size());
        const fs::path document =
            copyInto(folder, original, std::to_string(kills.size()) + ".docx");
        run::RunRequest request;
        request.mode = run::RunRequest::Mode::EditOriginals;
        request.pairs = {{{u"foo", u"baz"}, {u"名古屋", u"京都"}, {}}};
        request.regions = {true, false, false};
        request.distinguishWidths = false;
        int conversions = 0;
        run::WidthForms widths;
        widths.toFull = [&](std::u16string_view text) {
            if (std::find(kills.begin(), kills.end(), ++conversions) != kills.end())
                signalOffices(shared, SIGKILL);
            return os::toFullWidth(text);
        };
        OfficeFactory factory;
        const run::DocumentResult result =
            runOver(document, request, factory, widths).documents.at(0);
        if (kills.size() == 2) {
            EXPECT_EQ(result.outcome, run::Outcome::NotSaved);
            EXPECT_EQ(result.reason,
                      u"保存できませんでした：ワープロが異常終了したため中断しました");
            EXPECT_TRUE(readFile(document) == readFile(original)) << "changed";
        } else {
            EXPECT_EQ(result.outcome, run::Outcome::Replaced) << os::toUtf8(result.reason);
            EXPECT_EQ(Offices::reader().count(document, u"「baz」").at(u"BODY-end"), 1);
            EXPECT_EQ(Offices::reader().count(document, u"「京都」").at(u"BODY-wide"), 1);
        }
        EXPECT_EQ(leftovers(folder.path()), Folders{});
    }
    EXPECT_EQ(officeChildren(), shared);
}

// A whole run through the driver over a folder, by two offices, with a document that fails
// among good ones (that several word processors report what one does is the run driver's unit
// test). Afterwards no office, private folder, lock or temporary file of the run remains; what an
// ended run left is cleared, what a process that still runs has is not touched.
TEST_F(OfficeBackend, ARunOverTwoOfficesLeavesNothingBehind) {
    for (const auto& [name, own] :
         {std::pair{"a.docx", 0}, {"b.odt", 1}, {"d.docx", 0}, {"e.odt", 1}})
        copyInto(folder, Offices::ownDocuments()[own], name);
    std::ofstream(folder.path() / "c.docx") << "not a document";
    // Ours by name, owner and age: a save, a copy and a lock a killed run left, and one of a live
    // process.
    const std::string running = ".~quorvane-1-0123456789abcdef.tmp";
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::string ended = std::to_string(test::endedProcess());
    std::ofstream(folder.path() / ".~lock.a.docx#")
        << "Quorvane,x," << host << ",01.01.2026 00:00,quorvane-pid:" << ended << ";";
    for (const auto& name : {".~quorvane-" + ended + "-1-a.docx",
                             std::string(".quorvane-0123456789abcdef.part"), running}) {
        std::ofstream(folder.path() / name) << "half";
        fs::last_write_time(folder.path() / name, fs::file_time_type::clock::now() - 1h);
    }
    run::RunRequest request;
    request.mode = run::RunRequest::Mode::EditOriginals;
    request.pairs[0] = {u"foo", u"baz"};
    request.offices = 2;
    OfficeFactory factory;
    const run::RunResult result = runOver(folder.path(), request, factory);
    ASSERT_EQ(result.documents.size(), 5u);
    for (const auto& document : result.documents) {
        const fs::path path = os::toNativePath(document.source);
        SCOPED_TRACE(path.string());
        if (path.filename() == "c.docx") {
            EXPECT_EQ(document.outcome, run::Outcome::NotOpened);
            EXPECT_EQ(document.reason,
                      u"開けませんでした：文書として読み込めません（形式：テキスト）");
            continue;
        }
        EXPECT_EQ(document.outcome, run::Outcome::Replaced);
        EXPECT_EQ(Offices::reader().count(path, u"「baz」").at(u"BODY-end"), 1);
    }
    EXPECT_EQ(leftovers(folder.path()), Folders{running});
    EXPECT_EQ(officeChildren(), shared);
    EXPECT_EQ(privateFilesOfOurs(), privateFiles);
}

// A file that someone else wrote between two pairs is read anew, not as the office last saw it.
TEST_F(OfficeBackend, APairReadsTheFileAnewWhenSomeoneElseWroteIt) {
    for (const auto& original : Offices::ownDocuments()) {
        SCOPED_TRACE(original.string());
        const fs::path document = copyInto(folder, original);
        Passes passes;
        passes.run(document, u"foo", u"qux");
        fs::copy_file(original, document, fs::copy_options::overwrite_existing);
        passes.run(document, u"qux", u"zzz");
        EXPECT_TRUE(readFile(document) == readFile(original)) << "changed from what it saw before";
        passes.run(document, u"foo", u"zzz");
        EXPECT_TRUE(passes.failures.empty());
        EXPECT_EQ(Offices::reader().count(document, u"zzz").at(u"BODY-end"), 1);
        EXPECT_EQ(leftovers(folder.path()), Folders{});
    }
}

// The office reads Word 6.0/95 but cannot write it: a changed document is saved as Word 97-2003
// under its own name and the report says so; an unchanged one is left alone.
TEST_F(OfficeBackend, SavesOldWordDocumentsAsWord97WithANotice) {
    const fs::path original = kShared / "old" / "word6.doc";
    if (!fs::exists(original))
        GTEST_SKIP() << "../shared/testdata is not there";
    auto& reader = Offices::reader();
    ASSERT_EQ(reader.filter(original), u"MS Word 95");
    const fs::path document = copyInto(folder, original);
    run::RunRequest request;
    request.mode = run::RunRequest::Mode::EditOriginals;
    request.pairs[0] = {u"nowhere", u"cat"};
    OfficeFactory factory;
    const run::RunResult unchanged = runOver(document, request, factory);
    EXPECT_EQ(unchanged.documents.at(0).outcome, run::Outcome::Unchanged);
    EXPECT_TRUE(unchanged.documents[0].notices.empty());
    EXPECT_EQ(readFile(document), readFile(original));

    request.pairs = {{{u"fox", u"cat"}, {u"dog", u"cow"}, {}}};
    const run::RunResult saved = runOver(document, request, factory);
    EXPECT_EQ(saved.documents.at(0).outcome, run::Outcome::Replaced);
    EXPECT_EQ(saved.documents[0].notices,
              std::vector<std::u16string>{
                  u"元の形式（Word 6.0/95）では保存できないため、Word 97-2003 形式で保存しました"});
    EXPECT_EQ(reader.filter(document), u"MS Word 97");
    EXPECT_EQ(reader.paragraph(document, u"「cat」", u"The"),
              u"The quick brown 「cat」 jumps over the lazy 「cow」");
    EXPECT_EQ(leftovers(folder.path()), Folders{});
}

// A save goes the one way files are written here (whose own test shows it never writes through
// a planted link), also beside a name that takes all 255 bytes: the new version is on disk and
// closed before it takes the document's name, and a flush the disk refuses leaves the document as
// it was.
TEST_F(OfficeBackend, SavesTheWayEveryFileIsWrittenEvenUnderTheLongestName) {
    const std::string name = os::toUtf8(std::u16string(83, u'文')) + "a.docx";
    const fs::path document = copyInto(folder, Offices::ownDocuments().front(), name);
    ASSERT_EQ(document.filename().string().size(), 255u);
    {
        system_calls::Recording recording(system_calls::isNewFile);
        Passes passes;
        passes.run(document, u"foo", u"baz");
        EXPECT_TRUE(passes.failures.empty());
        EXPECT_EQ(system_calls::outOfOrder(recording.calls(), name), "");
    }
    EXPECT_EQ(Offices::reader().count(document, u"baz").at(u"BODY-end"), 1);

    const std::string saved = readFile(document);
    system_calls::failNext("fsync", system_calls::isNewFile, EIO);
    Passes refused;
    refused.run(document, u"baz", u"qux");
    EXPECT_EQ(refused.failures, std::vector<std::u16string>{
                                    u"保存できませんでした：ディスクの読み書きでエラーが起きま"
                                    u"した（入出力エラー）"});
    EXPECT_TRUE(readFile(document) == saved) << "changed";
    EXPECT_EQ(leftovers(folder.path()), Folders{});
}

std::string xattrOf(const fs::path& file, const char* name) {
    char value[256];
    const ssize_t size = ::getxattr(file.c_str(), name, value, sizeof value);
    return size < 0 ? std::string() : std::string(value, static_cast<std::size_t>(size));
}

// An ACL as the system stores it (a version, then each entry's tag, permissions and id,
// little-endian): the owner rw, the user nobody rw and the owning group rw, both held to r by
// the mask, others nothing.
const std::string kAclWithAMask(
    "\x02\0\0\0"
    "\x01\0\x06\0\xff\xff\xff\xff"
    "\x02\0\x06\0\xfe\xff\0\0"
    "\x04\0\x06\0\xff\xff\xff\xff"
    "\x10\0\x04\0\xff\xff\xff\xff"
    "\x20\0\0\0\xff\xff\xff\xff",
    44);

// An in-place save keeps what makes the file the user's: a second name of the file shows the new
// content too, and extended attributes, the ACL and with it what the group may do stay as they
// were.
TEST_F(OfficeBackend, AnInPlaceSaveKeepsTheFilesOtherNamesAttributesAndAcl) {
    const fs::path own = Offices::ownDocuments().front();
    const fs::path linked = copyInto(folder, own, "linked.docx");
    fs::create_hard_link(linked, folder.path() / "other-name.docx");
    const fs::path marked = copyInto(folder, own, "marked.docx");
    ASSERT_EQ(::setxattr(marked.c_str(), "user.quorvane-test", "kept", 4, 0), 0);
    const bool withAcl = ::setxattr(marked.c_str(), "system.posix_acl_access", kAclWithAMask.data(),
                                    kAclWithAMask.size(), 0) == 0;
    const auto mode = fs::status(marked).permissions();
    for (const auto& document : {linked, marked}) {
        Passes passes;
        passes.run(document, u"foo", u"baz");
        EXPECT_TRUE(passes.failures.empty());
        EXPECT_EQ(Offices::reader().count(document, u"baz").at(u"BODY-end"), 1);
    }
    EXPECT_EQ(Offices::reader().count(folder.path() / "other-name.docx", u"baz").at(u"BODY-end"),
              1);
    EXPECT_EQ(fs::hard_link_count(linked), 2u);
    EXPECT_EQ(xattrOf(marked, "user.quorvane-test"), "kept");
    EXPECT_EQ(fs::status(marked).permissions(), mode);
    EXPECT_EQ(leftovers(folder.path()), Folders{});
    if (!withAcl)
        GTEST_SKIP() << "the file system here takes no ACL";
    EXPECT_TRUE(xattrOf(marked, "system.posix_acl_access") == kAclWithAMask) << "ACL changed";
}

}  // namespace
}  // namespace quorvane
