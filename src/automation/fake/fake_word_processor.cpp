#include "automation/fake/fake_word_processor.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <tuple>
#include <utility>

#include "automation/member_name.h"
#include "automation/word_model.h"
#include "os/file_system.h"
#include "os/text_encoding.h"

// What each member does is modelled on its page of Word's object-model reference (the VBA
// reference, pages api/Word.<Object>.<Member>.md); the page is named where a behaviour is.
namespace quorvane::automation::fake {

namespace member = word::member;

namespace {

std::u16string number(std::size_t n) {
    return os::fromUtf8(std::to_string(n));
}

// ---- Text as Find compares it.

bool isUpper(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'Ａ' && c <= u'Ｚ');
}
bool isLower(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'ａ' && c <= u'ｚ');
}
char16_t toLower(char16_t c) {
    return isUpper(c) ? c + (u'a' - u'A') : c;
}
char16_t toUpper(char16_t c) {
    return isLower(c) ? c - (u'a' - u'A') : c;
}
// Full-width ASCII and the ideographic space to their half-width forms.
char16_t toNarrow(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E)
        return static_cast<char16_t>(c - 0xFF01 + 0x21);
    return c == 0x3000 ? u' ' : c;
}
bool isWordCharacter(char16_t c) {
    c = toNarrow(c);
    return (c >= u'0' && c <= u'9') || isUpper(c) || isLower(c) || c == u'_';
}
bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0x3000;
}
bool isPunctuation(char16_t c) {
    c = toNarrow(c);
    return (c >= 0x21 && c <= 0x7E && !isWordCharacter(c)) || (c >= 0x3001 && c <= 0x3003) ||
           (c >= 0x3008 && c <= 0x3011) || c == 0x30FB;
}

// The Find options of Word.Find.md that the fake honours, by the names of its properties.
const std::vector<std::u16string> kFindOptions{
    u"MatchCase",   u"MatchWholeWord", u"MatchWildcards", u"MatchSoundsLike", u"MatchAllWordForms",
    u"Forward",     u"Wrap",           u"Format",         u"MatchPrefix",     u"MatchSuffix",
    u"MatchPhrase", u"IgnoreSpace",    u"IgnorePunct",    u"MatchFuzzy",      u"MatchByte"};

// A new Word's: forward, within the range, widths told apart, nothing else.
std::map<std::u16string, Variant> defaultSearch() {
    std::map<std::u16string, Variant> search;
    for (const auto& option : kFindOptions)
        search[option] = false;
    search[u"Forward"] = true;
    search[u"MatchByte"] = true;
    search[u"Wrap"] = std::int32_t{0};
    search[u"Text"] = u"";
    return search;
}

// ---- Text and ranges of one open document.

// A Range: a stretch of one story (the body, a text box, a header), as character positions.
struct RangeState {
    std::u16string* text;
    std::size_t start;
    std::size_t end;
};

struct OpenDocument {
    std::u16string path;
    FakeDocument document;
    bool modified = false;
    bool closed = false;
    bool readOnly = false;
    std::int32_t saveFormat = 0;
    std::int32_t textEncoding = text_file::kSystemCodePage;
    std::int32_t textLineEnding = 0;
    bool byteOrderMark = false;
    // Texts of the headers and footers that do not exist, by section, kind and header or not.
    std::map<std::tuple<std::size_t, std::size_t, bool>, std::u16string> absent;
    std::vector<std::weak_ptr<RangeState>> ranges;

    std::shared_ptr<RangeState> range(std::u16string* text, std::size_t start, std::size_t end) {
        auto made = std::make_shared<RangeState>(
            RangeState{text, std::min(start, text->size()), std::min(end, text->size())});
        std::erase_if(ranges, [](const auto& r) { return r.expired(); });
        ranges.push_back(made);
        return made;
    }

    // Replaces [from, to) of a story. Every range of the story moves with the text around it,
    // as Word's do; the edited one covers the new text.
    void edit(RangeState& at, std::size_t from, std::size_t to, const std::u16string& with) {
        std::u16string& text = *at.text;
        text.replace(from, to - from, with);
        const auto moved = [&](std::size_t p, bool isEnd) {
            if (p >= to && (p > from || to > from))
                return p - (to - from) + with.size();
            if (p > from)
                return isEnd ? from + with.size() : from;
            return p;
        };
        for (const auto& weak : ranges) {
            if (const auto r = weak.lock(); r && r->text == at.text) {
                r->start = moved(r->start, false);
                r->end = std::max(r->start, moved(r->end, true));
            }
        }
        at.start = from;
        at.end = from + with.size();
        modified = true;
    }
};

}  // namespace

struct FakeWordProcessor::State {
    // A run may use several applications at once: one call at a time, as one process would.
    std::recursive_mutex mutex;
    std::vector<std::u16string> log;
    std::vector<std::pair<std::u16string, int>> failingMembers;
    std::vector<std::pair<std::u16string, std::function<void()>>> beforeMembers;
    bool refuseCreate = false;
    std::optional<int> opensLeft;
    std::u16string saveNotice;
    int runningApplications = 0;
    int openDocuments = 0;
    // Find options outlive the Find object and the search (Word.Find.md: "The properties and
    // methods of the Find object correspond to the options in the Find and Replace dialog box",
    // which keeps them): each Find starts from what the last one left.
    std::map<std::u16string, Variant> search = defaultSearch();
    std::u16string replacementText;
    // Options.MatchFuzzy…, which MatchFuzzy applies: on in a Japanese edition until
    // ClearAllFuzzyOptions (Word.Find.ClearAllFuzzyOptions.md).
    bool fuzzyOptions = true;

    void before(std::u16string_view member) {
        for (auto it = beforeMembers.begin(); it != beforeMembers.end(); ++it) {
            if (sameName(it->first, member)) {
                const auto action = std::move(it->second);
                beforeMembers.erase(it);
                action();
                return;
            }
        }
    }
    void fail(std::u16string_view member) {
        for (auto& [name, left] : failingMembers) {
            if (left != 0 && sameName(name, member)) {
                if (left > 0)
                    --left;
                throw AutomationError(u"メンバー " + std::u16string(member) +
                                      u" の呼び出しに失敗しました");
            }
        }
    }
    bool option(std::u16string_view name) { return search.at(std::u16string(name)).toBool(); }
};

