#include <dirent.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "automation/automation_error.h"
#include "automation/office/office_factory.h"
#include "document_reader.h"
#include "office_test_support.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "run/document_passes.h"
#include "run/run_driver.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using automation::AutomationError;
using automation::Variant;
using automation::office::OfficeFactory;
using testing::bytesOf;
using testing::DocumentReader;
using testing::leftovers;
using testing::officeChildren;
using testing::privateFilesOfOurs;
using testing::TempFolder;

const fs::path kShared = QUORVANE_SHARED_TESTDATA;
const fs::path kOwnData = QUORVANE_OFFICE_TEST_DATA;

// Checks 1..5: body, text boxes, headers and footers, match case, distinguish widths.
enum Region { kBody = 0, kShapes = 1, kHeaders = 2, kNone = 3 };

Region regionOf(const std::u16string& label) {
    if (label.starts_with(u"CC-HDR-"))
        return kHeaders;
    for (const auto* prefix : {u"BODY-", u"CELL-", u"NESTED-", u"CC-"}) {
        if (label.starts_with(prefix))
            return kBody;
    }
    for (const auto* prefix : {u"HDR-", u"FTR-"}) {
        if (label.starts_with(prefix))
            return kHeaders;
    }
    for (const auto* prefix : {u"TEXTBOX-", u"FRAMECELL-", u"SHAPE-", u"GROUP-", u"HDRBOX"}) {
        if (label.starts_with(prefix))
            return kShapes;
    }
    return kNone;
}

// One office for the backend and one for reading back, for the whole test program.
class Offices final : public ::testing::Environment {
  public:
    static DocumentReader& reader() { return *reader_; }
    static Variant& application() { return application_; }
    static OfficeFactory& factory() { return *factory_; }
    // .docx and .odt made from our own flat ODF fixture.
    static const std::vector<fs::path>& ownDocuments() { return own_; }

    void SetUp() override {
        reader_ = std::make_unique<DocumentReader>();
        factory_ = std::make_unique<OfficeFactory>();
        application_ = factory_->create(u"Word.Application");
        own_.push_back(ownFolder_.path() / "sample.docx");
        reader_->convert(kOwnData / "sample.fodt", own_.back(), u"MS Word 2007 XML");
        own_.push_back(ownFolder_.path() / "sample.odt");
        reader_->convert(kOwnData / "sample.fodt", own_.back(), u"writer8");
    }
    void TearDown() override {
        application_.call(u"Quit");
        application_ = Variant();
        reader_.reset();
        EXPECT_TRUE(officeChildren().empty());
        EXPECT_TRUE(privateFilesOfOurs().empty());
    }

  private:
    static inline std::unique_ptr<DocumentReader> reader_;
    static inline std::unique_ptr<OfficeFactory> factory_;
    static inline Variant application_;
    static inline std::vector<fs::path> own_;
    static inline TempFolder ownFolder_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Offices);

class YesMessageBox final : public os::MessageBox {
  public:
    int show(std::u16string_view, std::u16string_view, int) override { return kYes; }
};

// The document passes over the shared office, with the request as given; failures collects
// why documents were not opened or saved.
struct Passes {
    run::RunRequest request;
    Variant application = Offices::application();
    std::vector<std::u16string> failures;
    // Whether each run finishes the document, as a run does after its last pair.
    bool finish = true;

    void run(const fs::path& document, std::u16string find, const std::u16string& replacement) {
        const run::WidthForms widths;
        const automation::word::Application word(application);
        run::DocumentPasses passes(request, word, widths);
        const std::u16string path = os::fromNativePath(document);
        const auto result = passes.replaceInDocument(path, find, replacement);
        if (!result.failure.empty())
            failures.push_back(result.failure);
        if (!finish)
            return;
        if (const auto unsaved = passes.finishDocument(path); !unsaved.empty())
            failures.push_back(unsaved);
    }
    void regions(bool body, bool shapes, bool headers) {
        request.regions = {body, shapes, headers};
    }
};

