#include "run/document_prescan.h"

#include <fstream>
#include <iterator>

#include "os/file_system.h"
#include "os/text_encoding.h"
#include "run/searchable_text.h"

namespace quorvane::run {

namespace {

// Characters without case, or whose folding we mirror: ASCII, the full-width forms, half-width
// katakana, Japanese and Chinese script and punctuation. Anything else may fold in ways only the
// word processor knows.
bool foldedAsTheWordProcessorFolds(std::u16string_view text) {
    for (const char16_t c : text) {
        const bool known = c < 0x80 || (c >= 0xA0 && c <= 0xBF && c != 0xB5) ||
                           (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x9FFF) ||
                           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFFEE) ||
                           // Supplementary ideographs, planes 2 and 3.
                           (c >= 0xD840 && c <= 0xD8BF) || (c >= 0xDC00 && c <= 0xDFFF);
        if (!known)
            return false;
    }
    return true;
}

// Simple case folding, as the word processor applies it, of every character that folds into what
// foldedAsTheWordProcessorFolds accepts: the Latin letters in both widths, and the two signs that
// fold into ASCII (K KELVIN SIGN, ſ LONG S).
std::string folded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        };
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c + 32);
        } else if (c == 0xEF && next(1) == 0xBC && next(2) >= 0xA1 && next(2) <= 0xBA) {
            // Ａ..Ｚ (U+FF21..FF3A) to ａ..ｚ (U+FF41..FF5A).
            out += "\xEF\xBD";
            out += static_cast<char>(next(2) - 0xA1 + 0x81);
            i += 2;
        } else if (c == 0xE2 && next(1) == 0x84 && next(2) == 0xAA) {
            out += 'k';
            i += 2;
        } else if (c == 0xC5 && next(1) == 0xBF) {
            out += 's';
            i += 1;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool lockedOrReadOnly(const std::u16string& path) {
    try {
        if (os::fileAttributes(path) & os::kAttributeReadOnly)
            return true;
    } catch (const os::FileSystemError&) {
        return true;
    }
    // The lock file an office keeps beside a document it has open.
    const auto native = os::toNativePath(path);
    auto lock = std::filesystem::path(".~lock.");
    lock += native.filename();
    lock += "#";
    std::error_code error;
    return std::filesystem::exists(native.parent_path() / lock, error);
}

}  // namespace

bool mayHold(std::string_view text, const std::vector<SearchedText>& searched) {
    std::string foldedText;
    for (const auto& wanted : searched) {
        if (wanted.text.empty())
            continue;
        const std::string needle = os::toUtf8(wanted.text);
        if (needle.find("\xEF\xBF\xBD") != std::string::npos)
            return true;
        if (wanted.matchCase) {
            if (text.find(needle) != std::string_view::npos)
                return true;
            continue;
        }
        if (!foldedAsTheWordProcessorFolds(wanted.text))
            return true;
        if (foldedText.empty())
            foldedText = folded(text);
        if (foldedText.find(folded(needle)) != std::string::npos)
            return true;
    }
    return false;
}

bool mayHoldMatch(const std::u16string& path, const std::vector<SearchedText>& searched) {
    if (lockedOrReadOnly(path))
        return true;
    const auto native = os::toNativePath(path);
    std::ifstream in(native, std::ios::binary);
    if (!in)
        return true;
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto text = searchableText(bytes, os::fromNativePath(native.extension()));
    return !text || mayHold(*text, searched);
}

}  // namespace quorvane::run
