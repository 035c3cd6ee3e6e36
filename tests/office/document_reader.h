#pragma once

#include <com/sun/star/frame/XModel.hpp>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "automation/office/office_process.h"

namespace quorvane::testing {

// Reads documents back through an office of its own, independently of the backend under test:
// every paragraph that holds a word is found with the document-wide search and named by its
// label (the paragraph's first word, e.g. "HDR-first"); the text of plain drawing shapes, which
// that search does not reach, is read directly.
class DocumentReader final {
  public:
    // An office that runs the macros of the documents it loads, only to show they would run.
    explicit DocumentReader(bool allowMacros = false);

    // Occurrences of word (case and width significant) per paragraph label.
    std::map<std::u16string, int> count(const std::filesystem::path& document,
                                        const std::u16string& word);
    // The text of the first paragraph whose label is label, found through word in it.
    std::u16string paragraph(const std::filesystem::path& document, const std::u16string& word,
                             const std::u16string& label);
    // Whether every character of each occurrence of word in the paragraph labelled label is bold.
    bool bold(const std::filesystem::path& document, const std::u16string& word,
              const std::u16string& label);
    // The filter the office loads the document with ("MS Word 2007 XML", "writer8", ...).
    std::u16string filter(const std::filesystem::path& document);
    void convert(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::u16string& filter);

  private:
    using Model = css::uno::Reference<css::frame::XModel>;
    // Loads document, read-only and hidden but where macros may run, for use, then closes it.
    void read(const std::filesystem::path& document, const std::function<void(const Model&)>& use);

    automation::office::OfficeProcess office_;
    bool allowMacros_;
};

}  // namespace quorvane::testing