std::vector<fs::path> madeDocuments() {
    std::vector<fs::path> found;
    if (!fs::exists(kShared / "made"))
        return found;
    for (const auto& entry : fs::directory_iterator(kShared / "made")) {
        if (entry.path().extension() != ".py")
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Every region choice over one document: foo is replaced exactly in the chosen regions, and the
// document keeps its format.
void checkRegionChoices(const fs::path& original) {
    SCOPED_TRACE(original.string());
    auto& reader = Offices::reader();
    const auto before = reader.count(original, u"foo");
    // Text boxes, headers and footers are searched without regard to case.
    const auto capitalised = reader.count(original, u"Foo");
    ASSERT_TRUE(reader.count(original, u"baz").empty());
    const std::u16string filter = reader.filter(original);
    std::set<Region> present;
    for (const auto& [label, n] : before)
        present.insert(regionOf(label));
    EXPECT_TRUE(present.contains(kBody));
    EXPECT_TRUE(present.contains(kHeaders));

    const bool choices[][3] = {
        {true, false, false}, {false, true, false}, {false, false, true}, {true, true, true}};
    for (const auto& choice : choices) {
        SCOPED_TRACE(::testing::Message() << "body " << choice[0] << " shapes " << choice[1]
                                          << " headers " << choice[2]);
        TempFolder folder;
        const fs::path document = folder.copy(original);
        Passes passes;
        passes.regions(choice[0], choice[1], choice[2]);
        passes.run(document, u"foo", u"baz");
        EXPECT_TRUE(passes.failures.empty());
        const auto foo = reader.count(document, u"foo");
        const auto baz = reader.count(document, u"baz");
        for (const auto& [label, n] : before) {
            const Region region = regionOf(label);
            const bool chosen = region != kNone && choice[region];
            SCOPED_TRACE(os::toUtf8(label));
            EXPECT_EQ(foo.contains(label) ? foo.at(label) : 0, chosen ? 0 : n);
            const int caseless =
                region != kBody && capitalised.contains(label) ? capitalised.at(label) : 0;
            EXPECT_EQ(baz.contains(label) ? baz.at(label) : 0, chosen ? n + caseless : 0);
        }
        EXPECT_EQ(reader.filter(document), filter);
        EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{});
    }
}

TEST(OfficeBackend, ReplacesInExactlyTheChosenRegionsOfOurOwnDocuments) {
    for (const auto& document : Offices::ownDocuments())
        checkRegionChoices(document);
}

TEST(OfficeBackend, ReplacesInExactlyTheChosenRegionsOfTheMadeDocuments) {
    const auto documents = madeDocuments();
    if (documents.empty())
        GTEST_SKIP() << "../shared/testdata is not there";
    for (const auto& document : documents)
        checkRegionChoices(document);
}

// The body pass: case on and off, widths merged by the passes, a surrogate pair before a match,
// a match across a change of formatting taking the formatting of its first character.
TEST(OfficeBackend, BodyFindFollowsCaseWidthAndFormatting) {
    auto& reader = Offices::reader();
    for (const auto& original : Offices::ownDocuments()) {
        SCOPED_TRACE(original.string());
        {
            TempFolder folder;
            const fs::path document = folder.copy(original);
            Passes passes;
            passes.regions(true, false, false);
            passes.run(document, u"FOO", u"baz");
            EXPECT_TRUE(reader.count(document, u"baz").empty()) << "case is matched";
            passes.request.matchCase = false;
            passes.run(document, u"FOO", u"baz");
            // The 1 is the footnote's anchor, which no match crosses.
            EXPECT_EQ(reader.paragraph(document, u"baz", u"BODY-own"),
                      u"BODY-own baz ＡＢＣ ABC abc bazBAR1");
            EXPECT_EQ(reader.paragraph(document, u"baz", u"BODY-wide"),
                      u"BODY-wide 𠮷baz 名古屋baz");
            EXPECT_TRUE(reader.bold(document, u"baz", u"BODY-split"));
            EXPECT_EQ(reader.count(document, u"foo").at(u"HDR-own"), 1);
        }
        {
            TempFolder folder;
            const fs::path document = folder.copy(original);
            Passes passes;
            passes.regions(true, false, false);
            passes.request.distinguishWidths = false;
            passes.run(document, u"ABC", u"xyz");
            EXPECT_EQ(reader.paragraph(document, u"xyz", u"BODY-own"),
                      u"BODY-own foo xyz xyz abc fooBAR1");
        }
    }
}

// A file that is not a document we may edit is reported, left as it was, and the run goes on
// with the next document, even after one that brings the office down.
TEST(OfficeBackend, ReportsBrokenDocumentsAndGoesOn) {
    if (!fs::exists(kShared / "broken"))
        GTEST_SKIP() << "../shared/testdata is not there";
    TempFolder folder;
    const fs::path good = folder.copy(Offices::ownDocuments().front());
    for (const auto& entry : fs::directory_iterator(kShared / "broken")) {
        // Despite its name it is an ordinary document.
        if (entry.path().filename() == "pw.docx")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const fs::path document = folder.copy(entry.path());
        const std::string bytes = bytesOf(document);
        Passes passes;
        passes.run(document, u"foo", u"baz");
        ASSERT_EQ(passes.failures.size(), 1u);
        EXPECT_TRUE(passes.failures[0].starts_with(u"開けませんでした："));
        if (entry.path().filename() == "pw.odt" || entry.path().filename() == "pw.doc") {
            EXPECT_NE(passes.failures[0].find(u"パスワード"), std::u16string::npos);
        }
        EXPECT_EQ(bytesOf(document), bytes);

        Passes next;
        next.regions(true, false, false);
        next.run(good, u"foo", u"foo");
        EXPECT_TRUE(next.failures.empty());
        EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{});
    }
}

