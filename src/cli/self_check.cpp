#include "cli/self_check.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "automation/word_model.h"
#include "cli/cli_messages.h"
#include "os/error.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text_encoding.h"
#include "run/run_driver.h"
#include "run/run_error.h"

namespace quorvane::cli {

namespace fs = std::filesystem;
using automation::Variant;
using os::toUtf8;

namespace {

constexpr std::int32_t kHorizontal = 1;  // msoTextOrientationHorizontal
constexpr std::int32_t kDocx = 16;       // wdFormatDocumentDefault

// The pairs of the check and what they leave. The first is searched with case and widths told
// apart in the body and without regard to case elsewhere (as the window does); the second puts a
// replacement with letters for an uppercase match; the third's replacement holds its find text,
// so that a text replaced twice shows.
constexpr std::u16string_view kFind = u"foo";
constexpr std::u16string_view kReplacement = u"済";
constexpr std::u16string_view kMark = u"「済」";
constexpr std::u16string_view kCasedFind = u"case";
constexpr std::u16string_view kCasedReplacement = u"Case";
constexpr std::u16string_view kCasedMark = u"「Case」";
constexpr std::u16string_view kGrowingFind = u"東京";
constexpr std::u16string_view kGrowingReplacement = u"東京都";

struct Region {
    std::u16string_view name;
    std::u16string_view text;
    int expected;
};
constexpr std::array<Region, 5> kRegions{{
    {u"本文", u"本文 foo Foo ｆｏｏ foo", 2},
    {u"テキストボックス", u"枠 foo Foo", 2},
    {u"ヘッダー", u"頭 FOO CASE", 1},
    {u"フッター", u"脚 foo ｆｏｏ", 1},
    {u"ヘッダーのテキストボックス", u"頭枠 foo", 1},
}};

// The formats Word saves in (wdFormatDocumentDefault, wdFormatDocument, wdFormatRTF).
struct Format {
    std::u16string_view extension;
    std::int32_t code;
};
constexpr std::array<Format, 3> kFormats{{{u"docx", kDocx}, {u"doc", 0}, {u"rtf", 6}}};

// Two sections whose headers are linked, and a group of two text boxes.
constexpr std::u16string_view kSectionsName = u"節と組.docx";
constexpr std::u16string_view kLinkedHeader = u"節 東京";
constexpr std::u16string_view kLinkedHeaderAfter = u"節 「東京都」";
constexpr std::array<std::u16string_view, 2> kGroupTexts{u"組一 foo", u"組二 foo"};
// A document saved with the recommendation to open it read-only.
constexpr std::u16string_view kRecommendedName = u"推奨.docx";
// Text files, written here byte by byte, and what they must hold afterwards byte by byte: UTF-8
// without a byte order mark, and Shift_JIS, both "テキスト foo" and a CR LF.
struct TextFile {
    std::u16string_view name;
    std::string_view before;
    std::string_view after;
};
constexpr std::array<TextFile, 2> kTextFiles{{
    {u"utf8.txt", "\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88 foo\r\n",
     "\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88 \xE3\x80\x8C\xE6\xB8\x88\xE3\x80\x8D\r\n"},
    {u"sjis.txt", "\x83\x65\x83\x4C\x83\x58\x83\x67 foo\r\n",
     "\x83\x65\x83\x4C\x83\x58\x83\x67 \x81\x75\x8D\xCF\x81\x76\r\n"},
}};

int occurrences(std::u16string_view text, std::u16string_view word) {
    int n = 0;
    for (auto at = text.find(word); at != std::u16string_view::npos;
         at = text.find(word, at + word.size())) {
        ++n;
    }
    return n;
}

// A folder of its own under the system's temporary folder, removed with what it holds.
class WorkFolder final {
  public:
    WorkFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() /
                ("quorvane-self-check-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(path_ / "in");
        fs::create_directories(path_ / "out");
    }
    ~WorkFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    std::u16string operator/(std::u16string_view relative) const {
        return os::fromNativePath(path_) + os::kPathSeparator + std::u16string(relative);
    }
    // The original of a document, and its copy.
    std::u16string in(std::u16string_view name) const {
        return *this / (u"in" + std::u16string(1, os::kPathSeparator) + std::u16string(name));
    }
    std::u16string copy(std::u16string_view name) const {
        const std::u16string separator(1, os::kPathSeparator);
        return *this / (u"out" + separator + u"in" + separator + std::u16string(name));
    }

