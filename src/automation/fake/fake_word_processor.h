#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"

namespace quorvane::automation::fake {

// A document of the fake word processor. On disk it is a small UTF-8 line format of its own, so
// that copies made by the file system are documents too:
//
//   quorvane-fake-document
//   body<TAB>text            a paragraph of the body (they join with line feeds)
//   shape<TAB>text            a text box
//   shape-without-text        a picture: TextFrame fails
//   section                   starts a section
//   header<TAB>text           a header of the last section
//   footer<TAB>text           a footer of the last section
struct FakeDocument {
    struct Shape {
        std::optional<std::u16string> text;
    };
    struct Section {
        std::vector<std::u16string> headers;
        std::vector<std::u16string> footers;
    };

    std::u16string body;
    // A deque: ranges of the open document keep pointing at their text as text boxes are added.
    std::deque<Shape> shapes;
    std::vector<Section> sections;

    std::string serialize() const;
    // Nothing when the text is not a fake document.
    static std::optional<FakeDocument> parse(std::string_view text);

    static std::optional<FakeDocument> load(std::u16string_view path);
    void save(std::u16string_view path) const;

    bool operator==(const FakeDocument&) const = default;
};

// An in-memory word processor answering "Word.Application" the way the passes use it: documents
// opened from disk, shapes, sections with headers and footers, the body, and literal replace-all
// per region, Execute answering how many it replaced. Every operation is logged with its
// arguments and their types. It also answers, as Word does, what a caller that drives Word
// itself uses: the unattended set-up, Open's named arguments, Find's options, a document's
// ReadOnly, Saved, FullName and SaveAs2, Close and Quit with SaveChanges, new documents with
// Documents.Add, Shapes.AddTextbox, Item on collections and the Text of every range.
class FakeWordProcessor final : public ObjectFactory {
  public:
    FakeWordProcessor();
    ~FakeWordProcessor() override;

    Variant create(std::u16string_view className) override;

    // One line per operation, for example
    //   call find(shape 1).Execute(FindText:=STR "foo", ReplaceWith:=STR "「x」", Replace:=I4 2)
    const std::vector<std::u16string>& log() const;
    // The log lines that start with prefix.
    std::vector<std::u16string> logLines(std::u16string_view prefix) const;
    void clearLog();

    // Faults: creation refused; every use of a member of this name fails, on any object.
    void refuseCreate(bool refuse);
    void failMember(std::u16string member);
    // Every Open after the first opens ones fails, as when the word processor has died.
    void failOpensAfter(int opens);
    // Close of a changed document returns this text, as a backend tells of a save in another
    // format; empty (the default) returns nothing.
    void noticeOnSave(std::u16string text);

    // Applications created and not quit, and documents open and not closed.
    int runningApplications() const;
    int openDocuments() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace quorvane::automation::fake