TEST(OfficeBackend, RefusesReadOnlyAndLockedOriginals) {
    TempFolder folder;
    const fs::path readOnly = folder.copy(Offices::ownDocuments().front(), "readonly.docx");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    const fs::path locked = folder.copy(Offices::ownDocuments().front(), "locked.docx");
    // What another office writes beside a document it has open.
    const fs::path lock = folder.path() / ".~lock.locked.docx#";
    std::ofstream(lock) << "someone,host,someone,06.12.2026 20:00,file:///home/someone/.config;";
    for (const auto& [document, reason] :
         {std::pair{readOnly,
                    u"読み取り専用のため保存できません。書き込みを許可してからやり直してください"},
          std::pair{
              locked,
              u"ほかのワープロで開かれています。そのワープロで閉じてからやり直してください"}}) {
        const std::string bytes = bytesOf(document);
        Passes passes;
        passes.run(document, u"foo", u"baz");
        ASSERT_EQ(passes.failures.size(), 1u);
        EXPECT_EQ(passes.failures[0], std::u16string(u"開けませんでした：") + reason);
        EXPECT_EQ(bytesOf(document), bytes);
    }
    EXPECT_TRUE(fs::exists(lock));
}

// A macro bound to the creation of the document's view writes a file: loading for a run never
// runs it, while an office that allows macros does on an ordinary load.
TEST(OfficeBackend, NeverRunsMacros) {
    TempFolder folder;
    const fs::path witness = folder.path() / "macro-ran";
    const fs::path document = folder.path() / "macro.fodt";
    std::ofstream(document) << R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:script="urn:oasis:names:tc:opendocument:xmlns:script:1.0"
 xmlns:ooo="http://openoffice.org/2004/office" xmlns:xlink="http://www.w3.org/1999/xlink"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:scripts>
  <office:script script:language="ooo:Basic">
   <ooo:libraries>
    <ooo:library-embedded ooo:name="Standard">
     <ooo:module ooo:name="Module1">
      <ooo:source-code>Sub Main
  Open ")" << witness.string()
                            << R"(" For Output As #1
  Print #1, "ran"
  Close #1
End Sub
</ooo:source-code>
     </ooo:module>
    </ooo:library-embedded>
   </ooo:libraries>
  </office:script>
  <office:event-listeners>
   <script:event-listener script:language="ooo:script" script:event-name="office:view-created"
     xlink:href="vnd.sun.star.script:Standard.Module1.Main?language=Basic&amp;location=document"/>
  </office:event-listeners>
 </office:scripts>
 <office:body><office:text><text:p>BODY-macro foo</text:p></office:text></office:body>
</office:document>
)";
    const fs::path control = folder.copy(document, "control.fodt");
    Passes passes;
    passes.run(document, u"foo", u"baz");
    EXPECT_TRUE(passes.failures.empty());
    EXPECT_FALSE(fs::exists(witness));
    EXPECT_EQ(Offices::reader().count(document, u"baz").at(u"BODY-macro"), 1);

    DocumentReader(true).open(control);
    EXPECT_TRUE(fs::exists(witness)) << "the macro cannot run at all";
}

