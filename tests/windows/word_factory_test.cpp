#include "automation/com/word_factory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "automation/automation_error.h"
#include "automation/fake/fake_word_processor.h"
#include "automation/word_model.h"
#include "os/text_encoding.h"
#include "run/run_driver.h"
#include "test_support.h"
#include "windows_calls.h"

namespace quorvane::automation::com {
namespace {

namespace fs = std::filesystem;
using fake::FakeDocument;
using run::Outcome;

// A run over the fake, which answers as Word's reference says Word does, through the session, on
// one document edited in place: what a user of quorvane-batch.exe gets from Word.
class WordSessionTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    fake::FakeWordProcessor word;
    WordFactory session{word};
    test::ScriptedMessageBox messages;
    run::RunRequest request;

    WordSessionTest() {
        request.mode = run::RunRequest::Mode::EditOriginals;
        request.pairs[0] = {u"foo", u"X"};
    }
    ~WordSessionTest() override { test::windows_calls::replaceFileWith(nullptr); }
    std::u16string document(const FakeDocument& content, const std::string& name = "a.doc") {
        content.save(dir / name);
        return dir / name;
    }
    run::DocumentResult run(const std::u16string& path) {
        return run::RunDriver(messages, session).run(request, path).documents.at(0);
    }
    FakeDocument read(const std::string& name = "a.doc") const {
        return FakeDocument::load(dir / name).value();
    }
    std::vector<std::string> files() const { return test::namesIn(dir.path()); }
};

// One header text over three sections, the later two linked to it: replaced once.
TEST_F(WordSessionTest, ALinkedHeaderIsReplacedOnce) {
    request.pairs[0] = {u"東京", u"東京都"};
    FakeDocument linked;
    linked.sections = {{{u"本社 東京"}, {u"東京"}}, {}, {}};
    EXPECT_EQ(run(document(linked)).outcome, Outcome::Replaced);
    EXPECT_EQ(read().sections[0].headers[0], u"本社 「東京都」");
    EXPECT_EQ(read().sections[0].footers[0], u"「東京都」");
}

TEST_F(WordSessionTest, TextBoxesInHeadersGroupsAndCanvasesAreReplaced) {
    FakeDocument shapes = *FakeDocument::parse(
        "quorvane-fake-document\nshape\tbody foo\nshape\t\nshape-without-text\ngroup\nitem\tgroup "
        "foo\ncanvas\nitem\tcanvas foo\nheader-shape\theader foo\n");
    const auto result = run(document(shapes));
    EXPECT_EQ(result.outcome, Outcome::Replaced) << os::toUtf8(result.reason);
    for (const auto& shape : read().shapes) {
        if (shape.text && !shape.text->empty()) {
            EXPECT_TRUE(shape.text->ends_with(u" 「X」")) << os::toUtf8(*shape.text);
        }
    }
    request.regions.textBoxes = false;
    document(shapes, "b.doc");
    run(dir / "b.doc");
    EXPECT_EQ(read("b.doc"), shapes) << "text boxes of headers are text boxes";
}

// A search Word refuses fails the document with the pair named, and nothing of the pair is kept.
TEST_F(WordSessionTest, ASearchWordRefusesFailsTheDocumentNamingThePair) {
    FakeDocument text;
    text.body = u"foo";
    text.shapes = {{u"foo"}};
    const std::u16string path = document(text);
    for (const auto& [find, replacement, words] :
         {std::tuple{std::u16string(256, u'f'), std::u16string(u"X"), u"256 文字"},
          std::tuple{std::u16string(u"foo"), std::u16string(254, u'x'), u"「」を含めて 256 文字"},
          std::tuple{std::u16string(u"foo^q"), std::u16string(u"X"), u"^q"}}) {
        request.pairs[0] = {find, replacement};
        const auto result = run(path);
        EXPECT_EQ(result.outcome, Outcome::NotSaved);
        EXPECT_TRUE(result.reason.starts_with(u"「" + find + u"」を「" + replacement +
                                              u"」に置き換えられませんでした："))
            << os::toUtf8(result.reason);
        EXPECT_NE(result.reason.find(words), std::u16string::npos) << os::toUtf8(result.reason);
        EXPECT_EQ(read(), text);
    }
}

// ReplaceFileW failing on the way: the original back in place, or else the new file; where
// neither can be, nothing removed and both named.
TEST_F(WordSessionTest, AFailedReplaceFileNeverLosesTheDocument) {
    FakeDocument text;
    text.body = u"foo";
    const std::u16string path = document(text);
    const fs::path native = os::toNativePath(path);
    // ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: the original under the backup name.
    test::windows_calls::replaceFileWith(
        [&](const auto&, const auto&, const auto& backup, DWORD& error) {
            fs::rename(native, backup);
            error = 1177;
            return false;
        });
    auto result = run(path);
    EXPECT_EQ(result.outcome, Outcome::NotSaved);
    EXPECT_NE(result.reason.find(u"（エラー 1177）。元の文書はそのままです"), std::u16string::npos)
        << os::toUtf8(result.reason);
    EXPECT_EQ(read().body, u"foo");
    EXPECT_EQ(files(), std::vector<std::string>{"a.doc"});

    // ERROR_UNABLE_TO_MOVE_REPLACEMENT: the original gone, the new file where it was saved.
    test::windows_calls::replaceFileWith([&](const auto&, const auto&, const auto&, DWORD& error) {
        fs::remove(native);
        error = 1176;
        return false;
    });
    EXPECT_EQ(run(path).outcome, Outcome::Replaced);
    EXPECT_EQ(read().body, u"「X」");
    EXPECT_EQ(files(), std::vector<std::string>{"a.doc"});

    // The original moved aside and something else in its place.
    request.pairs[0] = {u"「X」", u"Y"};
    test::windows_calls::replaceFileWith(
        [&](const auto&, const auto&, const auto& backup, DWORD& error) {
            fs::rename(native, backup);
            fs::create_directory(native);
            error = 1177;
            return false;
        });
    result = run(path);
    EXPECT_EQ(result.outcome, Outcome::NotSaved);
    EXPECT_NE(result.reason.find(u"何も削除していません。元の文書は「"), std::u16string::npos);
    EXPECT_EQ(files().size(), 3u) << "the folder in the way, the original and the new file";
}

// Another program writes the document while the run has it: that version stays, the run's is not
// put in its place, and the document is reported not saved.
TEST_F(WordSessionTest, ADocumentAnotherProgramWroteMeanwhileIsNotReplaced) {
    FakeDocument text;
    text.body = u"foo";
    const std::u16string path = document(text);
    FakeDocument theirs;
    theirs.body = u"their foo";
    word.beforeMember(u"SaveAs2", [&] { document(theirs); });
    const auto result = run(path);
    EXPECT_EQ(result.outcome, Outcome::NotSaved);
    EXPECT_NE(result.reason.find(u"ほかのプログラムが文書を書き換えた"), std::u16string::npos)
        << os::toUtf8(result.reason);
    EXPECT_EQ(read().body, u"their foo");
    EXPECT_EQ(files(), std::vector<std::string>{"a.doc"});
    EXPECT_EQ(word.openDocuments(), 0);
}

// UTF-8 with and without a byte order mark, UTF-16 and Shift_JIS: the same bytes but the
// replacement.
TEST_F(WordSessionTest, TextFilesKeepTheirEncoding) {
    const std::pair<std::string, std::string> texts[] = {
        {"東京 foo\r\n二\r\n", "東京 「X」\r\n二\r\n"},
        {"\xEF\xBB\xBF東京 foo\r\n", "\xEF\xBB\xBF東京 「X」\r\n"},
        {std::string("\xFF\xFE\x71\x67\xAC\x4E\x20\0f\0o\0o\0\r\0\n\0", 18),
         std::string("\xFF\xFE\x71\x67\xAC\x4E\x20\0\x0C\x30X\0\x0D\x30\r\0\n\0", 18)},
        {"\x93\x8C\x8B\x9E foo\r\n", "\x93\x8C\x8B\x9E \x81\x75X\x81\x76\r\n"}};
    for (const auto& [before, after] : texts) {
        test::writeFile(dir.path() / "a.txt", before);
        EXPECT_EQ(run(dir / "a.txt").outcome, Outcome::Replaced);
        EXPECT_EQ(test::readFile(dir.path() / "a.txt"), after);
    }
}

// A pair whose save failed leaves nothing in Word for the next pair to save.
TEST_F(WordSessionTest, AFailedSaveLeavesNothingForTheNextPair) {
    FakeDocument text;
    text.body = u"foo bar";
    request.pairs[1] = {u"bar", u"Y"};
    word.failMember(u"SaveAs2", 1);
    const auto result = run(document(text));
    EXPECT_EQ(result.outcome, Outcome::NotSaved);
    EXPECT_NE(result.reason.find(u"置換 1「foo」→「X」 は適用されていません"),
              std::u16string::npos);
    EXPECT_EQ(read().body, u"foo 「Y」");
    EXPECT_EQ(word.openDocuments(), 0);
}

TEST_F(WordSessionTest, AReadOnlyRecommendedDocumentIsReplacedAndStaysRecommended) {
    FakeDocument recommended;
    recommended.body = u"foo";
    recommended.readOnlyRecommended = true;
    EXPECT_EQ(run(document(recommended)).outcome, Outcome::Replaced);
    EXPECT_EQ(read().body, u"「X」");
    EXPECT_TRUE(read().readOnlyRecommended);
    // Read-only on disk, a document fails as one that cannot be saved.
    recommended.readOnlyRecommended = false;
    document(recommended, "b.doc");
    fs::permissions(dir.path() / "b.doc", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(run(dir / "b.doc").outcome, Outcome::NotOpened);
    fs::permissions(dir.path() / "b.doc", fs::perms::owner_write, fs::perm_options::add);
}

// Widths alike: the body's full-width and half-width forms are each found, each by a Find of its
// own.
TEST_F(WordSessionTest, BothWidthFormsAreReplacedInTheBody) {
    FakeDocument text;
    text.body = u"ｆｏｏ foo";
    request.distinguishWidths = false;
    EXPECT_EQ(run(document(text)).outcome, Outcome::Replaced);
    EXPECT_EQ(read().body, u"「X」 「X」");
}

// Word updates some documents as it opens them: with nothing replaced, the file is not written.
TEST_F(WordSessionTest, ADocumentWordUpdatedOnOpenIsNotWrittenWhenNothingWasReplaced) {
    FakeDocument updated;
    updated.body = u"bar";
    updated.updatesOnOpen = true;
    const std::u16string path = document(updated);
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(os::toNativePath(path), now - std::chrono::hours(24));
    EXPECT_EQ(run(path).outcome, Outcome::Unchanged);
    EXPECT_LT(fs::last_write_time(os::toNativePath(path)), now - std::chrono::hours(1));
}

// Whatever the user's last search in Word left set, the search is literal.
TEST_F(WordSessionTest, SearchOptionsTheUserLeftSetDoNotChangeTheResult) {
    for (const auto option : {u"MatchPrefix", u"MatchSuffix", u"MatchPhrase", u"IgnoreSpace",
                              u"IgnorePunct", u"MatchWholeWord", u"MatchWildcards"}) {
        word.leaveSearchOption(option, true);
    }
    FakeDocument text;
    text.body = u"xfooy f oo f,oo";
    EXPECT_EQ(run(document(text)).outcome, Outcome::Replaced);
    EXPECT_EQ(read().body, u"x「X」y f oo f,oo");
}

// Word would put 「BAR」 for FOO; the replacement goes in as typed, also where it holds the find
// text.
TEST_F(WordSessionTest, AnUppercaseMatchGetsTheReplacementAsTyped) {
    FakeDocument text;
    text.body = u"FOO Foo";
    text.sections = {{{u"FOO Foo foo"}, {}}};
    request.matchCase = false;
    request.pairs[0] = {u"foo", u"bar"};
    EXPECT_EQ(run(document(text)).outcome, Outcome::Replaced);
    EXPECT_EQ(read().sections[0].headers[0], u"「bar」 「bar」 「bar」");
    EXPECT_EQ(read().body, u"「bar」 「bar」");
    request.pairs = {{{u"bar", u"Xbar"}}};
    EXPECT_EQ(run(dir / "a.doc").outcome, Outcome::Replaced);
    EXPECT_EQ(read().body, u"「「Xbar」」 「「Xbar」」");
}

// Word that died with a document is started again for the next one, set up as the first was.
TEST_F(WordSessionTest, AWordThatDiedIsStartedAgainForTheNextDocument) {
    class Dying final : public ObjectFactory {
      public:
        explicit Dying(ObjectFactory& inner) : inner_(inner) {}
        Variant create(std::u16string_view name) override {
            ++started;
            const Variant app = inner_.create(name);
            if (started > 1)
                return app;
            class Dead final : public Object {
              public:
                explicit Dead(Variant app) : app_(std::move(app)) {}
                Variant get(std::u16string_view) override { throw ServerGoneError(u"終了"); }
                void put(std::u16string_view m, const Variant& v) override { app_.put(m, v); }
                Variant call(std::u16string_view m, const std::vector<Variant>& p,
                             const std::vector<NamedArgument>& n) override {
                    return app_.call(m, p, n);
                }
                std::vector<Variant> enumerate() override { return {}; }

              private:
                Variant app_;
            };
            return Variant(std::make_shared<Dead>(app));
        }
        int started = 0;

      private:
        ObjectFactory& inner_;
    } dying(word);
    WordFactory factory(dying);
    FakeDocument text;
    text.body = u"foo";
    const auto application = word::Application::create(factory);
    application.documents().open(document(text)).close();
    EXPECT_EQ(dying.started, 2);
    EXPECT_EQ(word.logLines(u"put app.DisplayAlerts = I4 0").size(), 2u);
    application.quit();
}

}  // namespace
}  // namespace quorvane::automation::com
