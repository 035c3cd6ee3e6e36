#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quorvane::run {

// One find/replace pair as the user typed it. A pair whose find text is blank is not used.
struct ReplacementPair {
    std::u16string find;
    std::u16string replacement;
};

// A find text made only of spaces is not used: it finds nothing the user meant. The ideographic
// space counts as a space: a pair of them typed by accident would otherwise bracket every one in
// every document.
inline bool isBlank(std::u16string_view findText) {
    return findText.find_first_not_of(u" \u3000") == std::u16string_view::npos;
}

// Where in a document replacements are made.
struct Regions {
    bool body = true;
    bool textBoxes = true;
    bool headersAndFooters = true;
};

// Everything a run needs from its front end, read once when the run starts.
struct RunRequest {
    enum class Mode {
        // Copy the documents into destinationFolder and edit the copies.
        CopyFirst,
        // Edit the documents themselves, after the user confirms it.
        EditOriginals,
    };

    static constexpr std::size_t kPairs = 3;

    Mode mode = Mode::CopyFirst;
    std::u16string destinationFolder;
    std::array<ReplacementPair, kPairs> pairs;
    Regions regions;
    // Both apply to the body only.
    bool matchCase = true;
    bool distinguishWidths = true;
    // How many word processors may work on the documents of the run at once. The result is the
    // same whatever the number.
    int offices = 1;
    // A document whose own bytes show it holds none of the find texts is not given to the word
    // processor. The result is the same either way, only sooner.
    bool skipDocumentsWithoutMatch = true;
    // Counts what the run would replace and touches nothing: no copy, no confirmation, every
    // document opened read-only and its changes discarded.
    bool dryRun = false;
    // A dropped folder's sub-folders are searched too, every folder's documents in name order.
    bool recursive = false;
};

}  // namespace quorvane::run
