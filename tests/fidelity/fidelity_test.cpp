#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "automation/office/office_factory.h"
#include "document_reader.h"
#include "document_text.h"
#include "office_test_support.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "replacement_oracle.h"
#include "run/run_driver.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using run::ReplacementPair;
using run::RunRequest;

const fs::path kFixtures = QUORVANE_FIDELITY_DATA;

struct Format {
    const char* extension;
    const char16_t* filter;
};
constexpr Format kFormats[] = {{".docx", u"MS Word 2007 XML"},
                               {".doc", u"MS Word 97"},
                               {".odt", u"writer8"},
                               {".rtf", u"Rich Text Format"}};

// Every document of the suite in one folder: our own fixtures and the shared test documents, each
// in every format the office saves, read once before any run; and the office the runs use.
class Corpus final : public ::testing::Environment {
  public:
    static const fs::path& folder() { return corpus_->path(); }
    static automation::office::OfficeFactory& factory() { return *factory_; }
    static const DocumentText& before(const fs::path& document) { return before_.at(document); }
    // The text of a document as a reader sees it: .doc and .rtf through the ODF the office makes
    // of them.
    static DocumentText read(const fs::path& document) {
        const auto extension = document.extension();
        if (extension == ".docx")
            return readWordprocessingML(document);
        if (extension == ".odt")
            return readOpenDocument(document);
        const fs::path odt = scratch_->path() / (document.filename().string() + ".odt");
        reader_->convert(document, odt, u"writer8");
        return readOpenDocument(odt);
    }

    void SetUp() override {
        reader_ = std::make_unique<DocumentReader>();
        corpus_ = std::make_unique<TempFolder>();
        scratch_ = std::make_unique<TempFolder>();
        automation::office::OfficeFactory::Options options;
        options.keepWarm = std::chrono::minutes{5};
        factory_ = std::make_unique<automation::office::OfficeFactory>(options);

        std::vector<fs::path> sources = {kOwnData / "sample.fodt",
                                         kOwnData / "comments-and-fields.fodt",
                                         kOwnData / "macro.fodt", kOwnData / "abiword.abw"};
        const fs::path made = scratch_->path() / "made";
        const std::string make =
            "python3 '" + (kFixtures / "make-fixtures.py").string() + "' '" + made.string() + "'";
        ASSERT_EQ(std::system(make.c_str()), 0);
        for (const auto& entry : fs::directory_iterator(made))
            sources.push_back(entry.path());
        std::vector<fs::path> asTheyAre;
        if (fs::exists(kShared)) {
            for (const char* name : {"regions.docx", "textboxes.fodt", "contentcontrols.docx"})
                sources.push_back(kShared / "made" / name);
            for (const char* name : {"regions.doc", "regions.odt", "textboxes.doc",
                                     "textboxes.docx", "textboxes.odt"}) {
                asTheyAre.push_back(kShared / "made" / name);
            }
            for (const auto& entry : fs::directory_iterator(kShared / "word")) {
                if (entry.path().extension() == ".docx")
                    sources.push_back(entry.path());
            }
        }
        for (const auto& source : sources) {
            const std::string stem = source.parent_path().filename().string() + "-" +
                                     source.stem().string() + "-" +
                                     source.extension().string().substr(1);
            for (const auto& format : kFormats) {
                const fs::path target = corpus_->path() / (stem + format.extension);
                if (source.extension() == format.extension)
                    copyInto(*corpus_, source, target.filename().string());
                else
                    reader_->convert(source, target, format.filter);
            }
        }
        for (const auto& document : asTheyAre)
            copyInto(*corpus_, document, "shared-" + document.filename().string());
        for (const auto& entry : fs::directory_iterator(corpus_->path()))
            before_.emplace(entry.path(), read(entry.path()));
    }

    void TearDown() override {
        factory_.reset();
        reader_.reset();
        corpus_.reset();
        scratch_.reset();
    }

