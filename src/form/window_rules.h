#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "form/layout.h"
#include "run/run_request.h"
#include "run/run_result.h"

namespace quorvane::form {

// What the window does that is not drawing, shared by every window toolkit so that the windows
// cannot drift apart: which controls each page shows, the request a run gets from the controls,
// and what the user is told of a run's result.

// The controls of the two pages that have none of their own, kWindowControls from
// kFirstPageControl on: they belong to the window and lie over the page area.
inline constexpr std::size_t kPageControls = kWindowControls.size() - kFirstPageControl;
using Visibility = std::array<bool, kPageControls>;

// The page rule: the controls shown on page (0 to 2), given whether copying (Option1) is chosen.
// The lists belong to copying: with the originals edited they stay hidden on every page, and
// both option buttons show or hide them as they change that choice.
Visibility visibleOnPage(int page, bool copying);

// The controls' values as a run reads them.
struct ControlValues {
    bool copying = true;
    std::u16string folder;
    // TextBox1 .. TextBox6: find, replacement, find, replacement, ...
    std::array<std::u16string, 6> texts;
    run::Regions regions;
    bool matchCase = true;
    bool distinguishWidths = true;
};
// The request for a run of the window: the controls' values, and as many offices as
// officesForThisMachine() gives.
run::RunRequest requestFrom(const ControlValues& values);

// Offices for the documents of a run: one per core, at most four, and only as many as the memory
// not in use holds (about 300 MiB each); where that cannot be read, one. On Windows one Word
// serves a run: its objects answer only the thread that made them.
int officesForThisMachine();

// A message box for the user: its text and the classic flags.
struct Message {
    std::u16string text;
    int flags = 0;
};

// What the window says after a run: the documents it could not open or save, then the notices of
// the ones it processed; nothing when there is nothing to tell.
std::optional<Message> reportOf(const run::RunResult& result);

// The progress line while a run works on its documents; index counts from 0.
std::u16string progressLine(std::int32_t index, std::int32_t count, const std::u16string& name);

// A close asked for while a drop runs waits for the document at hand: the progress window says so,
// and the run then ends with the second text instead of going on to the next document.
inline constexpr std::u16string_view kClosingLine =
    u"閉じる準備をしています。この文書を終えたら閉じます。";
inline constexpr std::u16string_view kClosedMidRun =
    u"ウィンドウを閉じる指示により、ここで処理を終えました。残りの文書は処理していません。";

std::u16string unreadableDrive(const std::u16string& drive);
std::u16string unopenableFolder(const std::u16string& folder);

// The folder each drive last had open, so that going back to a drive returns there.
class FolderPerDrive final {
  public:
    using Open = std::function<bool(const std::filesystem::path&)>;
    // Leaving drive `from` with `folder` open for drive `to`: open tries its remembered folder,
    // else its root. False when neither opens.
    bool change(const std::filesystem::path& from, const std::filesystem::path& folder,
                const std::filesystem::path& to, const Open& open);

  private:
    std::map<std::filesystem::path, std::filesystem::path> folders_;
};

}  // namespace quorvane::form
