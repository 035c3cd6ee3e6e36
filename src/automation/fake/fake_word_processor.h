#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/automation_error.h"
#include "automation/fake/fake_document.h"
#include "automation/variant.h"

namespace quorvane::automation::fake {

// A named argument the member does not have, refused as Word refuses one (DISP_E_PARAMNOTFOUND
// where the fake is served over COM). index is the argument's place among the named ones.
class UnknownArgumentError final : public AutomationError {
  public:
    UnknownArgumentError(std::u16string message, std::size_t index)
        : AutomationError(std::move(message)), index_(index) {}
    std::size_t index() const noexcept { return index_; }

  private:
    std::size_t index_;
};

// An in-memory word processor answering "Word.Application" as Word's object-model reference
// says Word answers, for the members the programs use: documents opened from disk (fake
// documents and plain text files) with Open's named arguments, shapes with their text frames,
// groups and canvases, sections with three headers and three footers each, ranges that Find
// redefines, Find.Execute with its arguments, sticky options and ^ codes, SaveAs2 in the
// document's format, Close and Quit with SaveChanges, new documents with Documents.Add. Every
// operation is logged with its arguments and their types.
//
// Two members are its own: Close without arguments keeps the changes, and
// Documents.QuorvaneFinishDocument, Quorvane's own member, does nothing, so that the passes can
// run over it directly as over any backend.
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

    // Faults: creation refused; the next `times` uses of a member of this name fail, on any
    // object (every use when times is negative).
    void refuseCreate(bool refuse);
    void failMember(std::u16string member, int times = -1);
    // Every Open after the first opens ones fails, as when the word processor has died.
    void failOpensAfter(int opens);
    // Close of a changed document returns this text, as a backend tells of a save in another
    // format; empty (the default) returns nothing.
    void noticeOnSave(std::u16string text);
    // What another program does while the run has a document: action runs once, at the next use
    // of a member of this name, before the member does its work.
    void beforeMember(std::u16string member, std::function<void()> action);
    // A Find option as the user's last search left it: Word keeps them from search to search.
    void leaveSearchOption(std::u16string_view option, Variant value);

    // Applications created and not quit, and documents open and not closed.
    int runningApplications() const;
    int openDocuments() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace quorvane::automation::fake
