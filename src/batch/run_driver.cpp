#include "batch/run_driver.h"

#include <cstdint>
#include <exception>
#include <limits>
#include <vector>

#include "batch/run_error.h"
#include "platform/automation/automation_error.h"
#include "platform/file_system.h"
#include "platform/log.h"
#include "platform/text_encoding.h"

namespace quorvane {

using platform::kPathSeparator;
using platform::automation::Variant;

namespace {

// A find text made only of spaces is not used. The ideographic space counts as a space: a pair
// of them typed by accident would otherwise bracket every one in every document.
bool isBlank(std::u16string_view text) {
    return text.find_first_not_of(u" \u3000") == std::u16string_view::npos;
}

// Quits the word processor of a run that is left by an exception, so that no path out of a run
// leaves it running.
class ApplicationGuard final {
  public:
    explicit ApplicationGuard(Variant& wdApp) : wdApp_(wdApp) {}
    ApplicationGuard(const ApplicationGuard&) = delete;
    ApplicationGuard& operator=(const ApplicationGuard&) = delete;
    ~ApplicationGuard() {
        if (!wdApp_.isObject())
            return;
        try {
            wdApp_.call(u"Quit");
        } catch (const std::exception&) {
            // Already unwinding from the error that matters; the backend ends its process itself.
        }
        wdApp_ = Variant::nothing;
    }

  private:
    Variant& wdApp_;
};

std::u16string number(std::int64_t n) {
    return platform::fromUtf8(std::to_string(n));
}

// What a document that got some pairs and not others lacks, so the user knows what to redo.
std::u16string missedPairs(const PairTexts& typed, const std::vector<std::size_t>& missed) {
    std::u16string text = u"（";
    for (std::size_t k = 0; k < missed.size(); ++k) {
        const std::size_t j = missed[k];
        text += (k > 0 ? u"、置換 " : u"置換 ") + number(static_cast<std::int64_t>(j)) + u"「" +
                typed.findText[j] + u"」→「" + typed.replText[j] + u"」";
    }
    return text + u"は適用されていません）";
}

}  // namespace

RunDriver::RunDriver(const FormState& form, platform::MessageBox& messages,
                     platform::automation::ObjectFactory& factory)
    : form_(form),
      messages_(messages),
      factory_(factory),
      staging_(form, targets_),
      passes_(form, handles_, report_) {}

void RunDriver::ファイル名取得(std::u16string strFN) {
    report_.clear();
    platform::log::detail(u"実行：" + strFN);
    try {
        run(strFN);
    } catch (const platform::Error& e) {
        RunError error(strFN, e.message());
        platform::log::problem(error.message());
        throw error;
    }
}

void RunDriver::run(const std::u16string& path) {
    if (form_.option2Value() == FormState::kSelected &&
        messages_.show(kConfirmText, kTitle,
                       platform::MessageBox::kYesNo | platform::MessageBox::kQuestion) ==
            platform::MessageBox::kNo) {
        return;
    }
    readPairs();
    const PairTexts typed = pairs_;
    buildTargetList(path);
    platform::log::detail(u"対象 " + number(targets_.fileIndex + 1) + u" 件");

    Variant& wdApp = handles_.wdApp;
    const ApplicationGuard guard(wdApp);
    wdApp = factory_.create(kWordProcessorClass);

    auto& fileList = targets_.fileList;
    for (std::int32_t i = 0; i <= targets_.fileIndex; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        if (progress_)
            progress_->documentStarted(i, targets_.fileIndex + 1, fileList[slot]);
        const std::u16string original = fileList[slot];
        fileList[slot] = staging_.fileconv(original);
        if (fileList[slot].empty()) {
            platform::log::problem(u"コピーできませんでした：" + original);
            wdApp.get(u"Application").put(u"Visible", false);
            wdApp.call(u"Quit");
            wdApp = Variant::nothing;
            messages_.show(kCopyFailedText, kTitle, platform::MessageBox::kCritical);
            return;
        }
        applyPairs(fileList[slot], typed);
    }
    wdApp.call(u"Quit");
    wdApp = Variant::nothing;
}

void RunDriver::applyPairs(const std::u16string& document, const PairTexts& typed) {
    const std::size_t reported = report_.size();
    std::vector<std::size_t> missed;
    bool anyApplied = false;
    for (std::size_t j = 1; j <= 3; ++j) {
        if (isBlank(pairs_.findText[j]))
            continue;
        if (passes_.chikan(document, pairs_.findText[j], u"「" + pairs_.replText[j] + u"」")) {
            anyApplied = true;
        } else {
            missed.push_back(j);
        }
    }
    // A document that got no pair at all keeps its plain reason: it is simply to be done again.
    if (anyApplied && !missed.empty()) {
        for (auto entry = report_.begin() + static_cast<std::ptrdiff_t>(reported);
             entry != report_.end(); ++entry) {
            if (!entry->isNotice())
                entry->reason += missedPairs(typed, missed);
        }
    }
    logOutcome(document, reported);
}

void RunDriver::logOutcome(const std::u16string& document, std::size_t firstEntry) const {
    if (report_.size() == firstEntry) {
        platform::log::detail(u"処理しました：" + document);
        return;
    }
    for (auto entry = report_.begin() + static_cast<std::ptrdiff_t>(firstEntry);
         entry != report_.end(); ++entry) {
        const std::u16string line = document + u"：" + entry->reason;
        if (entry->isNotice()) {
            platform::log::detail(u"お知らせ：" + line);
        } else {
            platform::log::problem(u"処理できませんでした：" + line);
        }
    }
}

void RunDriver::readPairs() {
    for (std::size_t j = 1; j <= 3; ++j) {
        const std::u16string findBox = u"Textbox" + std::u16string(1, u'0' + 2 * j - 1);
        const std::u16string replBox = u"Textbox" + std::u16string(1, u'0' + 2 * j);
        pairs_.findText[j] = form_.pageControlText(u"Page1", findBox);
        pairs_.replText[j] = form_.pageControlText(u"Page1", replBox);
    }
}

void RunDriver::buildTargetList(const std::u16string& path) {
    auto& t = targets_;
    t.fileIndex = 0;
    t.fileList.assign(1, std::u16string());
    // A directory is a folder whatever else its attributes say (read-only, hidden, ...).
    if (platform::fileAttributes(path) & platform::kAttributeDirectory) {
        if (form_.option1Value() == FormState::kSelected) {
            CopyStaging::新フォルダー作成(form_.dir1Path() + kPathSeparator +
                                          CopyStaging::OP_folder(path));
        }
        t.folderFlag = TargetList::kFolder;
        platform::FolderListing listing(path);
        t.dirEntry = listing.next();
        while (!t.dirEntry.empty()) {
            t.fileList[static_cast<std::size_t>(t.fileIndex)] = path + kPathSeparator + t.dirEntry;
            if (t.fileIndex == std::numeric_limits<std::int32_t>::max()) {
                throw platform::Error(u"対象ファイルが多すぎます（オーバーフロー）");
            }
            ++t.fileIndex;
            t.fileList.resize(static_cast<std::size_t>(t.fileIndex) + 1);
            t.dirEntry = listing.next();
        }
    } else {
        t.folderFlag = TargetList::kSingleFile;
        t.fileList[0] = path;
        ++t.fileIndex;
    }
    --t.fileIndex;
}

}  // namespace quorvane
