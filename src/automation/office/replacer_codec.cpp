#include "automation/office/replacer_codec.h"

#include <algorithm>
#include <iterator>

#include "automation/office/uno_support.h"

namespace quorvane::automation::office::replacer {

namespace {

using css::uno::Any;
using css::uno::Sequence;

// The names of the arguments, and of the actions as the Action argument gives them.
constexpr char kDocument[] = "Document";
constexpr char kAction[] = "Action";
constexpr char kText[] = "Text";
constexpr char kTexts[] = "Texts";
constexpr char kFind[] = "Find";
constexpr char kReplacement[] = "Replacement";
constexpr char kMatchCase[] = "MatchCase";
constexpr char kUrl[] = "Url";
constexpr char kFilter[] = "Filter";
constexpr char kFilterOptions[] = "FilterOptions";
constexpr const char* kActionNames[] = {"TakeDocument", "Replace", "ReadRegions",
                                        "KeepInputFieldsWhole", "CheckSavedFile"};
static_assert(std::size(kActionNames) == std::variant_size_v<Action>);

css::beans::NamedValue named(const char* name, Any value) {
    return {OUString::createFromAscii(name), std::move(value)};
}

template <typename T>
Sequence<T> sequenceOf(const std::vector<T>& items) {
    return Sequence<T>(items.data(), static_cast<sal_Int32>(items.size()));
}

Sequence<OUString> sequenceOf(const std::vector<std::u16string>& texts) {
    Sequence<OUString> result(static_cast<sal_Int32>(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i)
        result.getArray()[i] = toOUString(texts[i]);
    return result;
}

template <typename T>
std::vector<T> vectorOf(const Sequence<T>& items) {
    return {items.begin(), items.end()};
}

std::vector<std::u16string> textsOf(const OUString* first, const OUString* last) {
    std::vector<std::u16string> texts;
    for (; first != last; ++first)
        texts.push_back(toU16(*first));
    return texts;
}

// The arguments by name; the later of two of the same name counts.
class Arguments final {
  public:
    explicit Arguments(const Sequence<css::beans::NamedValue>& arguments) : arguments_(arguments) {}

    template <typename T>
    bool read(const char* name, T& value) const {
        for (sal_Int32 i = arguments_.getLength(); i-- > 0;) {
            if (arguments_[i].Name.equalsAscii(name))
                return arguments_[i].Value >>= value;
        }
        return false;
    }

  private:
    const Sequence<css::beans::NamedValue>& arguments_;
};

std::optional<Action> actionNamed(const OUString& name, const Arguments& arguments) {
    if (name.equalsAscii(kActionNames[0]))
        return TakeDocument{};
    if (name.equalsAscii(kActionNames[1])) {
        Replace replace;
        OUString find;
        OUString replacement;
        if (!arguments.read(kText, replace.text) || !replace.text.is() ||
            !arguments.read(kFind, find) || !arguments.read(kReplacement, replacement)) {
            return std::nullopt;
        }
        arguments.read(kMatchCase, replace.matchCase);
        replace.find = toU16(find);
        replace.replacement = toU16(replacement);
        Sequence<TextRef> screen;
        arguments.read(kTexts, screen);
        replace.screen = vectorOf(screen);
        if (std::any_of(replace.screen.begin(), replace.screen.end(),
                        [](const TextRef& text) { return !text.is(); })) {
            return std::nullopt;
        }
        return replace;
    }
    if (name.equalsAscii(kActionNames[2]))
        return ReadRegions{};
    if (name.equalsAscii(kActionNames[3]))
        return KeepInputFieldsWhole{};
    if (name.equalsAscii(kActionNames[4])) {
        CheckSavedFile check;
        if (!arguments.read(kUrl, check.url) || check.url.isEmpty() ||
            !arguments.read(kFilter, check.filter)) {
            return std::nullopt;
        }
        arguments.read(kFilterOptions, check.filterOptions);
        return check;
    }
    return std::nullopt;
}

}  // namespace

const std::string& implementationName() {
    static const std::string name = std::string(kFamily) + "." + QUORVANE_REPLACER_VERSION;
    return name;
}

Sequence<css::beans::NamedValue> encodeRequest(
    const css::uno::Reference<css::frame::XModel>& document, const Action& action) {
    std::vector<css::beans::NamedValue> arguments{
        named(kDocument, Any(document)),
        named(kAction, Any(OUString::createFromAscii(kActionNames[action.index()])))};
    if (const auto* replace = std::get_if<Replace>(&action)) {
        arguments.push_back(named(kText, Any(replace->text)));
        arguments.push_back(named(kFind, Any(toOUString(replace->find))));
        arguments.push_back(named(kReplacement, Any(toOUString(replace->replacement))));
        arguments.push_back(named(kMatchCase, Any(replace->matchCase)));
        if (!replace->screen.empty())
            arguments.push_back(named(kTexts, Any(sequenceOf(replace->screen))));
    } else if (const auto* check = std::get_if<CheckSavedFile>(&action)) {
        arguments.push_back(named(kUrl, Any(check->url)));
        arguments.push_back(named(kFilter, Any(check->filter)));
        arguments.push_back(named(kFilterOptions, Any(check->filterOptions)));
    }
    return sequenceOf(arguments);
}

std::optional<Request> decodeRequest(const Sequence<css::beans::NamedValue>& arguments) {
    const Arguments byName(arguments);
    Request request;
    OUString action;
    if (!byName.read(kDocument, request.document) || !request.document.is() ||
        !byName.read(kAction, action)) {
        return std::nullopt;
    }
    auto decoded = actionNamed(action, byName);
    if (!decoded)
        return std::nullopt;
    request.action = std::move(*decoded);
    return request;
}

// TakeDocument answers the filter, its options and the two flags.
Any encodeAnswer(const TakeDocument::Answer& answer) {
    const Any parts[] = {Any(answer.filter), Any(answer.filterOptions), Any(answer.wordProcessing),
                         Any(answer.inputFields)};
    return Any(Sequence<Any>(parts, std::size(parts)));
}

template <>
std::optional<TakeDocument::Answer> decodeAnswer<TakeDocument>(const Any& answer) {
    Sequence<Any> parts;
    TakeDocument::Answer taken;
    if (!(answer >>= parts) || parts.getLength() != 4 || !(parts[0] >>= taken.filter) ||
        !(parts[1] >>= taken.filterOptions) || !(parts[2] >>= taken.wordProcessing) ||
        !(parts[3] >>= taken.inputFields)) {
        return std::nullopt;
    }
    return taken;
}

// Replace answers its count, its problems and one flag for each text screened.
Any encodeAnswer(const Replace::Answer& answer) {
    Sequence<sal_Bool> flags(static_cast<sal_Int32>(answer.mayMatch.size()));
    std::copy(answer.mayMatch.begin(), answer.mayMatch.end(), flags.getArray());
    const Any parts[] = {Any(sal_Int32{answer.count}), Any(sequenceOf(answer.problems)),
                         Any(flags)};
    return Any(Sequence<Any>(parts, std::size(parts)));
}

template <>
std::optional<Replace::Answer> decodeAnswer<Replace>(const Any& answer) {
    Sequence<Any> parts;
    sal_Int32 count = 0;
    Sequence<OUString> problems;
    Sequence<sal_Bool> flags;
    if (!(answer >>= parts) || parts.getLength() != 3 || !(parts[0] >>= count) ||
        !(parts[1] >>= problems) || !(parts[2] >>= flags)) {
        return std::nullopt;
    }
    return Replace::Answer{int{count}, textsOf(problems.begin(), problems.end()),
                           std::vector<bool>(flags.begin(), flags.end())};
}

// ReadRegions answers the shape texts, then the header texts and the footer texts of each section.
Any encodeAnswer(const ReadRegions::Answer& answer) {
    Sequence<Sequence<TextRef>> headers(static_cast<sal_Int32>(answer.sections.size()));
    Sequence<Sequence<TextRef>> footers(static_cast<sal_Int32>(answer.sections.size()));
    for (std::size_t i = 0; i < answer.sections.size(); ++i) {
        headers.getArray()[i] = sequenceOf(answer.sections[i].headers);
        footers.getArray()[i] = sequenceOf(answer.sections[i].footers);
    }
    const Any parts[] = {Any(sequenceOf(answer.shapes)), Any(headers), Any(footers)};
    return Any(Sequence<Any>(parts, std::size(parts)));
}

template <>
std::optional<ReadRegions::Answer> decodeAnswer<ReadRegions>(const Any& answer) {
    Sequence<Any> parts;
    Sequence<TextRef> shapes;
    Sequence<Sequence<TextRef>> headers;
    Sequence<Sequence<TextRef>> footers;
    if (!(answer >>= parts) || parts.getLength() != 3 || !(parts[0] >>= shapes) ||
        !(parts[1] >>= headers) || !(parts[2] >>= footers) ||
        headers.getLength() != footers.getLength()) {
        return std::nullopt;
    }
    ReadRegions::Answer regions{vectorOf(shapes), {}};
    for (sal_Int32 i = 0; i < headers.getLength(); ++i)
        regions.sections.push_back({vectorOf(headers[i]), vectorOf(footers[i])});
    return regions;
}

// KeepInputFieldsWhole answers its two counts.
Any encodeAnswer(const KeepInputFieldsWhole::Answer& answer) {
    const sal_Int32 counts[] = {answer.controls, answer.fields};
    return Any(Sequence<sal_Int32>(counts, std::size(counts)));
}

template <>
std::optional<KeepInputFieldsWhole::Answer> decodeAnswer<KeepInputFieldsWhole>(const Any& answer) {
    Sequence<sal_Int32> counts;
    if (!(answer >>= counts) || counts.getLength() != 2)
        return std::nullopt;
    return KeepInputFieldsWhole::Answer{int{counts[0]}, int{counts[1]}};
}

// CheckSavedFile answers each region that lost text as its name followed by the texts lost.
Any encodeAnswer(const CheckSavedFile::Answer& answer) {
    Sequence<Sequence<OUString>> regions(static_cast<sal_Int32>(answer.lost.size()));
    for (std::size_t i = 0; i < answer.lost.size(); ++i) {
        std::vector<std::u16string> texts{answer.lost[i].region};
        texts.insert(texts.end(), answer.lost[i].texts.begin(), answer.lost[i].texts.end());
        regions.getArray()[i] = sequenceOf(texts);
    }
    return Any(regions);
}

template <>
std::optional<CheckSavedFile::Answer> decodeAnswer<CheckSavedFile>(const Any& answer) {
    Sequence<Sequence<OUString>> regions;
    if (!(answer >>= regions))
        return std::nullopt;
    CheckSavedFile::Answer checked;
    for (const auto& region : regions) {
        // A region is named for what it lost: never without a text.
        if (region.getLength() < 2)
            return std::nullopt;
        checked.lost.push_back({toU16(region[0]), textsOf(region.begin() + 1, region.end())});
    }
    return checked;
}

}  // namespace quorvane::automation::office::replacer