namespace {

using State = FakeWordProcessor::State;
using Getter = std::function<Variant()>;
using Setter = std::function<void(const Variant&)>;

// A method's arguments bound to its parameters by place and by name, as IDispatch binds them.
class Arguments final {
  public:
    Arguments(const std::vector<std::u16string>& parameters, const std::vector<Variant>& positional,
              const std::vector<NamedArgument>& named)
        : parameters_(parameters), positional_(positional), named_(named) {
        if (positional.size() > parameters.size())
            throw AutomationError(u"引数が多すぎます");
        for (std::size_t i = 0; i < named.size(); ++i) {
            if (std::none_of(parameters.begin(), parameters.end(),
                             [&](const auto& p) { return sameName(p, named[i].name); })) {
                throw UnknownArgumentError(u"名前付き引数 " + named[i].name + u" はありません", i);
            }
        }
    }

    const Variant* operator[](std::u16string_view name) const {
        for (const auto& a : named_) {
            if (sameName(a.name, name))
                return &a.value;
        }
        for (std::size_t i = 0; i < positional_.size(); ++i) {
            if (sameName(parameters_[i], name))
                return &positional_[i];
        }
        return nullptr;
    }
    bool flag(std::u16string_view name, bool otherwise) const {
        const Variant* value = (*this)[name];
        return value ? value->toBool() : otherwise;
    }
    std::int32_t integer(std::u16string_view name, std::int32_t otherwise) const {
        const Variant* value = (*this)[name];
        return value ? value->toInt32() : otherwise;
    }
    const Variant& required(std::u16string_view name) const {
        const Variant* value = (*this)[name];
        if (!value)
            throw AutomationError(u"引数 " + std::u16string(name) + u" が必要です");
        return *value;
    }

  private:
    const std::vector<std::u16string>& parameters_;
    const std::vector<Variant>& positional_;
    const std::vector<NamedArgument>& named_;
};

using Method = std::function<Variant(const Arguments&)>;

// One object of the fake: its members are small functions, and every use is logged.
class FakeObject final : public Object {
  public:
    FakeObject(std::shared_ptr<State> state, std::u16string label)
        : state_(std::move(state)), label_(std::move(label)) {}

    FakeObject& property(std::u16string_view name, Getter getter) {
        getters_.emplace_back(name, std::move(getter));
        return *this;
    }
    // A method with the parameters of its reference page, in their order.
    FakeObject& method(std::u16string_view name, std::vector<std::u16string> parameters,
                       Method method) {
        methods_.push_back({std::u16string(name), std::move(parameters), std::move(method)});
        return *this;
    }
    FakeObject& settable(std::u16string_view name, Setter setter = {}) {
        settable_.emplace_back(name, std::move(setter));
        return *this;
    }
    FakeObject& items(std::function<std::vector<Variant>()> items) {
        items_ = std::move(items);
        return *this;
    }
    // A guard run before every use, e.g. to refuse calls after Quit.
    FakeObject& alive(std::function<void()> check) {
        alive_ = std::move(check);
        return *this;
    }

    Variant get(std::u16string_view member) override {
        const std::lock_guard lock(state_->mutex);
        state_->log.push_back(u"get " + label_ + u"." + std::u16string(member));
        check(member);
        for (auto& [name, getter] : getters_) {
            if (sameName(name, member))
                return getter();
        }
        if (items_ && sameName(member, u"Count"))
            return static_cast<std::int32_t>(items_().size());
        unknown(member);
    }

    void put(std::u16string_view member, const Variant& value) override {
        const std::lock_guard lock(state_->mutex);
        state_->log.push_back(u"put " + label_ + u"." + std::u16string(member) + u" = " +
                              describe(value));
        check(member);
        for (const auto& [name, setter] : settable_) {
            if (sameName(name, member)) {
                if (setter)
                    setter(value);
                return;
            }
        }
        unknown(member);
    }

    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        const std::lock_guard lock(state_->mutex);
        std::u16string line = u"call " + label_ + u"." + std::u16string(member) + u"(";
        bool first = true;
        for (const auto& v : positional) {
            line += (first ? u"" : u", ") + describe(v);
            first = false;
        }
        for (const auto& a : named) {
            line += (first ? u"" : u", ") + a.name + u":=" + describe(a.value);
            first = false;
        }
        state_->log.push_back(line + u")");
        check(member);
        for (auto& m : methods_) {
            if (sameName(m.name, member))
                return m.run(Arguments(m.parameters, positional, named));
        }
        // Collections count their members from 1, as Word's do.
        if (items_ && sameName(member, u"Item") && positional.size() == 1) {
            const auto all = items_();
            const std::int32_t index = positional[0].toInt32();
            if (index < 1 || static_cast<std::size_t>(index) > all.size())
                throw AutomationError(u"コレクションにその番号の要素はありません");
            return all[static_cast<std::size_t>(index) - 1];
        }
        unknown(member);
    }

    std::vector<Variant> enumerate() override {
        const std::lock_guard lock(state_->mutex);
        state_->log.push_back(u"enum " + label_);
        check(u"_NewEnum");
        if (!items_)
            unknown(u"_NewEnum");
        return items_();
    }

  private:
    struct MethodEntry {
        std::u16string name;
        std::vector<std::u16string> parameters;
        Method run;
    };

    void check(std::u16string_view member) {
        if (alive_)
            alive_();
        state_->before(member);
        state_->fail(member);
    }
    [[noreturn]] void unknown(std::u16string_view member) const {
        throw AutomationError(label_ + u" にメンバー " + std::u16string(member) + u" はありません");
    }

    std::shared_ptr<State> state_;
    std::u16string label_;
    std::vector<std::pair<std::u16string, Getter>> getters_;
    std::vector<MethodEntry> methods_;
    std::vector<std::pair<std::u16string, Setter>> settable_;
    std::function<std::vector<Variant>()> items_;
    std::function<void()> alive_;
};