// A kill of the office while it saves loses that document's changes at most: the original stays
// whole or is fully replaced, nothing half-written or temporary is left, and the next document
// gets a new office.
TEST(OfficeBackend, SurvivesTheOfficeDyingDuringASave) {
    const auto shared = officeChildren();
    OfficeFactory factory;
    TempFolder folder;
    const fs::path original = Offices::ownDocuments().front();
    const fs::path document = folder.copy(original, "killed.docx");
    const fs::path next = folder.copy(original, "next.docx");
    std::atomic<bool> done{false};
    std::thread killer([&] {
        while (!done) {
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                if (!entry.path().filename().string().starts_with(".~quorvane-"))
                    continue;
                for (const pid_t pid : officeChildren()) {
                    if (!shared.contains(pid))
                        ::kill(pid, SIGKILL);
                }
                return;
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
    auto& reader = Offices::reader();
    EXPECT_EQ(bytesOf(document), bytesOf(original));
    EXPECT_EQ(reader.count(next, u"baz").at(u"BODY-end"), 1);
    EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{});
    EXPECT_EQ(officeChildren(), shared);
}

// The pairs of a run reach the file in one save, when the run finishes the document. An office
// lost before that takes every pair with it: the file stays as it was, and the document is
// refused until the run finishes it, with the reason.
TEST(OfficeBackend, WritesADocumentOnceWhenTheRunFinishesIt) {
    const auto shared = officeChildren();
    OfficeFactory factory;
    TempFolder folder;
    const fs::path original = Offices::ownDocuments().front();
    const fs::path document = folder.copy(original, "once.docx");
    const fs::path lost = folder.copy(original, "lost.docx");
    {
        Passes passes;
        passes.application = factory.create(u"Word.Application");
        passes.finish = false;
        const automation::word::Application application(passes.application);
        passes.run(document, u"foo", u"baz");
        passes.run(document, u"baz", u"qux");
        EXPECT_TRUE(passes.failures.empty());
        EXPECT_EQ(bytesOf(document), bytesOf(original)) << "written before the run finished it";
        application.documents().finish(os::fromNativePath(document));
        EXPECT_EQ(Offices::reader().count(document, u"qux").at(u"BODY-end"), 1);

        passes.run(lost, u"foo", u"baz");
        for (const pid_t pid : officeChildren()) {
            if (!shared.contains(pid))
                ::kill(pid, SIGKILL);
        }
        passes.run(lost, u"baz", u"qux");
        passes.run(lost, u"foo", u"qux");
        try {
            application.documents().finish(os::fromNativePath(lost));
            ADD_FAILURE() << "the lost changes were not reported";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.message(), u"ワープロが異常終了したため中断しました");
        }
        EXPECT_EQ(passes.failures.size(), 2u);
        EXPECT_EQ(bytesOf(lost), bytesOf(original));
        passes.run(lost, u"foo", u"qux");
        application.documents().finish(os::fromNativePath(lost));
        EXPECT_EQ(Offices::reader().count(lost, u"qux").at(u"BODY-end"), 1) << "a later run";
        application.quit();
    }
    EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{});
    EXPECT_EQ(officeChildren(), shared);
}

