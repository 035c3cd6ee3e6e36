#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"

namespace quorvane::automation::word {

// The word processor's object model as the passes use it, written once over the late-bound
// objects: each class holds one automation object and names its members, and every call goes
// through by name as it does over IDispatch. Each call throws AutomationError when the word
// processor refuses it.

// The names the backends answer to; they compare without regard to letter case.
namespace member {
inline constexpr std::u16string_view kApplication = u"Application";
inline constexpr std::u16string_view kClose = u"Close";
inline constexpr std::u16string_view kContent = u"Content";
inline constexpr std::u16string_view kCanvasItems = u"CanvasItems";
inline constexpr std::u16string_view kDocuments = u"Documents";
inline constexpr std::u16string_view kExecute = u"Execute";
inline constexpr std::u16string_view kFind = u"Find";
inline constexpr std::u16string_view kFileName = u"FileName";
inline constexpr std::u16string_view kFindText = u"FindText";
inline constexpr std::u16string_view kExists = u"Exists";
inline constexpr std::u16string_view kFooters = u"Footers";
inline constexpr std::u16string_view kGroupItems = u"GroupItems";
inline constexpr std::u16string_view kHasText = u"HasText";
inline constexpr std::u16string_view kHeaders = u"Headers";
inline constexpr std::u16string_view kLinkToPrevious = u"LinkToPrevious";
inline constexpr std::u16string_view kMatchCase = u"MatchCase";
inline constexpr std::u16string_view kOpen = u"Open";
inline constexpr std::u16string_view kQuit = u"Quit";
inline constexpr std::u16string_view kRange = u"Range";
inline constexpr std::u16string_view kReadOnly = u"ReadOnly";
inline constexpr std::u16string_view kReplace = u"Replace";
inline constexpr std::u16string_view kReplaceWith = u"ReplaceWith";
inline constexpr std::u16string_view kSaveChanges = u"SaveChanges";
inline constexpr std::u16string_view kSections = u"Sections";
inline constexpr std::u16string_view kShapes = u"Shapes";
inline constexpr std::u16string_view kTextFrame = u"TextFrame";
inline constexpr std::u16string_view kTextRange = u"TextRange";
inline constexpr std::u16string_view kType = u"Type";
inline constexpr std::u16string_view kVisible = u"Visible";

// Quorvane's own member of Documents, which Word does not have: the run is done with a document
// (see Documents::finish). Every backend answers it; Word's session answers it for Word.
inline constexpr std::u16string_view kQuorvaneFinishDocument = u"QuorvaneFinishDocument";
}  // namespace member

inline constexpr std::u16string_view kApplicationClass = u"Word.Application";
// Execute's Replace argument: replace every occurrence.
inline constexpr std::int32_t kReplaceAll = 2;
// Close's SaveChanges argument: discard the changes (wdDoNotSaveChanges).
inline constexpr std::int32_t kDoNotSaveChanges = 0;
// Shape.Type of a group of shapes and of a drawing canvas (msoGroup, msoCanvas).
inline constexpr std::int32_t kGroupShape = 6;
inline constexpr std::int32_t kCanvasShape = 20;

// What an Execute answered: whether it found anything, and how many it replaced where the
// backend can tell (Word itself answers only found or not).
struct ExecuteResult {
    bool found = false;
    std::optional<std::int32_t> replaced;
};

class Find final {
  public:
    explicit Find(Variant object) : object_(std::move(object)) {}
    // Execute(FindText:=, ReplaceWith:=, Replace:=wdReplaceAll).
    ExecuteResult replaceAllNamed(const std::u16string& findText,
                                  const std::u16string& replaceWith) const;
    // Execute(findText, ReplaceWith:=, MatchCase:=, Replace:=wdReplaceAll).
    ExecuteResult replaceAll(const std::u16string& findText, const std::u16string& replaceWith,
                             bool matchCase) const;

  private:
    Variant object_;
};

// Range and TextRange: a stretch of text with its own Find.
class Range final {
  public:
    explicit Range(Variant object) : object_(std::move(object)) {}
    Find find() const;

  private:
    Variant object_;
};

class TextFrame final {
  public:
    explicit TextFrame(Variant object) : object_(std::move(object)) {}
    bool hasText() const;
    Range textRange() const;

  private:
    Variant object_;
};

// A collection walked with the automation enumerator, in the order it yields its members.
template <typename Item>
class Collection final {
  public:
    explicit Collection(Variant object) : object_(std::move(object)) {}
    std::vector<Item> items() const {
        std::vector<Item> result;
        for (Variant& member : object_.enumerate())
            result.emplace_back(std::move(member));
        return result;
    }

  private:
    Variant object_;
};

class Shape final {
  public:
    explicit Shape(Variant object) : object_(std::move(object)) {}
    // The MsoShapeType, such as kGroupShape.
    std::int32_t type() const;
    // The members of a group, and of a drawing canvas.
    Collection<Shape> groupItems() const;
    Collection<Shape> canvasItems() const;
    // Fails for a shape that cannot hold text, such as a picture.
    TextFrame textFrame() const;

  private:
    Variant object_;
};

class HeaderFooter final {
  public:
    explicit HeaderFooter(Variant object) : object_(std::move(object)) {}
    Range range() const;
    // A linked header or footer shows the previous section's of its kind: the same text.
    bool linkedToPrevious() const;
    // Whether the section has this kind (a first-page or even-page one may not).
    bool exists() const;
    // The shapes of every header and footer of the document.
    Collection<Shape> shapes() const;

  private:
    Variant object_;
};

class Section final {
  public:
    explicit Section(Variant object) : object_(std::move(object)) {}
    Collection<HeaderFooter> headers() const;
    Collection<HeaderFooter> footers() const;

  private:
    Variant object_;
};

class Document final {
  public:
    explicit Document(Variant object) : object_(std::move(object)) {}
    // The shapes of the main text; those of headers and footers are the headers' own.
    Collection<Shape> shapes() const;
    Collection<Section> sections() const;
    Range content() const;
    // Closes without a save request. A backend may answer with a notice for the user, such as a
    // save in a newer format.
    std::optional<std::u16string> close() const;
    // Close(SaveChanges:=wdDoNotSaveChanges): every change is dropped and nothing is written.
    void discard() const;

  private:
    Variant object_;
};

class Documents final {
  public:
    explicit Documents(Variant object) : object_(std::move(object)) {}
    // Open(FileName); read-only, Open(FileName, ReadOnly:=True): its changes can only be
    // discarded, and nothing is written beside it.
    Document open(const std::u16string& path, bool readOnly = false) const;
    // Tells the word processor that the run is done with the document at path, after its last
    // Close. A backend that holds changes back across the closes of one document writes them
    // now, so that the file gets every pair or none; it throws AutomationError with the reason
    // when they cannot be written. Word, which saves at each Close, has nothing left to do.
    // Returns whether the written file was read back and held all the document's text.
    bool finish(const std::u16string& path) const;

  private:
    Variant object_;
};

class Application final {
  public:
    // Starts the word processor. Throws AutomationError when it cannot be started.
    static Application create(ObjectFactory& factory);
    explicit Application(Variant object) : object_(std::move(object)) {}

    Documents documents() const;
    // Application.Visible = False.
    void hide() const;
    void quit() const;

  private:
    Variant object_;
};

}  // namespace quorvane::automation::word
