#include "automation/fake/fake_word_processor.h"

#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <utility>

#include "automation/automation_error.h"
#include "automation/execute_arguments.h"
#include "automation/member_name.h"
#include "automation/word_model.h"
#include "os/file_system.h"
#include "os/text_encoding.h"

namespace quorvane::automation::fake {

using os::fromUtf8;
using os::toNativePath;
using os::toUtf8;
namespace member = word::member;

namespace {

constexpr std::string_view kMagic = "quorvane-fake-document";

char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return c + (u'a' - u'A');
    if (c >= u'Ａ' && c <= u'Ｚ')
        return c + (u'ａ' - u'Ａ');
    return c;
}

// Replaces every occurrence, left to right, without overlaps. Returns how many were replaced.
std::int32_t replaceAll(std::u16string& text, const std::u16string& find,
                        const std::u16string& with, bool matchCase) {
    if (find.empty())
        return 0;
    const auto same = [&](char16_t a, char16_t b) {
        return matchCase ? a == b : foldCase(a) == foldCase(b);
    };
    std::u16string out;
    std::int32_t found = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (i + find.size() <= text.size() &&
            std::equal(find.begin(), find.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
                       same)) {
            out += with;
            i += find.size();
            ++found;
        } else {
            out += text[i++];
        }
    }
    if (found > 0)
        text = std::move(out);
    return found;
}

}  // namespace

struct FakeWordProcessor::State {
    // A run may use several applications at once: one call at a time, as one process would.
    std::recursive_mutex mutex;
    std::vector<std::u16string> log;
    std::set<std::u16string> failingMembers;
    bool refuseCreate = false;
    std::optional<int> opensLeft;
    std::u16string saveNotice;
    int runningApplications = 0;
    int openDocuments = 0;

    void fail(std::u16string_view member) const {
        for (const auto& m : failingMembers) {
            if (sameName(m, member)) {
                throw AutomationError(u"メンバー " + std::u16string(member) +
                                      u" の呼び出しに失敗しました");
            }
        }
    }
};

namespace {

using State = FakeWordProcessor::State;
using Getter = std::function<Variant()>;
using Setter = std::function<void(const Variant&)>;
using Method =
    std::function<Variant(const std::vector<Variant>&, const std::vector<NamedArgument>&)>;

// One object of the fake: its members are small functions, and every use is logged.
class FakeObject final : public Object {
  public:
    FakeObject(std::shared_ptr<State> state, std::u16string label)
        : state_(std::move(state)), label_(std::move(label)) {}

