#include "replacement_oracle.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <string_view>

#include "os/width_mapping.h"

namespace quorvane::testing {

namespace {

std::u32string codePoints(std::u16string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        UChar32 c;
        U16_NEXT(text.data(), i, text.size(), c);
        out += static_cast<char32_t>(c);
    }
    return out;
}

std::u16string units(std::u32string_view text) {
    std::u16string out;
    for (const char32_t c : text) {
        if (c >= 0x10000) {
            out += static_cast<char16_t>(U16_LEAD(c));
            out += static_cast<char16_t>(U16_TRAIL(c));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u32string folded(std::u32string text, bool matchCase) {
    if (!matchCase) {
        for (char32_t& c : text)
            c = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
    }
    return text;
}

// One replace-all over one piece: leftmost matches, none overlapping, the new text never searched.
std::int32_t replaceAll(std::u16string& piece, std::u16string_view find,
                        std::u16string_view replacement, bool matchCase) {
    const std::u32string text = codePoints(piece);
    const std::u32string haystack = folded(text, matchCase);
    const std::u32string needle = folded(codePoints(find), matchCase);
    if (needle.empty())
        return 0;
    std::u16string result;
    std::int32_t count = 0;
    std::size_t from = 0;
    for (auto at = haystack.find(needle); at != std::u32string::npos;
         at = haystack.find(needle, at + needle.size())) {
        result += units(std::u32string_view(text).substr(from, at - from));
        result += replacement;
        from = at + needle.size();
        ++count;
    }
    if (count > 0) {
        result += units(std::u32string_view(text).substr(from));
        piece = std::move(result);
    }
    return count;
}

std::int32_t replaceInStory(Story& story, std::u16string_view find, std::u16string_view replacement,
                            bool matchCase) {
    std::int32_t count = 0;
    for (auto& paragraph : story) {
        for (auto& piece : paragraph) {
            if (piece.replaceable)
                count += replaceAll(piece.text, find, replacement, matchCase);
        }
    }
    return count;
}

bool blank(std::u16string_view text) {
    return text.find_first_not_of(u" \u3000") == std::u16string_view::npos;
}

}  // namespace

ReplacementOracle::ReplacementOracle(const run::RunRequest& request) : request_(request) {
    for (std::size_t j = 0; j < run::RunRequest::kPairs; ++j)
        findTexts_[j] = request.pairs[j].find;
}

DocumentText ReplacementOracle::expected(const DocumentText& before, Counts& counts) {
    DocumentText after = before;
    counts = {};
    for (std::size_t j = 0; j < run::RunRequest::kPairs; ++j) {
        std::u16string& find = findTexts_[j];
        if (blank(find))
            continue;
        const std::u16string replacement = u"「" + request_.pairs[j].replacement + u"」";
        if (request_.regions.textBoxes) {
            for (auto& box : after.textBoxes)
                counts.textBoxes += replaceInStory(box, find, replacement, false);
        }
        if (request_.regions.headersAndFooters) {
            for (auto& story : after.headersAndFooters)
                counts.headersAndFooters += replaceInStory(story, find, replacement, false);
        }
        if (!request_.regions.body)
            continue;
        if (request_.distinguishWidths) {
            counts.body += replaceInStory(after.body, find, replacement, request_.matchCase);
            continue;
        }
        find = os::toFullWidth(find);
        counts.body += replaceInStory(after.body, find, replacement, request_.matchCase);
        find = os::toHalfWidth(find);
        counts.body += replaceInStory(after.body, find, replacement, request_.matchCase);
    }
    return after;
}

}  // namespace quorvane::testing