// What every object of one document shares.
struct Context {
    std::shared_ptr<State> state;
    std::shared_ptr<OpenDocument> doc;
    std::function<void()> alive;

    std::shared_ptr<FakeObject> object(std::u16string label) const {
        auto made = std::make_shared<FakeObject>(state, std::move(label));
        made->alive(alive);
        return made;
    }
};

Variant handOut(std::shared_ptr<FakeObject> object) {
    return Variant(std::shared_ptr<Object>(std::move(object)));
}

// ---- Find (Word.Find.md, Word.Find.Execute.md).

const std::vector<std::u16string> kExecuteParameters{
    u"FindText",        u"MatchCase",         u"MatchWholeWord", u"MatchWildcards",
    u"MatchSoundsLike", u"MatchAllWordForms", u"Forward",        u"Wrap",
    u"Format",          u"ReplaceWith",       u"Replace",        u"MatchKashida",
    u"MatchDiacritics", u"MatchAlefHamza",    u"MatchControl",   u"MatchPrefix",
    u"MatchSuffix",     u"MatchPhrase",       u"IgnoreSpace",    u"IgnorePunct"};
constexpr std::int32_t kReplaceOne = 1;
constexpr std::int32_t kReplaceAll = 2;
// Word refuses longer find and replacement texts ("String parameter too long").
constexpr std::size_t kTextLimit = 255;

// One character of a find text: itself, or a class that ^ codes and wildcards stand for.
struct Token {
    enum class Kind { Character, Any, Digit, Letter } kind = Kind::Character;
    char16_t c = 0;
};

[[noreturn]] void badCode(char16_t c) {
    throw AutomationError(u"「^" + std::u16string(1, c) + u"」は使えない特殊文字です");
}

// ^p a paragraph mark (a line feed here), ^t a tab and ^^ a caret, in find and replacement texts.
std::optional<char16_t> codedCharacter(char16_t code) {
    switch (code) {
        case u'p':
            return u'\n';
        case u't':
            return u'\t';
        case u'^':
            return u'^';
        default:
            return std::nullopt;
    }
}

// In a find text also ^? any character, ^# any digit and ^$ any letter, and with wildcards ? any
// character.
std::vector<Token> findTokens(const std::u16string& text, bool wildcards) {
    constexpr std::pair<char16_t, Token::Kind> kClasses[] = {
        {u'?', Token::Kind::Any}, {u'#', Token::Kind::Digit}, {u'$', Token::Kind::Letter}};
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (wildcards && text[i] == u'?') {
            tokens.push_back({Token::Kind::Any});
            continue;
        }
        if (text[i] != u'^') {
            tokens.push_back({Token::Kind::Character, text[i]});
            continue;
        }
        const char16_t code = ++i < text.size() ? text[i] : u' ';
        if (const auto c = codedCharacter(code)) {
            tokens.push_back({Token::Kind::Character, *c});
            continue;
        }
        const auto found = std::find_if(std::begin(kClasses), std::end(kClasses),
                                        [&](const auto& entry) { return entry.first == code; });
        if (found == std::end(kClasses))
            badCode(code);
        tokens.push_back({found->second});
    }
    return tokens;
}

// The replacement for one match, ^& standing for the match itself.
std::u16string replacementFor(const std::u16string& with, std::u16string_view match) {
    std::u16string out;
    for (std::size_t i = 0; i < with.size(); ++i) {
        if (with[i] != u'^') {
            out += with[i];
            continue;
        }
        const char16_t code = ++i < with.size() ? with[i] : u' ';
        if (const auto c = codedCharacter(code))
            out += *c;
        else if (code == u'&')
            out += match;
        else
            badCode(code);
    }
    return out;
}

class Matcher final {
  public:
    Matcher(State& state, const std::u16string& findText)
        : tokens_(findTokens(findText, state.option(u"MatchWildcards"))),
          matchCase_(state.option(u"MatchCase")),
          matchByte_(state.option(u"MatchByte")),
          fuzzy_(state.option(u"MatchFuzzy") && state.fuzzyOptions),
          wholeWord_(state.option(u"MatchWholeWord")),
          prefix_(state.option(u"MatchPrefix")),
          suffix_(state.option(u"MatchSuffix")),
          skipSpace_(state.option(u"IgnoreSpace") || state.option(u"MatchPhrase")),
          skipPunctuation_(state.option(u"IgnorePunct")),
          // Sounds-like and word-form searches look for other words than the text given: a
          // literal search never finds through them.
          linguistic_(state.option(u"MatchSoundsLike") || state.option(u"MatchAllWordForms")) {}

    // The length of the match at i, which ends by limit.
    std::optional<std::size_t> at(std::u16string_view text, std::size_t i,
                                  std::size_t limit) const {
        if (tokens_.empty() || linguistic_)
            return std::nullopt;
        if ((wholeWord_ || prefix_) && i > 0 && isWordCharacter(text[i - 1]))
            return std::nullopt;
        std::size_t j = i;
        for (std::size_t k = 0; k < tokens_.size(); ++k, ++j) {
            while (k > 0 && j < limit &&
                   ((skipSpace_ && isSpace(text[j])) ||
                    (skipPunctuation_ && isPunctuation(text[j])))) {
                ++j;
            }
            if (j >= limit || !matches(tokens_[k], text[j]))
                return std::nullopt;
        }
        if ((wholeWord_ || suffix_) && j < text.size() && isWordCharacter(text[j]))
            return std::nullopt;
        return j - i;
    }

    bool matchCase() const { return matchCase_; }

