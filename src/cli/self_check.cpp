#include "cli/self_check.h"

#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "automation/word_model.h"
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

constexpr std::int32_t kDoNotSaveChanges = 0;  // wdDoNotSaveChanges
constexpr std::int32_t kHorizontal = 1;        // msoTextOrientationHorizontal

// The pair of the check and where it lands: the body is searched with case and widths told
// apart, the other regions without regard to case (as the window does).
constexpr std::u16string_view kFind = u"foo";
constexpr std::u16string_view kReplacement = u"済";
constexpr std::u16string_view kMark = u"「済」";

struct Region {
    std::u16string_view name;
    std::u16string_view text;
    int expected;
};
constexpr std::array<Region, 4> kRegions{{
    {u"本文", u"本文 foo Foo ｆｏｏ foo", 2},
    {u"テキストボックス", u"枠 foo Foo", 2},
    {u"ヘッダー", u"頭 FOO", 1},
    {u"フッター", u"脚 foo ｆｏｏ", 1},
}};

// The formats Word saves in (wdFormatDocumentDefault, wdFormatDocument, wdFormatRTF).
struct Format {
    std::u16string_view extension;
    std::int32_t code;
};
constexpr std::array<Format, 3> kFormats{{{u"docx", 16}, {u"doc", 0}, {u"rtf", 6}}};

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

Variant primary(const Variant& section, std::u16string_view list) {
    return section.get(list).call(u"Item", {1}).get(automation::word::member::kRange);
}

void makeDocument(const Word& word, const std::u16string& path, std::int32_t format) {
    const Variant document = word.documents().call(u"Add");
    document.get(u"Content").put(u"Text", std::u16string(kRegions[0].text));
    document.get(u"Shapes")
        .call(u"AddTextbox", {kHorizontal, 100, 100, 200, 50})
        .get(u"TextFrame")
        .get(u"TextRange")
        .put(u"Text", std::u16string(kRegions[1].text));
    const Variant section = document.get(u"Sections").call(u"Item", {1});
    primary(section, u"Headers").put(u"Text", std::u16string(kRegions[2].text));
    primary(section, u"Footers").put(u"Text", std::u16string(kRegions[3].text));
    document.call(u"SaveAs2", {}, {{u"FileName", path}, {u"FileFormat", format}});
    document.call(u"Close", {}, {{u"SaveChanges", kDoNotSaveChanges}});
}

// The replacements found in each region of the document, in the order of kRegions.
std::array<int, 4> countMarks(const Word& word, const std::u16string& path) {
    const Variant document = word.documents().call(automation::word::member::kOpen, {path});
    std::array<int, 4> found{};
    found[0] = occurrences(document.get(u"Content").get(u"Text").toString(), kMark);
    for (const Variant& shape : document.get(u"Shapes").enumerate()) {
        found[1] +=
            occurrences(shape.get(u"TextFrame").get(u"TextRange").get(u"Text").toString(), kMark);
    }
    const Variant section = document.get(u"Sections").call(u"Item", {1});
    found[2] = occurrences(primary(section, u"Headers").get(u"Text").toString(), kMark);
    found[3] = occurrences(primary(section, u"Footers").get(u"Text").toString(), kMark);
    document.call(u"Close", {}, {{u"SaveChanges", kDoNotSaveChanges}});
    return found;
}

std::string cell(std::u16string_view text, std::size_t width) {
    // Japanese characters take two columns on a terminal.
    std::size_t columns = 0;
    for (const char16_t c : text)
        columns += c < 0x1100 ? 1 : 2;
    return toUtf8(text) + std::string(columns < width ? width - columns : 1, ' ');
}

}  // namespace

SelfCheck::SelfCheck(automation::ObjectFactory& factory, os::MessageBox& messages,
                     std::ostream& out)
    : factory_(factory), messages_(messages), out_(out) {}

int SelfCheck::run() {
    try {
        const WorkFolder folder;
        out_ << toUtf8(u"Word の自己診断：文書を作り、置換し、読み直します。") << '\n'
             << std::flush;
        std::vector<std::u16string> names;
        {
            const Word word(factory_);
            for (const Format& format : kFormats) {
                names.push_back(u"自己診断." + std::u16string(format.extension));
                makeDocument(
                    word, folder / (u"in" + std::u16string(1, os::kPathSeparator) + names.back()),
                    format.code);
            }
        }

        run::RunRequest request;
        request.destinationFolder = folder / u"out";
        request.pairs[0] = {std::u16string(kFind), std::u16string(kReplacement)};
        run::RunDriver driver(messages_, factory_);
        const run::RunResult result = driver.run(request, folder / u"in");
        for (const run::DocumentResult& document : result.documents) {
            if (!document.processed()) {
                out_ << toUtf8(u"処理できませんでした：") << os::pathForTerminal(document.source)
                     << '\t' << toUtf8(document.reason) << '\n';
            }
        }

        const Word word(factory_);
        out_ << cell(u"文書", 18) << cell(u"範囲", 20) << cell(u"期待", 6) << cell(u"結果", 6)
             << '\n';
        int mismatches = 0;
        const auto row = [&](std::u16string_view name, std::u16string_view region, int expected,
                             int found) {
            const bool same = expected == found;
            mismatches += same ? 0 : 1;
            out_ << cell(name, 18) << cell(region, 20)
                 << cell(os::fromUtf8(std::to_string(expected)), 6)
                 << cell(os::fromUtf8(std::to_string(found)), 6)
                 << toUtf8(same ? u"一致" : u"不一致") << '\n';
        };
        const std::u16string copies = u"out" + std::u16string(1, os::kPathSeparator) + u"in" +
                                      std::u16string(1, os::kPathSeparator);
        for (const std::u16string& name : names) {
            const auto found = countMarks(word, folder / (copies + name));
            for (std::size_t r = 0; r < kRegions.size(); ++r)
                row(name, kRegions[r].name, kRegions[r].expected, found[r]);
            // The originals stay as they were: only the copies are edited.
            int original = 0;
            for (const int n :
                 countMarks(word, folder / (u"in" + std::u16string(1, os::kPathSeparator) + name)))
                original += n;
            row(name, u"元の文書（全範囲）", 0, original);
        }
        if (mismatches == 0) {
            out_ << toUtf8(u"結果：すべて一致しました。この Word で置換できます。") << '\n';
            return 0;
        }
        out_ << toUtf8(u"結果：") << mismatches
             << toUtf8(u" 項目が一致しません。ログに詳しい記録があります。") << '\n';
        return 1;
    } catch (const os::Error& e) {
        os::log::problem(u"自己診断を中断しました：" + e.message());
        out_ << toUtf8(u"結果：自己診断を続けられませんでした：") << toUtf8(e.message()) << '\n';
        return 3;
    } catch (const fs::filesystem_error& e) {
        out_ << toUtf8(u"結果：作業フォルダーを用意できませんでした：") << e.what() << '\n';
        return 3;
    }
}

}  // namespace quorvane::cli