    FakeObject& property(std::u16string_view name, Getter getter) {
        getters_.emplace_back(name, std::move(getter));
        return *this;
    }
    FakeObject& method(std::u16string_view name, Method method) {
        methods_.emplace_back(name, std::move(method));
        return *this;
    }
    // A property that may be written; setter, when given, takes the value.
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
        for (auto& [name, method] : methods_) {
            if (sameName(name, member))
                return method(positional, named);
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
    void check(std::u16string_view member) {
        if (alive_)
            alive_();
        state_->fail(member);
    }
    [[noreturn]] void unknown(std::u16string_view member) const {
        throw AutomationError(label_ + u" にメンバー " + std::u16string(member) + u" はありません");
    }

    std::shared_ptr<State> state_;
    std::u16string label_;
    std::vector<std::pair<std::u16string, Getter>> getters_;
    std::vector<std::pair<std::u16string, Method>> methods_;
    std::vector<std::pair<std::u16string, Setter>> settable_;
    std::function<std::vector<Variant>()> items_;
    std::function<void()> alive_;
};

struct OpenDocument {
    std::u16string path;
    FakeDocument document;
    bool modified = false;
    bool closed = false;
};

// Find.Execute over one region's text, in either the positional or the named form.
Variant execute(OpenDocument& doc, std::u16string& text, const std::vector<Variant>& positional,
                const std::vector<NamedArgument>& named) {
    const ExecuteArguments args = bindExecuteArguments(positional, named);
    const std::int32_t replaced = replaceAll(text, args.findText, args.replaceWith, args.matchCase);
    doc.modified = doc.modified || replaced > 0;
    return replaced;
}

Variant makeFind(const std::shared_ptr<State>& state, const std::shared_ptr<OpenDocument>& doc,
                 std::u16string* text, const std::u16string& region,
                 const std::function<void()>& alive) {
    auto find = std::make_shared<FakeObject>(state, u"find(" + region + u")");
    find->alive(alive).method(member::kExecute,
                              [doc, text](const auto& positional, const auto& named) {
                                  return execute(*doc, *text, positional, named);
                              });
    // Word's search options, which its callers pin before each search: this word processor
    // always searches as they pin them (literally, forward, within the range).
    const auto none = [](const auto&, const auto&) { return Variant(); };
    find->method(u"ClearFormatting", none).property(u"Replacement", [=] {
        auto replacement = std::make_shared<FakeObject>(state, u"replacement(" + region + u")");
        replacement->alive(alive).method(u"ClearFormatting", none);
        return Variant(std::shared_ptr<Object>(replacement));
    });
    for (const auto option :
         {u"MatchWildcards", u"MatchWholeWord", u"MatchSoundsLike", u"MatchAllWordForms", u"Format",
          u"Forward", u"Wrap", u"MatchFuzzy", u"MatchByte"}) {
        find->settable(option);
    }
    return Variant(std::shared_ptr<Object>(find));
}

// A region's range, labelled like "range(header 1.1)"; its Find is labelled "find(header 1.1)".
Variant makeRange(const std::shared_ptr<State>& state, const std::shared_ptr<OpenDocument>& doc,
                  std::u16string* text, const std::u16string& region,
                  const std::function<void()>& alive) {
    auto range = std::make_shared<FakeObject>(state, u"range(" + region + u")");
    range->alive(alive)
        .property(member::kFind, [=] { return makeFind(state, doc, text, region, alive); })
        .property(u"Text", [text] { return Variant(*text); })
        .settable(u"Text", [doc, text](const Variant& value) {
            *text = value.toString();
            doc->modified = true;
        });
    return Variant(std::shared_ptr<Object>(range));
}

std::u16string number(std::size_t n) {
    return fromUtf8(std::to_string(n));
}

Variant makeShape(const std::shared_ptr<State>& state, const std::shared_ptr<OpenDocument>& doc,
                  std::size_t i, const std::function<void()>& alive) {
    const std::u16string label = u"shape " + number(i + 1);
    auto shape = std::make_shared<FakeObject>(state, label);
    shape->alive(alive).property(member::kTextFrame, [=]() -> Variant {
        auto& text = doc->document.shapes[i].text;
        if (!text)
            throw AutomationError(u"この図形にはテキストがありません");
        auto frame = std::make_shared<FakeObject>(state, u"textframe(" + label + u")");
        frame->alive(alive).property(
            member::kTextRange, [=, t = &*text] { return makeRange(state, doc, t, label, alive); });
        return Variant(std::shared_ptr<Object>(frame));
    });
    return Variant(std::shared_ptr<Object>(shape));
}

Variant makeDocument(const std::shared_ptr<State>& state, const std::shared_ptr<OpenDocument>& doc,
                     const std::function<void()>& appAlive) {
    ++state->openDocuments;
    const std::function<void()> alive = [doc, appAlive] {
        appAlive();
        if (doc->closed)
            throw AutomationError(u"文書は閉じられています");
    };

    auto document = std::make_shared<FakeObject>(state, u"doc");
    document->alive(alive);
    document->property(member::kShapes, [=] {
        auto shapes = std::make_shared<FakeObject>(state, u"shapes");
        shapes->alive(alive).items([=] {
            std::vector<Variant> items;
            for (std::size_t i = 0; i < doc->document.shapes.size(); ++i)
                items.push_back(makeShape(state, doc, i, alive));
            return items;
        });
        // AddTextbox(Orientation, Left, Top, Width, Height): an empty text box.
        shapes->method(u"AddTextbox", [=](const auto& positional, const auto&) {
            if (positional.size() != 5)
                throw AutomationError(u"AddTextboxには5つの引数が必要です");
            doc->document.shapes.push_back({u""});
            doc->modified = true;
            return makeShape(state, doc, doc->document.shapes.size() - 1, alive);
        });
        return Variant(std::shared_ptr<Object>(shapes));
    });
    document->property(member::kSections, [=] {
        auto sections = std::make_shared<FakeObject>(state, u"sections");
        sections->alive(alive).items([=] {
            std::vector<Variant> items;
            for (std::size_t s = 0; s < doc->document.sections.size(); ++s) {
                auto section = std::make_shared<FakeObject>(state, u"section " + number(s + 1));
                const auto texts = [=](std::u16string kind, bool headers) {
                    auto list = std::make_shared<FakeObject>(state, kind + u"s " + number(s + 1));
                    list->alive(alive).items([=] {
                        auto& all = headers ? doc->document.sections[s].headers
                                            : doc->document.sections[s].footers;
                        std::vector<Variant> members;
                        for (std::size_t k = 0; k < all.size(); ++k) {
                            const std::u16string label =
                                kind + u" " + number(s + 1) + u"." + number(k + 1);
                            auto member = std::make_shared<FakeObject>(state, label);
                            member->alive(alive).property(member::kRange, [=, t = &all[k]] {
                                return makeRange(state, doc, t, label, alive);
                            });
                            members.emplace_back(std::shared_ptr<Object>(member));
                        }
                        return members;
                    });
                    return Variant(std::shared_ptr<Object>(list));
                };
                section->alive(alive)
                    .property(member::kHeaders, [=] { return texts(u"header", true); })
                    .property(member::kFooters, [=] { return texts(u"footer", false); });
                items.emplace_back(std::shared_ptr<Object>(section));
            }
            return items;
        });
        return Variant(std::shared_ptr<Object>(sections));
    });
    document->property(member::kContent,
                       [=] { return makeRange(state, doc, &doc->document.body, u"body", alive); });
    document->method(member::kClose, [=](const auto&, const auto& named) {
        // Asked nothing, our word processor keeps the changes, as the real backend does; asked
        // by name, it does what Word does with SaveChanges.
        bool save = doc->modified;
        for (const NamedArgument& argument : named) {
            if (sameName(argument.name, u"SaveChanges"))
                save = save && argument.value.toInt32() != 0;
        }
        if (save)
            doc->document.save(doc->path);
        doc->closed = true;
        --state->openDocuments;
        return save && !state->saveNotice.empty() ? Variant(state->saveNotice) : Variant();
    });
    // What Word answers and does for a caller that saves documents itself.
    document->property(u"ReadOnly", [] { return Variant(false); })
        .property(u"Saved", [doc] { return Variant(!doc->modified); })
        .property(u"FullName", [doc] { return Variant(doc->path); })
        .property(u"SaveFormat", [] { return Variant(std::int32_t{0}); })
        // SaveAs2(FileName:=, FileFormat:=, ...): this format whatever the one asked for; the
        // document is that file from then on, saved.
        .method(u"SaveAs2", [doc](const auto& positional, const auto& named) {
            const Variant* file = positional.empty() ? nullptr : &positional[0];
            for (const NamedArgument& argument : named) {
                if (sameName(argument.name, u"FileName"))
                    file = &argument.value;
            }
            if (!file)
                throw AutomationError(u"SaveAs2にはFileNameが必要です");
            doc->document.save(file->toString());
            doc->path = file->toString();
            doc->modified = false;
            return Variant();
        });
    return Variant(std::shared_ptr<Object>(document));
}

Variant openDocument(const std::shared_ptr<State>& state, const std::u16string& path,
                     const std::function<void()>& appAlive) {
    auto loaded = FakeDocument::load(path);
    if (!loaded)
        throw AutomationError(u"文書として開けません");
    return makeDocument(
        state, std::make_shared<OpenDocument>(OpenDocument{path, std::move(*loaded)}), appAlive);
}

// A new document as Word makes one: an empty body, one section with an empty header and
// footer, and no file until it is saved.
Variant addDocument(const std::shared_ptr<State>& state, const std::function<void()>& appAlive) {
    FakeDocument blank;
    blank.sections.push_back({{u""}, {u""}});
    return makeDocument(state, std::make_shared<OpenDocument>(OpenDocument{u"", std::move(blank)}),
                        appAlive);
}

}  // namespace

std::string FakeDocument::serialize() const {
    std::string out(kMagic);
    out += '\n';
    // One line per paragraph of the body.
    for (std::size_t start = 0, end = 0; end != std::u16string::npos; start = end + 1) {
        end = body.find(u'\n', start);
        out += "body\t" + toUtf8(std::u16string_view(body).substr(start, end - start)) + "\n";
    }
    for (const auto& shape : shapes) {
        out += shape.text ? "shape\t" + toUtf8(*shape.text) + "\n" : "shape-without-text\n";
    }
    for (const auto& section : sections) {
        out += "section\n";
        for (const auto& h : section.headers)
            out += "header\t" + toUtf8(h) + "\n";
        for (const auto& f : section.footers)
            out += "footer\t" + toUtf8(f) + "\n";
    }
    return out;
}

std::optional<FakeDocument> FakeDocument::parse(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        return std::nullopt;
    FakeDocument doc;
    bool sawBody = false;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        const std::string key = line.substr(0, tab);
        const std::u16string value =
            tab == std::string::npos ? u"" : fromUtf8(line.substr(tab + 1));
        if (key == "body") {
            doc.body += (sawBody ? u"\n" : u"") + value;
            sawBody = true;
        } else if (key == "shape") {
            doc.shapes.push_back({value});
        } else if (key == "shape-without-text") {
            doc.shapes.push_back({std::nullopt});
        } else if (key == "section") {
            doc.sections.emplace_back();
        } else if ((key == "header" || key == "footer") && !doc.sections.empty()) {
            (key == "header" ? doc.sections.back().headers : doc.sections.back().footers)
                .push_back(value);
        } else if (!line.empty()) {
            return std::nullopt;
        }
    }
    return doc;
}