  private:
    bool matches(const Token& token, char16_t c) const {
        const char16_t narrow = toNarrow(c);
        switch (token.kind) {
            case Token::Kind::Any:
                return true;
            case Token::Kind::Digit:
                return narrow >= u'0' && narrow <= u'9';
            case Token::Kind::Letter:
                return isUpper(narrow) || isLower(narrow);
            case Token::Kind::Character:
                break;
        }
        const bool acrossWidths = !matchByte_ || fuzzy_;
        const bool acrossCase = !matchCase_ || fuzzy_;
        char16_t a = acrossWidths ? toNarrow(token.c) : token.c;
        char16_t b = acrossWidths ? narrow : c;
        if (acrossCase) {
            a = toLower(a);
            b = toLower(b);
        }
        return a == b;
    }

    std::vector<Token> tokens_;
    bool matchCase_, matchByte_, fuzzy_, wholeWord_, prefix_, suffix_, skipSpace_, skipPunctuation_,
        linguistic_;
};

// Word.Find.Execute.md, Remarks: "if MatchCase is False, occurrences of the search text that
// are uppercase will be replaced with an uppercase version of the replacement text, regardless
// of the case of the replacement text".
std::u16string caseOfMatch(std::u16string replacement, std::u16string_view match, bool matchCase) {
    const bool upper = std::any_of(match.begin(), match.end(), isUpper) &&
                       std::none_of(match.begin(), match.end(), isLower);
    if (!matchCase && upper)
        std::transform(replacement.begin(), replacement.end(), replacement.begin(), toUpper);
    return replacement;
}

// Execute on a range's Find. What it is passed becomes the Find's options from then on. A
// range whose Find finds something is redefined to the match, after a replacement to the
// replacement, after replacing all to the last one (Word.Find.md, Remarks).
bool execute(State& state, OpenDocument& doc, RangeState& range, const Arguments& args) {
    for (const auto& option : kFindOptions) {
        if (const Variant* value = args[option])
            state.search[option] = *value;
    }
    if (const Variant* text = args[u"FindText"])
        state.search[u"Text"] = text->toString();
    if (const Variant* with = args[u"ReplaceWith"])
        state.replacementText = with->toString();
    const std::u16string findText = state.search[u"Text"].toString();
    const std::int32_t replace = args.integer(u"Replace", 0);
    if (findText.size() > kTextLimit || state.replacementText.size() > kTextLimit)
        throw AutomationError(u"文字列パラメーターが長すぎます");
    const Matcher matcher(state, findText);
    if (replace != 0)
        replacementFor(state.replacementText, u"");

    std::u16string& text = *range.text;
    using Match = std::pair<std::size_t, std::size_t>;
    const auto matchFrom = [&](std::size_t i) -> std::optional<Match> {
        for (; i < range.end; ++i) {
            if (const auto length = matcher.at(text, i, range.end))
                return Match{i, *length};
        }
        return std::nullopt;
    };
    std::optional<Match> last;
    if (replace == 0 && state.option(u"Forward")) {
        last = matchFrom(range.start);
    } else if (replace == 0) {
        for (auto m = matchFrom(range.start); m; m = matchFrom(m->first + m->second))
            last = m;
    } else {
        for (auto m = matchFrom(range.start); m;) {
            const std::u16string match = text.substr(m->first, m->second);
            const std::u16string with = caseOfMatch(replacementFor(state.replacementText, match),
                                                    match, matcher.matchCase());
            RangeState edited{range.text, m->first, m->first + m->second};
            doc.edit(edited, m->first, m->first + m->second, with);
            last = Match{m->first, with.size()};
            if (replace == kReplaceOne)
                break;
            m = matchFrom(m->first + with.size());
        }
    }
    if (last) {
        range.start = last->first;
        range.end = last->first + last->second;
    }
    return last.has_value();
}

// A range's Find, labelled like "find(header 1.1)".
Variant makeFind(const Context& ctx, std::shared_ptr<RangeState> range,
                 const std::u16string& where) {
    auto find = ctx.object(u"find(" + where + u")");
    auto found = std::make_shared<bool>(false);
    const auto state = ctx.state;
    find->method(member::kExecute, kExecuteParameters, [=, doc = ctx.doc](const Arguments& args) {
        *found = execute(*state, *doc, *range, args);
        return Variant(*found);
    });
    find->property(u"Found", [found] { return Variant(*found); });
    for (const auto& option : kFindOptions) {
        find->property(option, [state, option] { return state->search[option]; })
            .settable(option, [state, option](const Variant& v) { state->search[option] = v; });
    }
    find->property(u"Text", [state] { return state->search[u"Text"]; })
        .settable(u"Text", [state](const Variant& v) { state->search[u"Text"] = v.toString(); });
    // The fake has no formatting to search for.
    find->method(u"ClearFormatting", {}, [](const Arguments&) { return Variant(); })
        .method(u"ClearAllFuzzyOptions", {},
                [state](const Arguments&) {
                    state->fuzzyOptions = false;
                    return Variant();
                })
        .property(u"Replacement", [ctx, state, where] {
            auto replacement = ctx.object(u"replacement(" + where + u")");
            replacement->method(u"ClearFormatting", {}, [](const Arguments&) { return Variant(); })
                .property(u"Text", [state] { return Variant(state->replacementText); })
                .settable(u"Text",
                          [state](const Variant& v) { state->replacementText = v.toString(); });
            return handOut(replacement);
        });
    return handOut(find);
}

// ---- Ranges (Word.Range.*.md).

Variant makeShape(const Context& ctx, std::size_t index);