  private:
    static inline std::unique_ptr<DocumentReader> reader_;
    static inline std::unique_ptr<automation::office::OfficeFactory> factory_;
    static inline std::unique_ptr<TempFolder> corpus_;
    static inline std::unique_ptr<TempFolder> scratch_;
    static inline std::map<fs::path, DocumentText> before_;
};

const auto* const corpus = ::testing::AddGlobalTestEnvironment(new Corpus);

std::vector<std::string> paragraphs(const Story& story) {
    std::vector<std::string> texts;
    for (const auto& paragraph : story)
        texts.push_back(os::toUtf8(joined(paragraph)));
    return texts;
}

// Stories whose order or number is the office's to choose: headers (a linked one may be written
// once per section) and text boxes (drawn in an order of its own).
std::vector<std::string> distinct(const std::vector<Story>& stories) {
    std::vector<std::string> texts;
    for (const auto& story : stories) {
        if (!story.empty())
            texts.push_back(os::toUtf8(joined(story)));
    }
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    return texts;
}

std::vector<std::string> sorted(const std::vector<std::u16string>& entries) {
    std::vector<std::string> texts;
    for (const auto& entry : entries)
        texts.push_back(os::toUtf8(entry));
    std::sort(texts.begin(), texts.end());
    return texts;
}

void expectSameText(const DocumentText& expected, const DocumentText& found) {
    EXPECT_EQ(paragraphs(found.body), paragraphs(expected.body)) << "body";
    EXPECT_EQ(distinct(found.headersAndFooters), distinct(expected.headersAndFooters))
        << "headers and footers";
    EXPECT_EQ(distinct(found.textBoxes), distinct(expected.textBoxes)) << "text boxes";
    EXPECT_EQ(sorted(found.untouched), sorted(expected.untouched))
        << "comments, notes, fields and building blocks";
}

// The page styles an .odt defines, by name.
std::vector<std::string> pageStyles(const fs::path& odt) {
    const std::string styles = partOf(odt, "styles.xml");
    const std::string tag = "<style:master-page style:name=\"";
    std::vector<std::string> names;
    for (auto at = styles.find(tag); at != std::string::npos; at = styles.find(tag, at + 1)) {
        const auto name = at + tag.size();
        names.push_back(styles.substr(name, styles.find('"', name) - name));
    }
    return names;
}

// Documents the office does not write back whole: a header of a section whose only page has a
// first-page header of its own (Word and RTF), the headers of a second section (RTF). A run leaves
// them as they are and says why.
const std::set<std::string> kWrittenWithLoss = {"made-page-kinds-docx.docx",
                                                "made-page-kinds-docx.rtf", "made-regions-docx.rtf",
                                                "word-sct-first-page-hdrftr-docx.rtf"};