// An office whose run quit waits for the next run of its factory, which takes it instead of
// starting one; it ends once it has been idle for the set time, and with the factory.
TEST(OfficeBackend, AQuitOfficeWaitsWarmForTheNextRunAndEndsWhenIdle) {
    const auto shared = officeChildren();
    const auto ours = [&] {
        std::set<pid_t> started;
        for (const pid_t pid : officeChildren()) {
            if (!shared.contains(pid))
                started.insert(pid);
        }
        return started;
    };
    TempFolder folder;
    const fs::path document = folder.copy(Offices::ownDocuments().front());
    {
        OfficeFactory::Options options;
        options.keepWarm = 2s;
        OfficeFactory factory(options);
        std::set<pid_t> first;
        for (const auto& [find, replacement] : {std::pair{u"foo", u"baz"}, {u"baz", u"qux"}}) {
            Passes passes;
            passes.application = factory.create(u"Word.Application");
            passes.run(document, find, replacement);
            passes.application.call(u"Quit");
            EXPECT_TRUE(passes.failures.empty());
            EXPECT_EQ(factory.warmOffices(), 1u);
            EXPECT_EQ(ours().size(), 1u);
            if (first.empty())
                first = ours();
            EXPECT_EQ(ours(), first) << "the second run started an office of its own";
        }
        for (int i = 0; i < 300 && !ours().empty(); ++i)
            std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(ours().empty()) << "an idle office still runs";
        EXPECT_EQ(factory.warmOffices(), 0u);
        factory.create(u"Word.Application").call(u"Quit");
        EXPECT_EQ(factory.warmOffices(), 1u);
    }
    EXPECT_EQ(officeChildren(), shared);
    EXPECT_EQ(Offices::reader().count(document, u"qux").at(u"BODY-end"), 1);
}

// A hung office is killed by the watchdog: the document at hand fails with a reason, the next
// one is opened in a new office.
TEST(OfficeBackend, RestartsAHungOffice) {
    const auto shared = officeChildren();
    OfficeFactory::Options options;
    options.callTimeout = 2s;
    OfficeFactory factory(options);
    TempFolder folder;
    const fs::path document = folder.copy(Offices::ownDocuments().front(), "hung.docx");
    const fs::path next = folder.copy(Offices::ownDocuments().front(), "next.docx");
    const std::string bytes = bytesOf(document);
    {
        const Variant application = factory.create(u"Word.Application");
        const Variant opened =
            application.get(u"Documents").call(u"Open", {os::fromNativePath(document)});
        for (const pid_t pid : officeChildren()) {
            if (!shared.contains(pid))
                ::kill(pid, SIGSTOP);
        }
        try {
            opened.get(u"Content")
                .get(u"Find")
                .call(u"Execute", {u"foo"}, {{u"ReplaceWith", u"baz"}, {u"Replace", 2}});
            FAIL() << "a hung office answered";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.message(), u"ワープロが応答しないため中断しました");
        }
        EXPECT_THROW(opened.call(u"Close"), AutomationError);

        Passes passes;
        passes.application = application;
        passes.regions(true, false, false);
        passes.run(next, u"foo", u"baz");
        EXPECT_TRUE(passes.failures.empty());
    }
    EXPECT_EQ(bytesOf(document), bytes);
    EXPECT_EQ(Offices::reader().count(next, u"baz").at(u"BODY-end"), 1);
    EXPECT_EQ(officeChildren(), shared);
}

// A process of ours that has ended, for files it seems to have left.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A whole run through the driver over a folder, with a document that fails among good ones:
// afterwards no office, private folder, lock or temporary file of the run remains, and a pending
// file that an ended run left is cleared; one of a process that still runs is not touched.
TEST(OfficeBackend, ARunLeavesNothingBehind) {
    const auto offices = officeChildren();
    const auto folders = privateFilesOfOurs();
    TempFolder folder;
    folder.copy(Offices::ownDocuments()[0], "a.docx");
    folder.copy(Offices::ownDocuments()[1], "b.odt");
    std::ofstream(folder.path() / "c.docx") << "not a document";
    std::ofstream(folder.path() / (".~quorvane-" + std::to_string(endedProcess()) + "-1-a.docx"))
        << "half";
    const std::string running = ".~quorvane-1-1-b.odt";
    std::ofstream(folder.path() / running) << "in progress";
    run::RunRequest request;
    request.mode = run::RunRequest::Mode::EditOriginals;
    request.pairs[0] = {u"foo", u"baz"};
    YesMessageBox messages;
    OfficeFactory factory;
    const run::RunResult result =
        run::RunDriver(messages, factory).run(request, os::fromNativePath(folder.path()));
    for (const auto& document : result.documents) {
        if (!document.source.ends_with(u"c.docx")) {
            EXPECT_EQ(document.outcome, run::Outcome::Replaced);
            continue;
        }
        EXPECT_EQ(document.outcome, run::Outcome::NotOpened);
        EXPECT_EQ(document.reason, u"開けませんでした：文書として読み込めません（形式：テキスト）");
    }
    for (const char* name : {"a.docx", "b.odt"}) {
        const auto counts = Offices::reader().count(folder.path() / name, u"foo");
        EXPECT_FALSE(counts.contains(u"BODY-end")) << name;
    }
    EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{running});
    EXPECT_EQ(officeChildren(), offices);
    EXPECT_EQ(privateFilesOfOurs(), folders);
}