Variant makeRange(const Context& ctx, std::shared_ptr<RangeState> range,
                  const std::u16string& where) {
    auto object = ctx.object(u"range(" + where + u")");
    const auto doc = ctx.doc;
    object
        ->property(member::kFind, [=] { return makeFind(ctx, range, where); })
        // Word.Range.Text.md: "When you set this property, the existing text in the range is
        // replaced".
        .property(u"Text",
                  [range] {
                      return Variant(range->text->substr(range->start, range->end - range->start));
                  })
        .settable(u"Text",
                  [doc, range](const Variant& v) {
                      doc->edit(*range, range->start, range->end, v.toString());
                  })
        .property(u"Start", [range] { return Variant(static_cast<std::int32_t>(range->start)); })
        .property(u"End", [range] { return Variant(static_cast<std::int32_t>(range->end)); })
        .property(u"Duplicate",
                  [=] {
                      return makeRange(ctx, doc->range(range->text, range->start, range->end),
                                       where);
                  })
        .method(u"SetRange", {u"Start", u"End"},
                [range](const Arguments& args) {
                    const auto limit = range->text->size();
                    range->start = std::min<std::size_t>(args.required(u"Start").toInt32(), limit);
                    range->end = std::clamp<std::size_t>(args.required(u"End").toInt32(),
                                                         range->start, limit);
                    return Variant();
                })
        // Word.Range.Collapse.md: wdCollapseStart (1) by default, wdCollapseEnd (0).
        .method(u"Collapse", {u"Direction"}, [range](const Arguments& args) {
            if (args.integer(u"Direction", 1) == 0)
                range->start = range->end;
            else
                range->end = range->start;
            return Variant();
        });
    // Word.Range.ShapeRange.md: the shapes of the range; the body's hold every shape of the body.
    // Word.ShapeRange.Group.md: grouped, they are one shape.
    if (range->text == &doc->document.body) {
        object->property(u"ShapeRange", [ctx, doc] {
            auto shapes = ctx.object(u"shaperange");
            shapes->method(u"Group", {}, [ctx, doc](const Arguments&) {
                auto& all = doc->document.shapes;
                const int group = static_cast<int>(all.size());
                for (auto& shape : all) {
                    if (shape.container < 0 && !shape.inHeader)
                        shape.container = group;
                }
                all.push_back({std::nullopt, FakeDocument::ShapeKind::Group});
                doc->modified = true;
                return makeShape(ctx, static_cast<std::size_t>(group));
            });
            return handOut(shapes);
        });
    }
    return handOut(object);
}

// ---- Shapes (Word.Shape.*.md, Word.TextFrame.*.md).

constexpr std::int32_t kTextBox = 17;  // msoTextBox
constexpr std::int32_t kPicture = 13;  // msoPicture
constexpr std::int32_t kGroup = 6;     // msoGroup
constexpr std::int32_t kCanvas = 20;   // msoCanvas

// The shapes of a collection: those of the body, of the headers, or of one group or canvas.
struct ShapeSet {
    int container = -1;
    bool inHeader = false;
    bool holds(const FakeDocument::Shape& shape) const {
        return shape.container == container && (container >= 0 || shape.inHeader == inHeader);
    }
};

Variant makeShapes(const Context& ctx, ShapeSet set, const std::u16string& label) {
    auto shapes = ctx.object(label);
    const auto doc = ctx.doc;
    shapes->items([=] {
        std::vector<Variant> items;
        for (std::size_t i = 0; i < doc->document.shapes.size(); ++i) {
            if (set.holds(doc->document.shapes[i]))
                items.push_back(makeShape(ctx, i));
        }
        return items;
    });
    // Word.Shapes.AddTextbox.md: AddTextbox(Orientation, Left, Top, Width, Height), an empty
    // text box in the collection's story.
    shapes->method(
        u"AddTextbox", {u"Orientation", u"Left", u"Top", u"Width", u"Height"},
        [=](const Arguments& args) {
            for (const auto name : {u"Orientation", u"Left", u"Top", u"Width", u"Height"})
                args.required(name);
            doc->document.shapes.push_back(
                {u"", FakeDocument::ShapeKind::Drawing, set.container, set.inHeader});
            doc->modified = true;
            return makeShape(ctx, doc->document.shapes.size() - 1);
        });
    return handOut(shapes);
}

Variant makeShape(const Context& ctx, std::size_t index) {
    const auto doc = ctx.doc;
    const auto& shape = doc->document.shapes[index];
    const std::u16string label =
        (shape.inHeader ? u"header shape " : u"shape ") + number(index + 1);
    auto object = ctx.object(label);
    const auto kind = shape.kind;
    // Word.Shape.Type.md: an MsoShapeType.
    object->property(u"Type", [doc, index, kind] {
        if (kind != FakeDocument::ShapeKind::Drawing)
            return Variant(kind == FakeDocument::ShapeKind::Group ? kGroup : kCanvas);
        return Variant(doc->document.shapes[index].text ? kTextBox : kPicture);
    });
    // Word.Shape.GroupItems.md and Word.Shape.CanvasItems.md: the shapes in a group and in a
    // drawing canvas.
    for (const auto& [name, owner] : {std::pair{u"GroupItems", FakeDocument::ShapeKind::Group},
                                      std::pair{u"CanvasItems", FakeDocument::ShapeKind::Canvas}}) {
        object->property(name, [=, owner = owner] {
            if (kind != owner)
                throw AutomationError(u"この図形にはその図形の集まりがありません");
            return makeShapes(ctx, {static_cast<int>(index)}, label + u" items");
        });
    }
    // Word.Shape.TextFrame.md, Word.TextFrame.HasText.md, Word.TextFrame.TextRange.md.
    object->property(member::kTextFrame, [=]() -> Variant {
        auto& text = doc->document.shapes[index].text;
        if (kind != FakeDocument::ShapeKind::Drawing || !text)
            throw AutomationError(u"この図形にはテキストがありません");
        auto frame = ctx.object(u"textframe(" + label + u")");
        frame->property(u"HasText", [t = &*text] { return Variant(!t->empty()); })
            .property(member::kTextRange, [=, t = &*text] {
                return makeRange(ctx, doc->range(t, 0, t->size()), label);
            });
        return handOut(frame);
    });
    return handOut(object);
}

// ---- Sections, headers and footers (Word.Section.Headers.md, Word.headersfooters.md,
// Word.HeaderFooter.*.md, Word.WdHeaderFooterIndex.md).

struct HeaderFooterText {
    std::u16string* text;
    bool exists;
    bool linked;
};