struct Case {
    const char* name;
    std::array<ReplacementPair, RunRequest::kPairs> pairs;
    run::Regions regions{};
    bool matchCase = true;
    bool distinguishWidths = true;
    int offices = 1;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class Fidelity : public ::testing::TestWithParam<Case> {};

run::RunResult runOverCorpus(const RunRequest& request) {
    return runOver(Corpus::folder(), request, Corpus::factory());
}

// What a report tells of a document.
std::string reported(const run::DocumentResult& document) {
    std::string text = std::to_string(static_cast<int>(document.outcome)) + " " +
                       os::toUtf8(document.reason) + " " +
                       std::to_string(document.counts.body.value_or(-1)) + " " +
                       std::to_string(document.counts.textBoxes.value_or(-1)) + " " +
                       std::to_string(document.counts.headersAndFooters.value_or(-1)) + " " +
                       (document.checkedAfterSave ? "checked" : "unchecked");
    for (const auto& notice : document.notices)
        text += " " + os::toUtf8(notice);
    return text;
}

// Every count a report gives of a document: per region, in all and pair by pair.
std::string counted(const run::DocumentResult& document) {
    std::string text;
    const auto add = [&](const run::RegionCounts& counts) {
        for (const auto& count : {counts.body, counts.textBoxes, counts.headersAndFooters})
            text += std::to_string(count.value_or(-1)) + " ";
    };
    add(document.counts);
    for (const auto& pair : document.countsByPair)
        add(pair);
    return text;
}

// A run over the whole corpus on copies, as a user makes it: every document comes out with exactly
// what the pairs ask for in each region, and nothing else of its text changed; one without a match
// is not written at all. Documents whose own bytes show they cannot match are left out of the word
// processor, with the same result to the byte as when every document is loaded.
TEST_P(Fidelity, EveryDocumentHasExactlyTheReplacementsAsked) {
    const Case& c = GetParam();
    TempFolder destination;
    TempFolder everyDocumentLoaded;
    RunRequest request;
    request.destinationFolder = os::fromNativePath(destination.path());
    request.pairs = c.pairs;
    request.regions = c.regions;
    request.matchCase = c.matchCase;
    request.distinguishWidths = c.distinguishWidths;
    request.offices = c.offices;
    const run::RunResult result = runOverCorpus(request);
    RunRequest loadingAll = request;
    loadingAll.skipDocumentsWithoutMatch = false;
    loadingAll.destinationFolder = os::fromNativePath(everyDocumentLoaded.path());
    // Two offices give what one gives (the two-office case shows it), only sooner.
    loadingAll.offices = 2;
    const run::RunResult loaded = runOverCorpus(loadingAll);
    ASSERT_EQ(result.documents.size(), loaded.documents.size());
    EXPECT_TRUE(std::any_of(result.documents.begin(), result.documents.end(),
                            [](const auto& document) { return document.skipped; }));
    for (std::size_t i = 0; i < result.documents.size(); ++i) {
        const auto& skipping = result.documents[i];
        const auto& all = loaded.documents[i];
        SCOPED_TRACE(os::toNativePath(skipping.source).filename().string());
        EXPECT_EQ(reported(skipping), reported(all));
        const fs::path edited = os::toNativePath(skipping.edited);
        const fs::path alsoEdited = os::toNativePath(all.edited);
        if (skipping.outcome == run::Outcome::Replaced) {
            // A save writes the time it was made: the texts are what must agree.
            expectSameText(Corpus::read(alsoEdited), Corpus::read(edited));
        } else {
            EXPECT_EQ(readFile(edited), readFile(alsoEdited));
        }
    }

    // A dry run counts what the run replaced, document by document, region by region and pair by
    // pair, and writes nothing, not even a copy. A save the office refused is the one thing it
    // cannot foresee.
    TempFolder untouched;
    RunRequest dryRun = request;
    dryRun.dryRun = true;
    dryRun.destinationFolder = os::fromNativePath(untouched.path());
    const run::RunResult dry = runOverCorpus(dryRun);
    EXPECT_TRUE(fs::is_empty(untouched.path()));
    ASSERT_EQ(dry.documents.size(), result.documents.size());
    for (std::size_t i = 0; i < result.documents.size(); ++i) {
        const auto& real = result.documents[i];
        SCOPED_TRACE("dry run: " + os::toNativePath(real.source).filename().string());
        EXPECT_EQ(os::toNativePath(dry.documents[i].edited).filename(),
                  os::toNativePath(real.edited).filename());
        if (real.outcome == run::Outcome::NotSaved)
            continue;
        EXPECT_EQ(dry.documents[i].outcome, real.outcome) << os::toUtf8(dry.documents[i].reason);
        EXPECT_EQ(counted(dry.documents[i]), counted(real));
    }

    ReplacementOracle oracle(request);
    ASSERT_FALSE(result.documents.empty());
    for (const auto& document : result.documents) {
        const fs::path source = os::toNativePath(document.source);
        const fs::path edited = os::toNativePath(document.edited);
        SCOPED_TRACE(source.filename().string());
        const DocumentText& before = Corpus::before(source);
        ReplacementOracle::Counts counts;
        const DocumentText expected = oracle.expected(before, counts);
        if (kWrittenWithLoss.contains(source.filename().string()) && !document.processed()) {
            EXPECT_NE(document.reason.find(u"内容の一部が失われる"), std::u16string::npos)
                << os::toUtf8(document.reason);
            EXPECT_EQ(readFile(edited), readFile(source)) << "a document refused is left as it was";
            continue;
        }
        ASSERT_TRUE(document.processed()) << os::toUtf8(document.reason);
        if (counts.body + counts.textBoxes + counts.headersAndFooters == 0) {
            EXPECT_EQ(document.outcome, run::Outcome::Unchanged);
            EXPECT_EQ(readFile(edited), readFile(source)) << "an untouched document is not written";
            continue;
        }
        EXPECT_EQ(document.outcome, run::Outcome::Replaced);
        EXPECT_EQ(readFile(edited).substr(0, 4), readFile(source).substr(0, 4)) << "its format";
        expectSameText(expected, Corpus::read(edited));
        if (edited.extension() == ".odt") {
            // Looking for headers in every page style the office lists must not create them.
            EXPECT_EQ(pageStyles(edited), pageStyles(source)) << "page styles";
        }
        EXPECT_EQ(document.counts.body.value_or(0), counts.body) << "replacements in the body";
    }
}

ReplacementPair pair(const char16_t* find, const char16_t* replacement) {
    return {find, replacement};
}

INSTANTIATE_TEST_SUITE_P(
    PairSets, Fidelity,
    ::testing::Values(
        // Shorter, longer (holding the find text itself) and empty replacements.
        Case{"AsciiJapaneseAndEmpty",
             {pair(u"foo", u"b"), pair(u"東京", u"東京都"), pair(u"ＡＢＣ", u"")}},
        // A blank first row; widths alike and case ignored in the body.
        Case{.name = "WidthsAlikeCaseIgnored",
             .pairs = {pair(u"", u""), pair(u"ａｂｃ", u"ＸＹＺ"), pair(u"Foo", u"foo bar")},
             .matchCase = false,
             .distinguishWidths = false},
        // Each pair finds what the pair before it wrote, the last with the same find text as
        // the one before it; the body left out.
        Case{"PairsCascadeOutsideTheBody",
             {pair(u"foo", u"b2"), pair(u"b2", u"c3b2"), pair(u"b2", u"z")},
             {false, true, true}},
        // English documents: common words and single letters, case told apart; headers and
        // footers left out.
        Case{"EnglishTextWithoutHeaders",
             {pair(u"the", u"THE"), pair(u"a", u"ä"), pair(u"in", u"")},
             {true, true, false}},
        // Headers and footers and the body only, over two offices.
        Case{.name = "TwoOfficesBodyAndHeaders",
             .pairs = {pair(u"foo", u"東京"), pair(u"", u""), pair(u"東京", u"x")},
             .regions = {true, false, true},
             .offices = 2}),
    [](const auto& info) { return std::string(info.param.name); });

// quorvane-batch itself on a document the office cannot write back whole: it is left as it was and
// reported; with --no-verify it is saved, and the header is gone.
TEST(SavedFileCheck, ALossyDocumentIsLeftAsItWasUnlessTheCheckIsTurnedOff) {
    TempFolder dir;
    const std::string make = "python3 '" + (kFixtures / "make-fixtures.py").string() + "' '" +
                             (dir.path() / "made").string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const fs::path original = dir.path() / "page-kinds.docx";
    fs::copy_file(dir.path() / "made" / "page-kinds.docx", original);
    const std::string bytes = readFile(original);
    const auto run = [&](const std::string& options) {
        return runBatch(dir.path(), options + " --in-place --yes --pair foo b page-kinds.docx");
    };
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(readFile(original), bytes);
    EXPECT_NE(readFile(dir.path() / "out.txt")
                  .find("書き出すと内容の一部が失われるため、元のままにしました（ヘッダー・フッター"
                        "：『HDR-section1 「b」』）"),
              std::string::npos)
        << readFile(dir.path() / "out.txt");

    EXPECT_EQ(run("--no-verify"), 0) << readFile(dir.path() / "err.txt");
    const DocumentText saved = readWordprocessingML(original);
    const auto headers = distinct(saved.headersAndFooters);
    EXPECT_EQ(headers, (std::vector<std::string>{"HDR-section1-first 「b」\n",
                                                 "HDR-section2 「b」 東京\n"}));
}

std::string encoded(const std::u16string& text, const char* encoding) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(encoding, &status),
                                                                       ucnv_close);
    std::string bytes(text.size() * 4 + 4, '\0');
    const auto length =
        ucnv_fromUChars(converter.get(), bytes.data(), static_cast<int32_t>(bytes.size()),
                        text.data(), static_cast<int32_t>(text.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << encoding;
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

// Plain text in the encodings Japanese text files come in, with either line end: each comes back
// in its own encoding, line ends and byte-order mark, changed only where a pair matched. A file
// that is in none of them is left alone and said so.
TEST(TextFiles, ComeBackByteForByteButForTheReplacements) {
    // The office ends the last line of every text it writes: so do these.
    const std::u16string text = u"最初の行 foo 東京\n二行目 ｱｲｳ foo\n東京タワー\n";
    const std::u16string after = u"最初の行 「b」 「大阪」\n二行目 ｱｲｳ 「b」\n「大阪」タワー\n";
    struct File {
        const char* name;
        const char* encoding;
        std::string mark;
    };
    const File files[] = {{"utf8", "UTF-8", ""},
                          {"utf8-mark", "UTF-8", "\xEF\xBB\xBF"},
                          {"utf16", "UTF-16LE", "\xFF\xFE"},
                          {"shift-jis", "windows-31j", ""},
                          {"euc-jp", "EUC-JP", ""}};
    TempFolder source;
    TempFolder destination;
    const auto lines = [](std::u16string s, bool crlf) {
        for (auto at = s.find(u'\n'); crlf && at != std::u16string::npos;
             at = s.find(u'\n', at + 2))
            s.replace(at, 1, u"\r\n");
        return s;
    };
    // What each file must hold after the run.
    std::map<std::string, std::string> expected;
    for (const auto& file : files) {
        for (const bool crlf : {false, true}) {
            const std::string name = std::string(file.name) + (crlf ? "-crlf" : "-lf") + ".txt";
            std::ofstream(source.path() / name, std::ios::binary)
                << file.mark + encoded(lines(text, crlf), file.encoding);
            expected[name] = file.mark + encoded(lines(after, crlf), file.encoding);
        }
    }
    std::ofstream(source.path() / "unknown.txt", std::ios::binary) << "foo \x81\x7F\xFF\xFE\xA0";

    RunRequest request;
    request.destinationFolder = os::fromNativePath(destination.path());
    request.pairs = {pair(u"foo", u"b"), pair(u"東京", u"大阪"), pair(u"", u"")};
    const auto result = runOver(source.path(), request, Corpus::factory());
    ASSERT_EQ(result.documents.size(), std::size(files) * 2 + 1);
    for (const auto& document : result.documents) {
        const fs::path copy = os::toNativePath(document.edited);
        const std::string name = copy.filename().string();
        SCOPED_TRACE(name);
        if (name == "unknown.txt") {
            EXPECT_EQ(document.outcome, run::Outcome::NotOpened);
            EXPECT_NE(document.reason.find(u"文字コード"), std::u16string::npos);
            EXPECT_EQ(readFile(copy), readFile(source.path() / name));
            continue;
        }
        EXPECT_EQ(document.outcome, run::Outcome::Replaced) << os::toUtf8(document.reason);
        EXPECT_EQ(readFile(copy), expected.at(name));
    }
}

}  // namespace
}  // namespace quorvane
