#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::testing {

// Reads documents back through an office of its own, independently of the backend under test:
// every paragraph that holds a word is found with the document-wide search and named by its
// label (the paragraph's first word, e.g. "HDR-first"); the text of plain drawing shapes, which
// that search does not reach, is read directly.
class DocumentReader final {
  public:
    // An office that runs the macros of the documents it loads, only to show they would run.
    explicit DocumentReader(bool allowMacros = false);
    ~DocumentReader();

    // Occurrences of word (case and width significant) per paragraph label.
    std::map<std::u16string, int> count(const std::filesystem::path& document,
                                        const std::u16string& word);
    // The text of the first paragraph whose label is label, found through word in it.
    std::u16string paragraph(const std::filesystem::path& document, const std::u16string& word,
                             const std::u16string& label);
    // Whether every character of each occurrence of word in the paragraph labelled label is bold.
    bool bold(const std::filesystem::path& document, const std::u16string& word,
              const std::u16string& label);
    // The text of every comment, in the order the office lists them.
    std::vector<std::u16string> comments(const std::filesystem::path& document);
    // The filter the office loads the document with ("MS Word 2007 XML", "writer8", ...): the
    // document is loaded and closed again.
    std::u16string filter(const std::filesystem::path& document);
    // Saves a document under another format.
    void convert(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::u16string& filter);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvane::testing