// Word.HeaderFooter.LinkToPrevious.md: a linked header's "contents are the same as in the
// previous header", and a new section's are linked. Word.HeaderFooter.Exists.md: "The primary
// header and footer exist in all new documents"; the first-page and even-page ones where the
// section has them.
HeaderFooterText headerFooterText(OpenDocument& doc, std::size_t section, std::size_t kind,
                                  bool header) {
    auto& texts =
        header ? doc.document.sections[section].headers : doc.document.sections[section].footers;
    if (texts.empty() && section > 0) {
        HeaderFooterText previous = headerFooterText(doc, section - 1, kind, header);
        previous.linked = true;
        return previous;
    }
    if (kind < texts.size())
        return {&texts[kind], true, false};
    return {&doc.absent[{section, kind, header}], false, false};
}

Variant makeHeadersFooters(const Context& ctx, std::size_t section, bool header) {
    const std::u16string kind = header ? u"header" : u"footer";
    auto list = ctx.object(kind + u"s " + number(section + 1));
    const auto doc = ctx.doc;
    list->items([=] {
        std::vector<Variant> members;
        for (std::size_t k = 0; k < 3; ++k) {
            const std::u16string label = kind + u" " + number(section + 1) + u"." + number(k + 1);
            const HeaderFooterText at = headerFooterText(*doc, section, k, header);
            auto object = ctx.object(label);
            object
                ->property(
                    member::kRange,
                    [=] { return makeRange(ctx, doc->range(at.text, 0, at.text->size()), label); })
                .property(u"LinkToPrevious", [at] { return Variant(at.linked); })
                .property(u"Exists", [at] { return Variant(at.exists); })
                .property(u"Index", [k] { return Variant(static_cast<std::int32_t>(k + 1)); })
                // Word.HeaderFooter.Shapes.md: "all the Shape objects found in all the headers
                // and footers in the document".
                .property(member::kShapes, [ctx] {
                    return makeShapes(ctx, {-1, true}, u"header shapes");
                });
            members.push_back(handOut(object));
        }
        return members;
    });
    return handOut(list);
}

Variant makeSection(const Context& ctx, std::size_t s) {
    auto section = ctx.object(u"section " + number(s + 1));
    section->property(member::kHeaders, [=] { return makeHeadersFooters(ctx, s, true); })
        .property(member::kFooters, [=] { return makeHeadersFooters(ctx, s, false); });
    return handOut(section);
}

// ---- Documents.

constexpr std::int32_t kFormatDocument = 0;      // wdFormatDocument
constexpr std::int32_t kFormatText = 2;          // wdFormatText
constexpr std::int32_t kFormatEncodedText = 7;   // wdFormatEncodedText
constexpr std::int32_t kFormatXmlDocument = 12;  // wdFormatXMLDocument
constexpr std::int32_t kFormatRtf = 6;           // wdFormatRTF
constexpr std::int32_t kDoNotSaveChanges = 0;    // wdDoNotSaveChanges

bool isText(std::int32_t format) {
    return (format >= 2 && format <= 5) || format == kFormatEncodedText;
}

bool hasExtension(std::u16string_view path, std::u16string_view extension) {
    return path.size() > extension.size() &&
           sameName(path.substr(path.size() - extension.size()), extension);
}

std::int32_t formatOfName(std::u16string_view path) {
    if (hasExtension(path, u".docx"))
        return kFormatXmlDocument;
    return hasExtension(path, u".rtf") ? kFormatRtf : kFormatDocument;
}

void writeBytes(std::u16string_view path, const std::string& bytes) {
    std::ofstream out(os::toNativePath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush())
        throw AutomationError(u"保存できません");
}

// Word.WdSaveFormat.md: the text formats are written as text, wdFormatEncodedText in the given
// encoding and the others in the system code page (Word.SaveAs2.md: Encoding "The default is
// the system code page"); every other format here is the fake's own.
void write(OpenDocument& doc, std::u16string_view path, std::int32_t format, std::int32_t encoding,
           std::int32_t lineEnding) {
    if (isText(format)) {
        const std::int32_t used =
            format == kFormatEncodedText ? encoding : text_file::kSystemCodePage;
        writeBytes(path, text_file::encode(doc.document.body, used, doc.byteOrderMark, lineEnding));
    } else {
        doc.document.save(path);
    }
}

// One application's open documents.
struct Session {
    std::vector<std::shared_ptr<OpenDocument>> open;
};

