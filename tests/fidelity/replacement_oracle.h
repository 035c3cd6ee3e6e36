#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "document_text.h"
#include "run/run_request.h"

namespace quorvane::testing {

// What a run must make of each document's text, worked out on the text alone: every match of a
// pair replaced by the replacement in corner brackets, pair after pair, each over what the pairs
// before it left, region by region in the order a run takes them (text boxes, headers and
// footers, body); case matched in the body only when asked; with widths alike, the body searched
// for the find text's full-width form and then its half-width form, which the run keeps
// searching for in every later document.
class ReplacementOracle final {
  public:
    struct Counts {
        std::int32_t body = 0;
        std::int32_t textBoxes = 0;
        std::int32_t headersAndFooters = 0;
    };

    explicit ReplacementOracle(const run::RunRequest& request);

    // The text of the next document of the run after it, and how many replacements it takes.
    DocumentText expected(const DocumentText& before, Counts& counts);

  private:
    const run::RunRequest& request_;
    std::array<std::u16string, run::RunRequest::kPairs> findTexts_;
};

}  // namespace quorvane::testing
