#include "automation/word_model.h"

namespace quorvane::automation::word {

namespace {

ExecuteResult executeResult(const Variant& answer) {
    switch (answer.type()) {
        case Variant::Type::Bool:
            return {answer.toBool(), std::nullopt};
        case Variant::Type::Int32:
            return {answer.toInt32() > 0, answer.toInt32()};
        default:
            return {};
    }
}

}  // namespace

ExecuteResult Find::replaceAllNamed(const std::u16string& findText,
                                    const std::u16string& replaceWith) const {
    return executeResult(object_.call(member::kExecute, {},
                                      {{std::u16string(member::kFindText), findText},
                                       {std::u16string(member::kReplaceWith), replaceWith},
                                       {std::u16string(member::kReplace), kReplaceAll}}));
}

ExecuteResult Find::replaceAll(const std::u16string& findText, const std::u16string& replaceWith,
                               bool matchCase) const {
    return executeResult(object_.call(member::kExecute, {findText},
                                      {{std::u16string(member::kReplaceWith), replaceWith},
                                       {std::u16string(member::kMatchCase), matchCase},
                                       {std::u16string(member::kReplace), kReplaceAll}}));
}

Find Range::find() const {
    return Find(object_.get(member::kFind));
}

bool TextFrame::hasText() const {
    return object_.get(member::kHasText).toBool();
}

Range TextFrame::textRange() const {
    return Range(object_.get(member::kTextRange));
}

std::int32_t Shape::type() const {
    return object_.get(member::kType).toInt32();
}

Collection<Shape> Shape::groupItems() const {
    return Collection<Shape>(object_.get(member::kGroupItems));
}

Collection<Shape> Shape::canvasItems() const {
    return Collection<Shape>(object_.get(member::kCanvasItems));
}

TextFrame Shape::textFrame() const {
    return TextFrame(object_.get(member::kTextFrame));
}

Range HeaderFooter::range() const {
    return Range(object_.get(member::kRange));
}

bool HeaderFooter::linkedToPrevious() const {
    return object_.get(member::kLinkToPrevious).toBool();
}

bool HeaderFooter::exists() const {
    return object_.get(member::kExists).toBool();
}

Collection<Shape> HeaderFooter::shapes() const {
    return Collection<Shape>(object_.get(member::kShapes));
}

Collection<HeaderFooter> Section::headers() const {
    return Collection<HeaderFooter>(object_.get(member::kHeaders));
}

Collection<HeaderFooter> Section::footers() const {
    return Collection<HeaderFooter>(object_.get(member::kFooters));
}

Collection<Shape> Document::shapes() const {
    return Collection<Shape>(object_.get(member::kShapes));
}

Collection<Section> Document::sections() const {
    return Collection<Section>(object_.get(member::kSections));
}

Range Document::content() const {
    return Range(object_.get(member::kContent));
}

std::optional<std::u16string> Document::close() const {
    const Variant answer = object_.call(member::kClose);
    if (answer.type() != Variant::Type::String || answer.toString().empty())
        return std::nullopt;
    return answer.toString();
}

void Document::discard() const {
    object_.call(member::kClose, {}, {{std::u16string(member::kSaveChanges), kDoNotSaveChanges}});
}

Document Documents::open(const std::u16string& path, bool readOnly) const {
    if (readOnly)
        return Document(
            object_.call(member::kOpen, {path}, {{std::u16string(member::kReadOnly), true}}));
    return Document(object_.call(member::kOpen, {path}));
}

bool Documents::finish(const std::u16string& path) const {
    const Variant answer = object_.call(member::kQuorvaneFinishDocument, {path});
    return answer.type() == Variant::Type::Bool && answer.toBool();
}

Application Application::create(ObjectFactory& factory) {
    return Application(factory.create(kApplicationClass));
}

Documents Application::documents() const {
    return Documents(object_.get(member::kDocuments));
}

void Application::hide() const {
    object_.get(member::kApplication).put(member::kVisible, false);
}

void Application::quit() const {
    object_.call(member::kQuit);
}

}  // namespace quorvane::automation::word