// Two offices give what one gives: the same files, the same report in the same order. Widths
// are not distinguished, so the first document's body pass rewrites the find text the others
// then get.
TEST(OfficeBackend, ARunOverTwoOfficesEndsAsARunOverOne) {
    const auto offices = officeChildren();
    const auto runWith = [](int count, TempFolder& folder) {
        folder.copy(Offices::ownDocuments()[0], "a.docx");
        folder.copy(Offices::ownDocuments()[1], "b.odt");
        std::ofstream(folder.path() / "c.docx") << "not a document";
        folder.copy(Offices::ownDocuments()[0], "d.docx");
        folder.copy(Offices::ownDocuments()[1], "e.odt");
        run::RunRequest request;
        request.mode = run::RunRequest::Mode::EditOriginals;
        request.pairs[0] = {u"ｆｏｏ", u"baz"};
        request.pairs[1] = {u"HDR", u"hdr"};
        request.distinguishWidths = false;
        request.offices = count;
        YesMessageBox messages;
        OfficeFactory factory;
        return run::RunDriver(messages, factory).run(request, os::fromNativePath(folder.path()));
    };
    TempFolder one;
    TempFolder two;
    const run::RunResult sequential = runWith(1, one);
    const run::RunResult parallel = runWith(2, two);
    ASSERT_EQ(parallel.documents.size(), sequential.documents.size());
    for (std::size_t i = 0; i < sequential.documents.size(); ++i) {
        const auto& s = sequential.documents[i];
        const auto& p = parallel.documents[i];
        const fs::path name = fs::path(os::toNativePath(s.source)).filename();
        SCOPED_TRACE(name.string());
        EXPECT_EQ(fs::path(os::toNativePath(p.source)).filename(), name);
        EXPECT_EQ(p.outcome, s.outcome);
        EXPECT_EQ(p.reason, s.reason);
        EXPECT_EQ(p.counts.body, s.counts.body);
        EXPECT_EQ(p.counts.headersAndFooters, s.counts.headersAndFooters);
        if (s.processed()) {
            EXPECT_EQ(Offices::reader().count(two.path() / name, u"「baz」"),
                      Offices::reader().count(one.path() / name, u"「baz」"));
        }
    }
    EXPECT_EQ(std::count_if(sequential.documents.begin(), sequential.documents.end(),
                            [](const auto& d) { return d.outcome == run::Outcome::Replaced; }),
              4);
    EXPECT_EQ(officeChildren(), offices);
}

// The pairs of a run open the same file one after another: each sees what the one before did,
// a pair without a match leaves the file as the last one saved it, and a file that someone else
// wrote in between is read anew.
TEST(OfficeBackend, EachPairWorksOnTheFileAsTheLastOneLeftIt) {
    auto& reader = Offices::reader();
    for (const auto& original : Offices::ownDocuments()) {
        SCOPED_TRACE(original.string());
        TempFolder folder;
        const fs::path document = folder.copy(original);
        Passes passes;
        passes.run(document, u"foo", u"baz");
        const std::string saved = bytesOf(document);
        passes.run(document, u"nowhere", u"qux");
        EXPECT_TRUE(bytesOf(document) == saved) << "saved again";
        passes.run(document, u"baz", u"qux");
        EXPECT_TRUE(passes.failures.empty());
        EXPECT_TRUE(reader.count(document, u"baz").empty());
        EXPECT_EQ(reader.count(document, u"qux").at(u"BODY-end"), 1);
        EXPECT_EQ(reader.count(document, u"qux").at(u"HDR-own"), 1);

        // Written back by someone else: the next pair must not work on what it saw before.
        fs::copy_file(original, document, fs::copy_options::overwrite_existing);
        passes.run(document, u"qux", u"zzz");
        EXPECT_TRUE(bytesOf(document) == bytesOf(original)) << "changed from what it saw before";
        passes.run(document, u"foo", u"zzz");
        EXPECT_EQ(reader.count(document, u"zzz").at(u"BODY-end"), 1);
        EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{});
    }
}