std::optional<FakeDocument> FakeDocument::load(std::u16string_view path) {
    std::ifstream in(toNativePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return parse(content.str());
}

void FakeDocument::save(std::u16string_view path) const {
    std::ofstream out(toNativePath(path), std::ios::binary | std::ios::trunc);
    out << serialize();
    if (!out.flush())
        throw AutomationError(u"保存できません");
}

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
    auto app = std::make_shared<FakeObject>(state, u"app");
    std::weak_ptr<FakeObject> self = app;
    app->alive(alive)
        .settable(member::kVisible)
        .settable(u"DisplayAlerts")
        .settable(u"AutomationSecurity")
        .property(member::kApplication,
                  [self] { return Variant(std::shared_ptr<Object>(self.lock())); })
        .property(member::kDocuments,
                  [state, alive] {
                      auto documents = std::make_shared<FakeObject>(state, u"documents");
                      documents->alive(alive)
                          .method(member::kOpen,
                                  [state, alive](const auto& positional, const auto&) {
                                      if (positional.size() != 1)
                                          throw AutomationError(u"Openには1つの引数が必要です");
                                      if (state->opensLeft && (*state->opensLeft)-- <= 0)
                                          throw AutomationError(u"ワープロが応答しません");
                                      return openDocument(state, positional[0].toString(), alive);
                                  })
                          .method(u"Add",
                                  [state, alive](const auto&, const auto&) {
                                      return addDocument(state, alive);
                                  })
                          // Each Close saved already, as Word's does.
                          .method(member::kFinish, [](const auto& positional, const auto&) {
                              if (positional.size() != 1)
                                  throw AutomationError(u"Finishには1つの引数が必要です");
                              return Variant();
                          });
                      return Variant(std::shared_ptr<Object>(documents));
                  })
        .method(member::kQuit, [state, quit](const auto&, const auto&) {
            *quit = true;
            --state->runningApplications;
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
void FakeWordProcessor::failMember(std::u16string member) {
    state_->failingMembers.insert(std::move(member));
}
void FakeWordProcessor::noticeOnSave(std::u16string text) {
    state_->saveNotice = std::move(text);
}
int FakeWordProcessor::runningApplications() const {
    return state_->runningApplications;
}
int FakeWordProcessor::openDocuments() const {
    return state_->openDocuments;
}

}  // namespace quorvane::automation::fake
