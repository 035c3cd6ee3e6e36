#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quorvane::testing {

// A stretch of a paragraph that a search treats as one: ordinary text between two anchors, or the
// text of a control or form field. Matches never cross from one piece into the next.
struct Piece {
    std::u16string text;
    // False for what no replacement may touch: a computed field's result.
    bool replaceable = true;
};

using Paragraph = std::vector<Piece>;
// One text: a body, a header or footer, a text box.
using Story = std::vector<Paragraph>;

// What a reader of the saved file sees, region by region, read straight from the package's XML:
// never through the office or the code under test.
struct DocumentText {
    // The main text in order, table cells included.
    Story body;
    // Each header and footer in effect, and each text box or shape text wherever it is anchored.
    std::vector<Story> headersAndFooters;
    std::vector<Story> textBoxes;
    // What no replacement may change: comments, footnotes, field codes and computed results, the
    // glossary's building blocks. Each entry names where it comes from.
    std::vector<std::u16string> untouched;
};

// .docx (and .docm, .dotx) read from its parts; .odt from content.xml and styles.xml. Throws
// std::runtime_error when the file is not such a package.
DocumentText readWordprocessingML(const std::filesystem::path& package);
DocumentText readOpenDocument(const std::filesystem::path& package);

std::u16string joined(const Paragraph& paragraph);
std::u16string joined(const Story& story);

}  // namespace quorvane::testing
