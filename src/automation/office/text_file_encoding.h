#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::automation::office {

// How the office is to read a plain-text file. It tells a byte-order mark and UTF-8 by itself,
// but takes a Shift_JIS or EUC-JP file for UTF-8 and turns its Japanese into replacement
// characters, which a save would then keep. Returns the options of the office's "Text (encoded)"
// filter for those ("MS_932,CRLF,,,false"), an empty text where the office's own reading holds,
// and nothing when the bytes are none of these.
std::optional<std::string> textFilterOptions(std::string_view bytes);

}  // namespace quorvane::automation::office
