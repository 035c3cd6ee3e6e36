#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
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

#include "batch/run_driver.h"
#include "common/plain_form_state.h"
#include "document_reader.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/office/office_factory.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "replace/document_passes.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::automation::AutomationError;
using platform::automation::Variant;
using platform::automation::office::OfficeFactory;
using testing::DocumentReader;

const fs::path kShared = QUORVANE_SHARED_TESTDATA;
const fs::path kOwnData = QUORVANE_OFFICE_TEST_DATA;

// Checks 1..5: body, text boxes, headers and footers, match case, distinguish widths.
enum Region { kBody = 0, kShapes = 1, kHeaders = 2, kNone = 3 };

Region regionOf(const std::u16string& label) {
    for (const auto* prefix : {u"BODY-", u"CELL-", u"NESTED-"}) {
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

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Office processes started by this test process that have not been reaped.
std::vector<pid_t> officeChildren() {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos || line.find("(soffice.bin)") == std::string::npos)
            continue;
        char state = 0;
        pid_t parent = 0;
        std::istringstream rest(line.substr(close + 2));
        rest >> state >> parent;
        if (parent == ::getpid())
            found.push_back(std::stoi(name));
    }
    return found;
}

// Files an office or a save leaves behind: lock files and pending new versions.
std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".~lock.") || name.starts_with(".~quorvane-"))
            found.push_back(name);
    }
    return found;
}

std::vector<std::string> privateFoldersOfOurs() {
    std::vector<std::string> found;
    std::error_code error;
    const std::string prefix = std::to_string(::getpid()) + "-";
    for (const auto& entry :
         fs::directory_iterator(fs::temp_directory_path() / "quorvane-office", error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix))
            found.push_back(name);
    }
    return found;
}

class TempFolder final {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "quorvane-office-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    fs::path copy(const fs::path& source, const std::string& name = {}) const {
        const fs::path target = path_ / (name.empty() ? source.filename() : fs::path(name));
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
        return target;
    }

  private:
    fs::path path_;
};

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
        EXPECT_TRUE(privateFoldersOfOurs().empty());
    }

  private:
    static inline std::unique_ptr<DocumentReader> reader_;
    static inline std::unique_ptr<OfficeFactory> factory_;
    static inline Variant application_;
    static inline std::vector<fs::path> own_;
    static inline TempFolder ownFolder_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Offices);

// The document passes over the shared office, with the form's checks as given.
struct Passes {
    PlainFormState form;
    AutomationHandles handles;
    RunReport report;

    Passes() { handles.wdApp = Offices::application(); }

    void run(const fs::path& document, std::u16string find, const std::u16string& replacement) {
        DocumentPasses passes(form, handles, report);
        passes.chikan(platform::fromNativePath(document), find, replacement);
    }
    void regions(bool body, bool shapes, bool headers) {
        form.checks[0] = body ? FormState::kChecked : FormState::kUnchecked;
        form.checks[1] = shapes ? FormState::kChecked : FormState::kUnchecked;
        form.checks[2] = headers ? FormState::kChecked : FormState::kUnchecked;
    }
};

std::vector<fs::path> madeDocuments() {
    std::vector<fs::path> found;
    if (!fs::exists(kShared / "made"))
        return found;
    for (const auto& entry : fs::directory_iterator(kShared / "made"))
        found.push_back(entry.path());
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
        EXPECT_TRUE(passes.report.empty());
        const auto foo = reader.count(document, u"foo");
        const auto baz = reader.count(document, u"baz");
        for (const auto& [label, n] : before) {
            const Region region = regionOf(label);
            const bool chosen = region != kNone && choice[region];
            SCOPED_TRACE(platform::toUtf8(label));
            EXPECT_EQ(foo.contains(label) ? foo.at(label) : 0, chosen ? 0 : n);
            const int caseless =
                region != kBody && capitalised.contains(label) ? capitalised.at(label) : 0;
            EXPECT_EQ(baz.contains(label) ? baz.at(label) : 0, chosen ? n + caseless : 0);
        }
        EXPECT_EQ(reader.filter(document), filter);
        EXPECT_TRUE(leftovers(folder.path()).empty());
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

TEST(OfficeBackend, LeavesADocumentWithoutMatchesUntouched) {
    for (const auto& original : Offices::ownDocuments()) {
        TempFolder folder;
        const fs::path document = folder.copy(original);
        const auto bytes = bytesOf(document);
        const auto time = fs::last_write_time(document) - 1h;
        fs::last_write_time(document, time);
        Passes passes;
        passes.run(document, u"nowhere", u"baz");
        EXPECT_TRUE(passes.report.empty());
        EXPECT_EQ(bytesOf(document), bytes);
        EXPECT_EQ(fs::last_write_time(document), time);
        EXPECT_TRUE(leftovers(folder.path()).empty());
    }
}

}  // namespace
}  // namespace quorvane
