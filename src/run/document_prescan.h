#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::run {

// A text a run searches the next document for, in some region, and whether case counts there.
struct SearchedText {
    std::u16string text;
    bool matchCase = true;
};

// Whether the document at path may hold one of the searched texts where a run searches: false only
// when its own bytes show it certainly does not, so that the word processor need not load it. A
// document we cannot read whole, or that the word processor would refuse to open (read-only, open
// in another office), is one that may: only the word processor tells what becomes of it.
bool mayHoldMatch(const std::u16string& path, const std::vector<SearchedText>& searched);

// Whether the joined UTF-8 text of a document may hold one of the searched texts. Case is folded as
// the word processor folds it where it does not count; a text with letters whose folding we do not
// mirror may always match.
bool mayHold(std::string_view text, const std::vector<SearchedText>& searched);

// How a run asks, so that a test can answer in its place.
using MatchScreen =
    std::function<bool(const std::u16string& path, const std::vector<SearchedText>& searched)>;

}  // namespace quorvane::run
