#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::automation::fake {

// A document of the fake word processor. On disk it is a small UTF-8 line format of its own, so
// that copies made by the file system are documents too:
//
//   quorvane-fake-document
//   body<TAB>text             a paragraph of the body (they join with line feeds)
//   shape<TAB>text            a text box in the body
//   shape-without-text        a picture: TextFrame fails
//   group | canvas            a group of shapes, or a drawing canvas, in the body
//   item<TAB>text             a text box in the last group or canvas
//   header-shape<TAB>text     a text box in a header
//   section                   starts a section
//   header<TAB>text           the section's next header: primary, first page, even pages
//   footer<TAB>text           likewise its next footer
//   read-only-recommended | updates-on-open | password<TAB>text
//
// A section after the first without header lines has its headers linked to the previous
// section's, as Word links a new section's; likewise its footers.
struct FakeDocument {
    enum class ShapeKind { Drawing, Group, Canvas };
    struct Shape {
        // A drawing without text is a picture.
        std::optional<std::u16string> text;
        ShapeKind kind = ShapeKind::Drawing;
        // The index of the group or canvas that holds it, or -1.
        int container = -1;
        bool inHeader = false;
        bool operator==(const Shape&) const = default;
    };
    struct Section {
        std::vector<std::u16string> headers;
        std::vector<std::u16string> footers;
        bool operator==(const Section&) const = default;
    };

    std::u16string body;
    // Deques: ranges of the open document keep pointing at their text as shapes and sections
    // are added.
    std::deque<Shape> shapes;
    std::deque<Section> sections;
    bool readOnlyRecommended = false;
    // A document Word changes as it opens it (fields updated, an old format converted).
    bool updatesOnOpen = false;
    std::u16string password;

    std::string serialize() const;
    // Nothing when the text is not a fake document.
    static std::optional<FakeDocument> parse(std::string_view text);

    static std::optional<FakeDocument> load(std::u16string_view path);
    void save(std::u16string_view path) const;

    bool operator==(const FakeDocument&) const = default;
};

// Plain text files as Word reads and writes them, in an MsoEncoding: 932 (Shift_JIS, the system
// code page of the Japanese Windows the fake stands for), 65001 (UTF-8), 1200 and 1201 (UTF-16
// little and big endian). Paragraphs are joined with line feeds in the program's text.
namespace text_file {

inline constexpr std::int32_t kSystemCodePage = 932;
inline constexpr std::int32_t kUtf8 = 65001;
inline constexpr std::int32_t kUtf16 = 1200;
inline constexpr std::int32_t kUtf16BigEndian = 1201;

struct Decoded {
    std::u16string text;
    std::int32_t encoding = kSystemCodePage;
    bool byteOrderMark = false;
};

// With encoding, the bytes are read in it (a byte order mark of it is skipped); without, a byte
// order mark or well-formed UTF-8 beyond ASCII is recognised, and anything else is read in the
// system code page. Throws AutomationError for an encoding the fake does not know.
Decoded decode(std::string_view bytes, std::optional<std::int32_t> encoding);
// Paragraphs end as lineEnding says (WdLineEndingType: 0 CR LF, 1 CR).
std::string encode(std::u16string_view text, std::int32_t encoding, bool byteOrderMark,
                   std::int32_t lineEnding);

}  // namespace text_file

}  // namespace quorvane::automation::fake