// The last document a run closed goes at Quit with its office: its changes are on disk and
// nothing of it is left behind.
TEST(OfficeBackend, QuitClosesTheLastDocumentForGood) {
    const auto offices = officeChildren();
    const auto folders = privateFilesOfOurs();
    TempFolder folder;
    const fs::path document = folder.copy(Offices::ownDocuments().front());
    {
        OfficeFactory factory;
        Passes passes;
        passes.application = factory.create(u"Word.Application");
        passes.run(document, u"foo", u"baz");
        passes.run(document, u"baz", u"qux");
        EXPECT_TRUE(passes.failures.empty());
        passes.application.call(u"Quit");
    }
    EXPECT_EQ(Offices::reader().count(document, u"qux").at(u"BODY-end"), 1);
    EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{});
    EXPECT_EQ(officeChildren(), offices);
    EXPECT_EQ(privateFilesOfOurs(), folders);
}

// The office reads Word 6.0/95 but cannot write it: a changed document is saved as Word 97-2003
// under its own name and the report says so; an unchanged one is left alone.
TEST(OfficeBackend, SavesOldWordDocumentsAsWord97WithANotice) {
    const fs::path original = kShared / "old" / "word6.doc";
    if (!fs::exists(original))
        GTEST_SKIP() << "../shared/testdata is not there";
    auto& reader = Offices::reader();
    ASSERT_EQ(reader.filter(original), u"MS Word 95");
    TempFolder folder;
    const fs::path document = folder.copy(original);
    run::RunRequest request;
    request.mode = run::RunRequest::Mode::EditOriginals;
    request.pairs[0] = {u"nowhere", u"cat"};
    YesMessageBox messages;
    OfficeFactory factory;
    run::RunDriver driver(messages, factory);
    const run::RunResult unchanged = driver.run(request, os::fromNativePath(document));
    EXPECT_EQ(unchanged.documents.at(0).outcome, run::Outcome::Unchanged);
    EXPECT_TRUE(unchanged.documents[0].notices.empty());
    EXPECT_EQ(bytesOf(document), bytesOf(original));

    request.pairs = {{{u"fox", u"cat"}, {u"dog", u"cow"}, {}}};
    const run::RunResult saved = driver.run(request, os::fromNativePath(document));
    EXPECT_EQ(saved.documents.at(0).outcome, run::Outcome::Replaced);
    EXPECT_EQ(saved.documents[0].notices,
              std::vector<std::u16string>{
                  u"元の形式（Word 6.0/95）では保存できないため、Word 97-2003 形式で保存しました"});
    EXPECT_EQ(reader.filter(document), u"MS Word 97");
    EXPECT_EQ(reader.paragraph(document, u"「cat」", u"The"),
              u"The quick brown 「cat」 jumps over the lazy 「cow」");
    EXPECT_EQ(leftovers(folder.path()), std::vector<std::string>{});
}

// A format the office reads but cannot write is refused at Open, before anything is replaced.
TEST(OfficeBackend, RefusesFormatsTheOfficeCannotWrite) {
    TempFolder folder;
    const fs::path document = folder.path() / "abiword.abw";
    std::ofstream(document) << R"(<?xml version="1.0" encoding="UTF-8"?>
<abiword xmlns="http://www.abisource.com/awml.dtd" version="3.0.4" fileformat="1.1">
<section><p>BODY-abw foo</p></section>
</abiword>
)";
    ASSERT_EQ(Offices::reader().filter(document), u"AbiWord");
    const std::string bytes = bytesOf(document);
    Passes passes;
    passes.run(document, u"foo", u"baz");
    ASSERT_EQ(passes.failures.size(), 1u);
    EXPECT_EQ(passes.failures[0],
              u"開けませんでした：この形式（AbiWord）では保存できないため処理しませんでした。"
              u"Word か ODF の形式で保存し直してからやり直してください");
    EXPECT_EQ(bytesOf(document), bytes);
}

