#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::run {

// Every text of a document in which a replacement could be made, read from the file's own bytes
// and joined into one UTF-8 string: whatever the word processor could find in the regions a run
// searches lies within it. It may hold more (paragraphs run together, field codes, a fallback
// copy of a text box), which only costs a load; never less.
//
// .docx, .docm, .dotx and .dotm: the main part, headers, footers and the glossary; .odt and .ott:
// content.xml and styles.xml; .rtf; .txt in an encoding that can be told. Tags are left out,
// references decoded, and the elements that stand for a character (a tab, a line break, spaces in
// ODF) written as it. Nothing when the file is of another kind, holds what is not read here (an
// embedded object, an alternative-format chunk, an encrypted part) or cannot be read whole: only
// the word processor can tell then.
std::optional<std::string> searchableText(std::string_view bytes, std::u16string_view extension);

}  // namespace quorvane::run
