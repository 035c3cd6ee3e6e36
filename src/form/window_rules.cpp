#include "form/window_rules.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "os/available_memory.h"
#include "os/message_box.h"
#include "os/text_encoding.h"

namespace quorvane::form {
namespace {

// How many documents a report names before it only counts the rest.
constexpr std::size_t kListed = 20;

std::u16string number(std::size_t n) {
    return os::fromUtf8(std::to_string(n));
}

struct Entry {
    std::u16string path;
    std::u16string text;
};

std::u16string listed(const std::vector<Entry>& entries) {
    std::u16string text;
    for (std::size_t i = 0; i < entries.size() && i < kListed; ++i)
        text += u"\n・" + entries[i].path + u"\n　" + entries[i].text;
    if (entries.size() > kListed)
        text += u"\n\nほか " + number(entries.size() - kListed) + u" 件";
    return text;
}

}  // namespace

Visibility visibleOnPage(int page, bool copying) {
    static constexpr std::array<Visibility, 3> kShown{{
        {false, false, false, false, false, false, false, false, false},
        {true, true, true, true, false, false, false, false, false},
        {false, false, false, false, true, true, true, true, true},
    }};
    Visibility shown{};
    if (page >= 0 && page < static_cast<int>(kShown.size()))
        shown = kShown[static_cast<std::size_t>(page)];
    if (!copying) {
        shown[Folders - kFirstPageControl] = false;
        shown[Drives - kFirstPageControl] = false;
    }
    return shown;
}

run::RunRequest requestFrom(const ControlValues& values) {
    run::RunRequest request;
    request.mode =
        values.copying ? run::RunRequest::Mode::CopyFirst : run::RunRequest::Mode::EditOriginals;
    request.destinationFolder = values.folder;
    for (std::size_t j = 0; j < run::RunRequest::kPairs; ++j)
        request.pairs[j] = {values.texts[2 * j], values.texts[2 * j + 1]};
    request.regions = values.regions;
    request.matchCase = values.matchCase;
    request.distinguishWidths = values.distinguishWidths;
    request.offices = officesForThisMachine();
    return request;
}

int officesForThisMachine() {
#ifdef _WIN32
    return 1;
#else
    constexpr std::uint64_t kPerOffice = 300ULL * 1024 * 1024;
    const auto available = os::availableMemory().value_or(0);
    const int cores = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    return std::clamp(static_cast<int>(std::min<std::uint64_t>(available / kPerOffice, 4)), 1,
                      cores);
#endif
}

std::optional<Message> reportOf(const run::RunResult& result) {
    std::vector<Entry> failures;
    std::vector<Entry> notices;
    for (const run::DocumentResult& document : result.documents) {
        for (const std::u16string& notice : document.notices)
            notices.push_back({document.edited, notice});
        // A failed copy has its own notice, and what it left unreached goes with it.
        if (document.outcome == run::Outcome::NotOpened ||
            document.outcome == run::Outcome::NotSaved) {
            failures.push_back({document.edited, document.reason});
        }
    }
    if (failures.empty() && notices.empty())
        return std::nullopt;
    Message message;
    if (!failures.empty()) {
        message.text = u"次の文書は開けなかったか保存できなかったため、置換されていません（" +
                       number(failures.size()) + u" 件）。\n" + listed(failures);
    }
    if (!notices.empty()) {
        if (!message.text.empty())
            message.text += u"\n\n";
        message.text += u"次の文書は処理しましたが、お知らせがあります（" + number(notices.size()) +
                        u" 件）。\n" + listed(notices);
    }
    message.flags = failures.empty() ? os::MessageBox::kInformation : os::MessageBox::kExclamation;
    return message;
}

std::u16string progressLine(std::int32_t index, std::int32_t count, const std::u16string& name) {
    return number(static_cast<std::size_t>(index) + 1) + u" / " +
           number(static_cast<std::size_t>(count)) + u" 件目を処理中：" + name;
}

std::u16string unreadableDrive(const std::u16string& drive) {
    return u"ドライブ「" + drive +
           u"」を読み取れません。\n"
           u"メディアが入っているか、ネットワークにつながっているかを確かめてください。";
}

std::u16string unopenableFolder(const std::u16string& folder) {
    return u"フォルダー「" + folder + u"」を開けません。";
}

bool FolderPerDrive::change(const std::filesystem::path& from, const std::filesystem::path& folder,
                            const std::filesystem::path& to, const Open& open) {
    folders_[from] = folder;
    const auto remembered = folders_.find(to);
    return (remembered != folders_.end() && open(remembered->second)) || open(to);
}

}  // namespace quorvane::form