  private:
    fs::path path_;
};

// The word processor of one step, quit however the step ends.
class Word final {
  public:
    explicit Word(automation::ObjectFactory& factory)
        : application_(factory.create(automation::word::kApplicationClass)) {}
    ~Word() {
        try {
            application_.call(automation::word::member::kQuit);
        } catch (const automation::AutomationError& e) {
            os::log::problem(u"自己診断のワープロを終了できませんでした：" + e.message());
        }
    }
    Word(const Word&) = delete;
    Word& operator=(const Word&) = delete;

    Variant documents() const { return application_.get(automation::word::member::kDocuments); }

  private:
    Variant application_;
};

Variant primary(const Variant& document, std::int32_t section, std::u16string_view list) {
    return document.get(u"Sections").call(u"Item", {section}).get(list).call(u"Item", {1});
}

Variant addTextbox(const Variant& shapes, std::u16string_view text) {
    Variant box = shapes.call(u"AddTextbox", {kHorizontal, 100, 100, 200, 50});
    box.get(u"TextFrame").get(u"TextRange").put(u"Text", std::u16string(text));
    return box;
}

void saveAndClose(const Variant& document, const std::u16string& path, std::int32_t format,
                  bool readOnlyRecommended = false) {
    document.call(u"SaveAs2", {},
                  {{std::u16string(automation::word::member::kFileName), path},
                   {u"FileFormat", format},
                   {u"ReadOnlyRecommended", readOnlyRecommended}});
    automation::word::Document(document).discard();
}

void makeRegionDocument(const Word& word, const std::u16string& path, std::int32_t format) {
    const Variant document = word.documents().call(u"Add");
    document.get(u"Content").put(u"Text", std::u16string(kRegions[0].text));
    addTextbox(document.get(u"Shapes"), kRegions[1].text);
    primary(document, 1, u"Headers").get(u"Range").put(u"Text", std::u16string(kRegions[2].text));
    primary(document, 1, u"Footers").get(u"Range").put(u"Text", std::u16string(kRegions[3].text));
    addTextbox(primary(document, 1, u"Headers").get(u"Shapes"), kRegions[4].text);
    saveAndClose(document, path, format);
}

// A new section's headers are linked to the previous section's, as the reference has them.
void makeSectionsDocument(const Word& word, const std::u16string& path) {
    const Variant document = word.documents().call(u"Add");
    document.get(u"Content").put(u"Text", u"一");
    for (const auto text : kGroupTexts)
        addTextbox(document.get(u"Shapes"), text);
    document.get(u"Content").get(u"ShapeRange").call(u"Group");
    document.get(u"Sections").call(u"Add");
    primary(document, 1, u"Headers").get(u"Range").put(u"Text", std::u16string(kLinkedHeader));
    saveAndClose(document, path, kDocx);
}

void makeRecommendedDocument(const Word& word, const std::u16string& path) {
    const Variant document = word.documents().call(u"Add");
    document.get(u"Content").put(u"Text", u"推奨 foo");
    saveAndClose(document, path, kDocx, true);
}

std::u16string textOf(const Variant& range) {
    std::u16string text = range.get(u"Text").toString();
    // A story's range ends with its paragraph mark.
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n'))
        text.pop_back();
    return text;
}

int marksInShapes(const Variant& shapes, std::u16string_view mark) {
    int found = 0;
    for (const Variant& shape : shapes.enumerate()) {
        if (automation::word::Shape(shape).type() == automation::word::kGroupShape)
            found += marksInShapes(shape.get(u"GroupItems"), mark);
        else
            found += occurrences(textOf(shape.get(u"TextFrame").get(u"TextRange")), mark);
    }
    return found;
}

// An open document, closed without saving however the reading ends.
class Opened final {
  public:
    Opened(const Word& word, const std::u16string& path)
        : document_(word.documents().call(automation::word::member::kOpen, {path})) {}
    ~Opened() {
        try {
            automation::word::Document(document_).discard();
        } catch (const automation::AutomationError& e) {
            os::log::problem(u"自己診断の文書を閉じられませんでした：" + e.message());
        }
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    const Variant* operator->() const { return &document_; }
    const Variant& operator*() const { return document_; }

  private:
    Variant document_;
};

// The replacements found in each region of the document, in the order of kRegions.
std::array<int, kRegions.size()> countMarks(const Word& word, const std::u16string& path) {
    const Opened document(word, path);
    const Variant header = primary(*document, 1, u"Headers");
    return {occurrences(textOf(document->get(u"Content")), kMark),
            marksInShapes(document->get(u"Shapes"), kMark),
            occurrences(textOf(header.get(u"Range")), kMark),
            occurrences(textOf(primary(*document, 1, u"Footers").get(u"Range")), kMark),
            marksInShapes(header.get(u"Shapes"), kMark)};
}

std::string readBytes(const std::u16string& path) {
    std::ifstream in(os::toNativePath(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string cell(std::u16string_view text, std::size_t width) {
    // Japanese characters take two columns on a terminal.
    std::size_t columns = 0;
    for (const char16_t c : text)
        columns += c < 0x1100 ? 1 : 2;
    return toUtf8(text) + std::string(columns < width ? width - columns : 1, ' ');
}

// The table the check prints: what it expected and what it found, row by row.
class ResultTable final {
  public:
    explicit ResultTable(std::ostream& out) : out_(out) {
        out_ << cell(messages::kDocumentColumn, 18) << cell(messages::kRegionColumn, 28)
             << cell(messages::kExpectedColumn, 16) << cell(messages::kFoundColumn, 16) << '\n';
    }

    void row(std::u16string_view name, std::u16string_view region, const std::u16string& expected,
             const std::u16string& found, bool same) {
        mismatches_ += same ? 0 : 1;
        out_ << cell(name, 18) << cell(region, 28) << cell(expected, 16) << cell(found, 16)
             << toUtf8(same ? messages::kSame : messages::kDifferent) << '\n';
    }
    void count(std::u16string_view name, std::u16string_view region, int expected, int found) {
        row(name, region, messages::number(expected), messages::number(found), expected == found);
    }
    int mismatches() const { return mismatches_; }

  private:
    std::ostream& out_;
    int mismatches_ = 0;
};

// Every test file of the check, in the folder's "in": the names of the region documents.
std::vector<std::u16string> makeTestFiles(automation::ObjectFactory& factory,
                                          const WorkFolder& folder) {
    std::vector<std::u16string> names;
    const Word word(factory);
    for (const Format& format : kFormats) {
        names.push_back(u"自己診断." + std::u16string(format.extension));
        makeRegionDocument(word, folder.in(names.back()), format.code);
    }
    makeSectionsDocument(word, folder.in(kSectionsName));
    makeRecommendedDocument(word, folder.in(kRecommendedName));
    for (const TextFile& file : kTextFiles)
        std::ofstream(os::toNativePath(folder.in(file.name)), std::ios::binary) << file.before;
    return names;
}

// One run over the test files, on copies, as the program makes it; what it could not process is
// printed.
void runOnCopies(automation::ObjectFactory& factory, os::MessageBox& messages,
                 const WorkFolder& folder, std::ostream& out) {
    run::RunRequest request;
    request.destinationFolder = folder / u"out";
    request.pairs[0] = {std::u16string(kFind), std::u16string(kReplacement)};
    request.pairs[1] = {std::u16string(kCasedFind), std::u16string(kCasedReplacement)};
    request.pairs[2] = {std::u16string(kGrowingFind), std::u16string(kGrowingReplacement)};
    run::RunDriver driver(messages, factory);
    const run::RunResult result = driver.run(request, folder / u"in");
    for (const run::DocumentResult& document : result.documents) {
        if (!document.processed()) {
            out << messages::notProcessed(os::pathForTerminal(document.source), document.reason)
                << '\n';
        }
    }
}

void checkRegionDocuments(ResultTable& table, const Word& word, const WorkFolder& folder,
                          const std::vector<std::u16string>& names) {
    for (const std::u16string& name : names) {
        const auto found = countMarks(word, folder.copy(name));
        for (std::size_t r = 0; r < kRegions.size(); ++r)
            table.count(name, kRegions[r].name, kRegions[r].expected, found[r]);
        // Word would put 「CASE」 for the uppercase CASE; the replacement is as typed.
        const Opened copy(word, folder.copy(name));
        table.count(name, messages::kUppercaseHeaderRow, 1,
                    occurrences(textOf(primary(*copy, 1, u"Headers").get(u"Range")), kCasedMark));
        // The originals stay as they were: only the copies are edited.
        int original = 0;
        for (const int n : countMarks(word, folder.in(name)))
            original += n;
        table.count(name, messages::kOriginalRow, 0, original);
    }
}

void checkSectionsAndRecommendation(ResultTable& table, const Word& word,
                                    const WorkFolder& folder) {
    {
        const Opened copy(word, folder.copy(kSectionsName));
        const std::u16string header = textOf(primary(*copy, 2, u"Headers").get(u"Range"));
        table.row(kSectionsName, messages::kLinkedHeaderRow, std::u16string(kLinkedHeaderAfter),
                  header, header == kLinkedHeaderAfter);
        table.count(kSectionsName, messages::kGroupRow, static_cast<int>(kGroupTexts.size()),
                    marksInShapes(copy->get(u"Shapes"), kMark));
    }
    const Opened copy(word, folder.copy(kRecommendedName));
    table.count(kRecommendedName, messages::kBody, 1,
                occurrences(textOf(copy->get(u"Content")), kMark));
    const bool recommended = copy->get(u"ReadOnlyRecommended").toBool();
    table.row(kRecommendedName, messages::kReadOnlyRecommendedRow, std::u16string(messages::kYes),
              std::u16string(recommended ? messages::kYes : messages::kNo), recommended);
}

void checkTextFiles(ResultTable& table, const WorkFolder& folder) {
    for (const TextFile& file : kTextFiles) {
        const std::string bytes = readBytes(folder.copy(file.name));
        const bool otherContent = bytes.size() == file.after.size() && bytes != file.after;
        table.row(file.name, messages::kBytesRow, messages::bytes(file.after.size()),
                  messages::bytes(bytes.size()) +
                      std::u16string(otherContent ? messages::kOtherContent : u""),
                  bytes == file.after);
    }
}

}  // namespace

SelfCheck::SelfCheck(automation::ObjectFactory& factory, os::MessageBox& messages,
                     std::ostream& out)
    : factory_(factory), messages_(messages), out_(out) {}

int SelfCheck::run() {
    try {
        const WorkFolder folder;
        out_ << toUtf8(messages::kSelfCheckStarts) << '\n' << std::flush;
        const std::vector<std::u16string> names = makeTestFiles(factory_, folder);
        runOnCopies(factory_, messages_, folder, out_);

        const Word word(factory_);
        ResultTable table(out_);
        checkRegionDocuments(table, word, folder, names);
        checkSectionsAndRecommendation(table, word, folder);
        checkTextFiles(table, folder);
        if (table.mismatches() == 0) {
            out_ << toUtf8(messages::kSelfCheckPassed) << '\n';
            return 0;
        }
        out_ << toUtf8(messages::selfCheckFailed(table.mismatches())) << '\n';
        return 1;
    } catch (const os::Error& e) {
        os::log::problem(u"自己診断を中断しました：" + e.message());
        out_ << toUtf8(messages::selfCheckStopped(e.message())) << '\n';
        return 3;
    } catch (const fs::filesystem_error& e) {
        os::log::problem(u"自己診断の作業フォルダーを用意できません：" + os::fromUtf8(e.what()));
        out_ << toUtf8(messages::workFolderNotMade(os::describe(e.code()))) << '\n';
        return 3;
    }
}

}  // namespace quorvane::cli
