#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/run_request.h"

namespace quorvane::run {

// What became of one document of a run.
enum class Outcome {
    // At least one replacement was made and the document was saved.
    Replaced,
    // Every pair was applied and nothing matched; the file was not written.
    Unchanged,
    // The word processor could not open it (for at least one pair: see reason).
    NotOpened,
    // It was edited but could not be saved.
    NotSaved,
    // Its copy could not be made; the run ended here.
    CopyFailed,
    // The run ended before it reached this document.
    NotReached,
};

// Replacements made in each region, where the word processor tells them; a region that was not
// searched, or whose count the word processor does not give, has none, and so has every region of
// an unchanged document.
struct RegionCounts {
    std::optional<std::int32_t> body;
    std::optional<std::int32_t> textBoxes;
    std::optional<std::int32_t> headersAndFooters;
};

struct DocumentResult {
    // The document as listed, and the file actually edited (the copy when copies are made).
    std::u16string source;
    std::u16string edited;
    Outcome outcome = Outcome::NotReached;
    // Why it was not opened, saved or copied, in Japanese, naming the pairs not applied where only
    // some were.
    std::u16string reason;
    RegionCounts counts;
    // The same, pair by pair (in the slots of the request's pairs; a blank pair has none). They
    // add up to counts.
    std::array<RegionCounts, RunRequest::kPairs> countsByPair;
    // Things the user should know of a processed document, such as a save in a newer format.
    std::vector<std::u16string> notices;
    // Its saved file was read back and held all its text before it took the document's place
    // (where the word processor does that).
    bool checkedAfterSave = false;
    // Its own bytes showed that it holds none of the find texts, so the word processor was not
    // asked to open it: it is Unchanged.
    bool skipped = false;
    // Where its original was kept before the run wrote it, when backups were asked for; empty
    // when none was kept (the run did not change it).
    std::u16string backup;

    bool processed() const noexcept {
        return outcome == Outcome::Replaced || outcome == Outcome::Unchanged;
    }
};

// The outcome of one run (one dropped path).
struct RunResult {
    std::u16string path;
    // The user answered No at the confirmation: nothing was done.
    bool declined = false;
    // A copy failed and ended the run: the document whose copy failed is marked CopyFailed and
    // the ones after it NotReached.
    bool endedByCopyFailure = false;
    std::vector<DocumentResult> documents;

    bool allProcessed() const noexcept {
        for (const DocumentResult& document : documents) {
            if (!document.processed())
                return false;
        }
        return !declined;
    }
};

}  // namespace quorvane::run