Variant makeDocument(const std::shared_ptr<State>& state, const std::shared_ptr<OpenDocument>& doc,
                     const std::function<void()>& appAlive,
                     const std::shared_ptr<Session>& session) {
    const Context ctx{state, doc, [doc, appAlive] {
                          appAlive();
                          if (doc->closed)
                              throw AutomationError(u"文書は閉じられています");
                      }};
    auto document = ctx.object(u"doc");
    document->property(member::kShapes, [ctx] { return makeShapes(ctx, {}, u"shapes"); });
    document->property(member::kSections, [ctx, doc] {
        auto sections = ctx.object(u"sections");
        sections
            ->items([ctx, doc] {
                std::vector<Variant> items;
                for (std::size_t s = 0; s < doc->document.sections.size(); ++s)
                    items.push_back(makeSection(ctx, s));
                return items;
            })
            // Word.Sections.Add.md: a section at the end of the document when no range is given.
            .method(u"Add", {u"Range", u"Start"}, [ctx, doc](const Arguments& args) {
                if (args[u"Range"])
                    throw AutomationError(u"この文書には範囲を指定して節を足せません");
                doc->document.sections.emplace_back();
                doc->modified = true;
                return makeSection(ctx, doc->document.sections.size() - 1);
            });
        return handOut(sections);
    });
    // Word.Document.Content.md: a range of the main story, new at each call.
    document->property(member::kContent, [ctx, doc] {
        return makeRange(ctx, doc->range(&doc->document.body, 0, doc->document.body.size()),
                         u"body");
    });
    // Word.Document.Close(method).md: Close(SaveChanges, OriginalFormat, RouteDocument). Asked
    // nothing, the fake keeps the changes.
    document->method(
        member::kClose, {u"SaveChanges", u"OriginalFormat", u"RouteDocument"},
        [state, doc, session](const Arguments& args) {
            const bool save =
                doc->modified && args.integer(u"SaveChanges", -1) != kDoNotSaveChanges;
            if (save)
                write(*doc, doc->path, doc->saveFormat, doc->textEncoding, doc->textLineEnding);
            doc->closed = true;
            std::erase(session->open, doc);
            --state->openDocuments;
            return save && !state->saveNotice.empty() ? Variant(state->saveNotice) : Variant();
        });
    // Word.Document.ReadOnly.md, Word.Document.ReadOnlyRecommended.md, Word.Document.Saved.md
    // ("False if Microsoft Word displays a prompt to save changes"), Word.Document.FullName.md,
    // Word.Document.SaveFormat.md, Word.Document.TextEncoding.md,
    // Word.Document.TextLineEnding.md.
    document->property(u"ReadOnly", [doc] { return Variant(doc->readOnly); })
        .property(u"ReadOnlyRecommended",
                  [doc] { return Variant(doc->document.readOnlyRecommended); })
        .settable(u"ReadOnlyRecommended",
                  [doc](const Variant& v) { doc->document.readOnlyRecommended = v.toBool(); })
        .property(u"Saved", [doc] { return Variant(!doc->modified); })
        .settable(u"Saved", [doc](const Variant& v) { doc->modified = !v.toBool(); })
        .property(u"FullName", [doc] { return Variant(doc->path); })
        .property(u"SaveFormat", [doc] { return Variant(doc->saveFormat); })
        .property(u"TextEncoding", [doc] { return Variant(doc->textEncoding); })
        .settable(u"TextEncoding", [doc](const Variant& v) { doc->textEncoding = v.toInt32(); })
        .property(u"TextLineEnding", [doc] { return Variant(doc->textLineEnding); })
        .settable(u"TextLineEnding",
                  [doc](const Variant& v) { doc->textLineEnding = v.toInt32(); });
    // Word.SaveAs2.md: the document becomes that file, in that format, saved.
    // ReadOnlyRecommended "The default is False"; Encoding for encoded text files, "The default
    // is the system code page"; LineEnding "wdCRLF (default) or wdCROnly".
    document->method(
        u"SaveAs2",
        {u"FileName", u"FileFormat", u"LockComments", u"Password", u"AddToRecentFiles",
         u"WritePassword", u"ReadOnlyRecommended", u"EmbedTrueTypeFonts",
         u"SaveNativePictureFormat", u"SaveFormsData", u"SaveAsAOCELetter", u"Encoding",
         u"InsertLineBreaks", u"AllowSubstitutions", u"LineEnding", u"AddBiDiMarks",
         u"CompatibilityMode"},
        [doc](const Arguments& args) {
            const std::u16string file = args.required(u"FileName").toString();
            const std::int32_t format = args.integer(u"FileFormat", doc->saveFormat);
            const std::int32_t encoding = args.integer(u"Encoding", text_file::kSystemCodePage);
            const std::int32_t lineEnding = args.integer(u"LineEnding", 0);
            if (lineEnding != 0 && lineEnding != 1)
                throw AutomationError(u"LineEnding に指定できるのは wdCRLF と wdCROnly です");
            doc->document.readOnlyRecommended = args.flag(u"ReadOnlyRecommended", false);
            write(*doc, file, format, encoding, lineEnding);
            doc->path = file;
            doc->saveFormat = format;
            if (isText(format))
                doc->textEncoding =
                    format == kFormatEncodedText ? encoding : text_file::kSystemCodePage;
            doc->modified = false;
            return Variant();
        });
    return handOut(document);
}

struct OpenArguments {
    std::optional<std::int32_t> encoding;
    bool readOnly = false;
    const Variant* password = nullptr;
};

// A fake document, or a text file, from disk; a Word document is one of a new section, as
// Word's always have one with a primary header and footer.
std::shared_ptr<OpenDocument> load(const std::u16string& path, const OpenArguments& args) {
    std::ifstream in(os::toNativePath(path), std::ios::binary);
    if (!in)
        throw AutomationError(u"文書として開けません");
    std::ostringstream content;
    content << in.rdbuf();
    auto doc = std::make_shared<OpenDocument>();
    doc->path = path;
    if (auto parsed = FakeDocument::parse(content.str())) {
        doc->document = std::move(*parsed);
        doc->saveFormat = formatOfName(path);
    } else if (hasExtension(path, u".txt")) {
        // Word.Documents.Open.md: Encoding, "The default value is the system code page", and
        // NoEncodingDialog for text "if the text encoding cannot be recognized".
        auto text = text_file::decode(content.str(), args.encoding);
        doc->document.body = std::move(text.text);
        doc->textEncoding = text.encoding;
        doc->byteOrderMark = text.byteOrderMark;
        doc->saveFormat =
            text.encoding == text_file::kSystemCodePage ? kFormatText : kFormatEncodedText;
    } else {
        throw AutomationError(u"文書として開けません");
    }
    auto& sections = doc->document.sections;
    if (sections.empty())
        sections.emplace_back();
    for (auto* texts : {&sections.front().headers, &sections.front().footers}) {
        if (texts->empty())
            texts->emplace_back();
    }
    if (!doc->document.password.empty() &&
        (!args.password || args.password->toString() != doc->document.password)) {
        throw AutomationError(u"パスワードが正しくありません");
    }
    std::error_code error;
    const auto permissions = std::filesystem::status(os::toNativePath(path), error).permissions();
    // Word.Documents.Open.md, ReadOnly: "This argument doesn't override the read-only
    // recommended setting on a saved document."
    doc->readOnly =
        args.readOnly || doc->document.readOnlyRecommended ||
        (permissions & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
    // Word.Document.Saved.md: False whenever Word would prompt to save, as after an update.
    doc->modified = doc->document.updatesOnOpen;
    return doc;
}

const std::vector<std::u16string> kOpenParameters{u"FileName",
                                                  u"ConfirmConversions",
                                                  u"ReadOnly",
                                                  u"AddToRecentFiles",
                                                  u"PasswordDocument",
                                                  u"PasswordTemplate",
                                                  u"Revert",
                                                  u"WritePasswordDocument",
                                                  u"WritePasswordTemplate",
                                                  u"Format",
                                                  u"Encoding",
                                                  u"Visible",
                                                  u"OpenConflictDocument",
                                                  u"OpenAndRepair",
                                                  u"DocumentDirection",
                                                  u"NoEncodingDialog"};

// Word.Documents.Open.md; Revert: "True to discard any unsaved changes to the open document and
// reopen the file. False to activate the open document."
Variant openDocument(const std::shared_ptr<State>& state, const std::shared_ptr<Session>& session,
                     const std::function<void()>& alive, const Arguments& args) {
    if (state->opensLeft && (*state->opensLeft)-- <= 0)
        throw AutomationError(u"ワープロが応答しません");
    const std::u16string path = args.required(u"FileName").toString();
    auto& open = session->open;
    const auto already = std::find_if(open.begin(), open.end(),
                                      [&](const auto& d) { return sameName(d->path, path); });
    if (already != open.end()) {
        if (!args.flag(u"Revert", false))
            return makeDocument(state, *already, alive, session);
        (*already)->closed = true;
        --state->openDocuments;
        open.erase(already);
    }
    OpenArguments how;
    if (const Variant* encoding = args[u"Encoding"])
        how.encoding = encoding->toInt32();
    how.readOnly = args.flag(u"ReadOnly", false);
    how.password = args[u"PasswordDocument"];
    auto doc = load(path, how);
    open.push_back(doc);
    ++state->openDocuments;
    return makeDocument(state, doc, alive, session);
}

// Word.Documents.Add.md: an empty document of one section, no file until it is saved.
Variant addDocument(const std::shared_ptr<State>& state, const std::shared_ptr<Session>& session,
                    const std::function<void()>& alive) {
    auto doc = std::make_shared<OpenDocument>();
    doc->document.sections.push_back({{u""}, {u""}});
    doc->saveFormat = kFormatXmlDocument;
    session->open.push_back(doc);
    ++state->openDocuments;
    return makeDocument(state, doc, alive, session);
}

}  // namespace