// A tmpfs of its own, which only root may mount.
class SmallDisk final {
  public:
    explicit SmallDisk(const fs::path& at) : path_(at) {
        fs::create_directory(path_);
        mounted_ = ::mount("quorvane-test", path_.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    const fs::path& path() const { return path_; }
    // Takes every free block.
    void fill() const {
        std::ofstream filler(path_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            filler.flush();
    }

  private:
    fs::path path_;
    bool mounted_ = false;
};

// A full disk and a path at the length limit fail the save with a reason the user can act on,
// and leave the document as it was.
TEST(OfficeBackend, TellsWhyASaveFailed) {
    TempFolder folder;
    {
        SmallDisk disk(folder.path() / "disk");
        if (!disk.mounted())
            GTEST_SKIP() << "cannot mount a small disk here (not root?)";
        const fs::path document = disk.path() / "full.docx";
        fs::copy_file(Offices::ownDocuments().front(), document);
        disk.fill();
        Passes passes;
        passes.run(document, u"foo", u"baz");
        ASSERT_EQ(passes.failures.size(), 1u);
        EXPECT_EQ(passes.failures[0],
                  u"保存できませんでした：ディスクの空きが足りません。空きを作ってからやり直してく"
                  u"ださい");
        EXPECT_EQ(bytesOf(document), bytesOf(Offices::ownDocuments().front()));
        EXPECT_EQ(leftovers(disk.path()), std::vector<std::string>{});
    }
    // A folder so deep that the document's path just fits, and no name beside it longer than
    // its own does.
    fs::path deep = folder.path();
    while (deep.string().size() < 4080 - 255)
        deep /= std::string(250, 'd');
    deep /= std::string(4080 - deep.string().size() - 1, 'e');
    fs::create_directories(deep);
    const fs::path document = deep / "a.docx";
    fs::copy_file(Offices::ownDocuments().front(), document);
    Passes passes;
    passes.run(document, u"foo", u"baz");
    ASSERT_EQ(passes.failures.size(), 1u);
    EXPECT_EQ(passes.failures[0],
              u"保存できませんでした：ファイル名かフォルダーの場所が長すぎます。短くしてからやり直"
              u"してください");
    EXPECT_EQ(bytesOf(document), bytesOf(Offices::ownDocuments().front()));
}

// A document whose name takes all 255 bytes is saved all the same, and links planted where a
// pending file of ours might be expected are left alone, their targets untouched.
TEST(OfficeBackend, SavesUnderTheLongestNameWithoutFollowingLinks) {
    TempFolder folder;
    std::string name;
    for (int i = 0; i < 83; ++i)
        name += "文";
    name += "a.docx";
    ASSERT_EQ(name.size(), 255u);
    const fs::path document = folder.copy(Offices::ownDocuments().front(), name);
    const fs::path target = folder.path() / "target";
    std::ofstream(target) << "untouched";
    std::vector<std::string> links;
    for (int i = 1; i <= 4; ++i) {
        const std::string pid = std::to_string(::getpid());
        for (const auto& link : {".~quorvane-" + pid + "-" + std::to_string(i) + "-" + "a.docx",
                                 ".~quorvane-" + pid + "-" + std::to_string(i)}) {
            fs::create_symlink(target, folder.path() / link);
            links.push_back(link);
        }
    }
    Passes passes;
    passes.run(document, u"foo", u"baz");
    EXPECT_TRUE(passes.failures.empty());
    EXPECT_EQ(Offices::reader().count(document, u"baz").at(u"BODY-end"), 1);
    EXPECT_EQ(bytesOf(target), "untouched");
    auto left = leftovers(folder.path());
    std::sort(left.begin(), left.end());
    std::sort(links.begin(), links.end());
    EXPECT_EQ(left, links);
}

}  // namespace
}  // namespace quorvane