FakeWordProcessor::FakeWordProcessor() : state_(std::make_shared<State>()) {}
FakeWordProcessor::~FakeWordProcessor() = default;

Variant FakeWordProcessor::create(std::u16string_view className) {
    const std::lock_guard lock(state_->mutex);
    state_->log.push_back(u"create " + std::u16string(className));
    if (state_->refuseCreate || !sameName(className, word::kApplicationClass)) {
        throw AutomationError(u"ワープロを起動できません（" + std::u16string(className) + u"）");
    }
    ++state_->runningApplications;
    auto quit = std::make_shared<bool>(false);
    const std::function<void()> alive = [quit] {
        if (*quit)
            throw AutomationError(u"ワープロは終了しています");
    };
    auto state = state_;
    auto session = std::make_shared<Session>();
    auto app = std::make_shared<FakeObject>(state, u"app");
    std::weak_ptr<FakeObject> self = app;
    app->alive(alive)
        .settable(member::kVisible)
        .settable(u"DisplayAlerts")
        .settable(u"AutomationSecurity")
        .property(member::kApplication,
                  [self] { return Variant(std::shared_ptr<Object>(self.lock())); })
        .property(member::kDocuments,
                  [state, session, alive] {
                      auto documents = std::make_shared<FakeObject>(state, u"documents");
                      documents->alive(alive)
                          .method(member::kOpen, kOpenParameters,
                                  [state, session, alive](const Arguments& args) {
                                      return openDocument(state, session, alive, args);
                                  })
                          .method(u"Add",
                                  {u"Template", u"NewTemplate", u"DocumentType", u"Visible"},
                                  [state, session, alive](const Arguments&) {
                                      return addDocument(state, session, alive);
                                  })
                          // The fake's own: each Close has saved already.
                          .method(member::kQuorvaneFinishDocument,
                                  {std::u16string(member::kFileName)}, [](const Arguments& args) {
                                      args.required(member::kFileName);
                                      return Variant();
                                  });
                      return Variant(std::shared_ptr<Object>(documents));
                  })
        .method(member::kQuit, {u"SaveChanges", u"OriginalFormat", u"RouteDocument"},
                [state, session, quit](const Arguments&) {
                    *quit = true;
                    --state->runningApplications;
                    // Word.Application.Quit(method).md: the documents close with the application.
                    for (const auto& doc : session->open)
                        doc->closed = true;
                    state->openDocuments -= static_cast<int>(session->open.size());
                    session->open.clear();
                    return Variant();
                });
    return Variant(std::shared_ptr<Object>(app));
}

const std::vector<std::u16string>& FakeWordProcessor::log() const {
    return state_->log;
}

std::vector<std::u16string> FakeWordProcessor::logLines(std::u16string_view prefix) const {
    std::vector<std::u16string> lines;
    for (const auto& line : state_->log) {
        if (line.starts_with(prefix))
            lines.push_back(line);
    }
    return lines;
}

void FakeWordProcessor::clearLog() {
    state_->log.clear();
}
void FakeWordProcessor::failOpensAfter(int opens) {
    state_->opensLeft = opens;
}
void FakeWordProcessor::refuseCreate(bool refuse) {
    state_->refuseCreate = refuse;
}
void FakeWordProcessor::failMember(std::u16string member, int times) {
    state_->failingMembers.emplace_back(std::move(member), times);
}
void FakeWordProcessor::beforeMember(std::u16string member, std::function<void()> action) {
    state_->beforeMembers.emplace_back(std::move(member), std::move(action));
}
void FakeWordProcessor::noticeOnSave(std::u16string text) {
    state_->saveNotice = std::move(text);
}
void FakeWordProcessor::leaveSearchOption(std::u16string_view option, Variant value) {
    state_->search[std::u16string(option)] = std::move(value);
}
int FakeWordProcessor::runningApplications() const {
    return state_->runningApplications;
}
int FakeWordProcessor::openDocuments() const {
    return state_->openDocuments;
}

}  // namespace quorvane::automation::fake
