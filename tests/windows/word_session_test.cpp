#include "automation/com/word_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "automation/automation_error.h"
#include "automation/com/com_object.h"
#include "automation/member_name.h"
#include "automation/word_model.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "test_support.h"

namespace quorvane::automation::com {
namespace {

namespace word = automation::word;

// Word as far as the session uses it: every use is logged as "name.Member(args)"; SaveAs2
// writes the file it is given.
class ScriptedWord final : public Object, public ObjectFactory {
  public:
    ScriptedWord(std::u16string name, std::shared_ptr<std::vector<std::u16string>> log,
                 ScriptedWord* root = nullptr)
        : name_(std::move(name)), log_(std::move(log)), root_(root ? root : this) {}

    std::map<std::u16string, Variant> properties;

    Variant create(std::u16string_view) override {
        log_->push_back(u"create");
        lastApp = child(u"app");
        return Variant(lastApp);
    }

    Variant get(std::u16string_view member) override {
        if (dead)
            throw ServerGoneError(u"終了しています");
        log_->push_back(name_ + u"." + std::u16string(member));
        if (const auto found = properties.find(std::u16string(member)); found != properties.end())
            return found->second;
        return Variant(child(std::u16string(member)));
    }
    void put(std::u16string_view member, const Variant& value) override {
        log_->push_back(name_ + u"." + std::u16string(member) + u"=" + describe(value));
    }
    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        std::u16string line = name_ + u"." + std::u16string(member) + u"(";
        for (const auto& p : positional)
            line += describe(p) + u",";
        for (const auto& n : named)
            line += n.name + u":=" + describe(n.value) + u",";
        log_->push_back(line + u")");
        if (sameName(member, u"SaveAs2"))
            test::writeFile(os::toNativePath(named[0].value.toString()), "saved");
        if (sameName(member, u"Open"))
            return Variant(root_->document);
        return true;
    }
    std::vector<Variant> enumerate() override { return {}; }

    std::shared_ptr<ScriptedWord> child(std::u16string name) {
        return std::make_shared<ScriptedWord>(std::move(name), log_, root_);
    }

    std::shared_ptr<ScriptedWord> document;
    std::shared_ptr<ScriptedWord> lastApp;
    bool dead = false;

  private:
    std::u16string name_;
    std::shared_ptr<std::vector<std::u16string>> log_;
    ScriptedWord* root_;
};

class WordSessionTest : public ::testing::Test {
  protected:
    std::shared_ptr<std::vector<std::u16string>> log =
        std::make_shared<std::vector<std::u16string>>();
    ScriptedWord word{u"factory", log};
    WordFactory factory{word};
    test::TempDir dir;

    void SetUp() override {
        word.document = word.child(u"doc");
        word.document->properties = {{u"ReadOnly", false},
                                     {u"Saved", false},
                                     {u"FullName", dir / "report.doc"},
                                     {u"SaveFormat", 0}};
        test::writeFile(dir.path() / "report.doc", "original");
    }

    bool logged(std::u16string_view line) const {
        return std::find(log->begin(), log->end(), line) != log->end();
    }
};

TEST_F(WordSessionTest, WordStartsUnattendedAndOpensWithoutPrompts) {
    const auto application = word::Application::create(factory);
    EXPECT_TRUE(logged(u"app.Visible=BOOL 0"));
    EXPECT_TRUE(logged(u"app.DisplayAlerts=I4 0"));
    EXPECT_TRUE(logged(u"app.AutomationSecurity=I4 3"));
    application.documents().open(u"C:\\a.doc");
    const std::u16string open = *std::find_if(log->begin(), log->end(), [](const auto& line) {
        return line.starts_with(u"Documents.Open");
    });
    for (const auto part :
         {u"Documents.Open(STR \"C:\\a.doc\",", u"ConfirmConversions:=BOOL 0", u"ReadOnly:=BOOL 0",
          u"AddToRecentFiles:=BOOL 0", u"PasswordDocument:=STR \"quorvane-no-password\""}) {
        EXPECT_NE(open.find(part), std::u16string::npos) << os::toUtf8(part);
    }
    application.quit();
    EXPECT_EQ(log->back(), u"app.Quit(SaveChanges:=I4 0,)");

    word.document->properties[u"ReadOnly"] = true;
    EXPECT_THROW(application.documents().open(u"C:\\locked.doc"), AutomationError);
    EXPECT_EQ(log->back(), u"doc.Close(SaveChanges:=I4 0,)");
}

TEST_F(WordSessionTest, EveryExecuteFindsLiterallyWithWidthsAndCaseAsAsked) {
    const auto find = word::Range(factory.create(word::kApplicationClass).get(u"Content")).find();
    log->clear();
    find.replaceAllNamed(u"foo", u"「x」");
    ASSERT_EQ(log->front(), u"Find.ClearFormatting()");
    for (const auto line :
         {u"Find.MatchWildcards=BOOL 0", u"Find.MatchFuzzy=BOOL 0", u"Find.MatchByte=BOOL -1",
          u"Find.Wrap=I4 0", u"Replacement.ClearFormatting()"}) {
        EXPECT_TRUE(logged(line)) << os::toUtf8(line);
    }
    EXPECT_NE(log->back().find(u"Find.Execute(FindText:=STR \"foo\""), std::u16string::npos);
    EXPECT_NE(log->back().find(u"MatchCase:=BOOL 0"), std::u16string::npos);

    log->clear();
    EXPECT_THROW(find.replaceAll(std::u16string(256, u'あ'), u"x", true), AutomationError);
    EXPECT_TRUE(log->empty()) << "a text Word would refuse reached it";
}

TEST_F(WordSessionTest, AWordThatDiedIsStartedAgainForTheNextDocument) {
    const auto application = word::Application::create(factory);
    word.lastApp->dead = true;
    application.documents().open(u"C:\\b.doc");
    EXPECT_EQ(std::count(log->begin(), log->end(), u"create"), 2);
    EXPECT_TRUE(logged(u"app.DisplayAlerts=I4 0"));
    EXPECT_TRUE(std::any_of(log->begin(), log->end(), [](const auto& line) {
        return line.starts_with(u"Documents.Open(STR \"C:\\b.doc\"");
    }));
}

TEST_F(WordSessionTest, AChangedDocumentIsSavedBesideAndPutInPlaceAnUnchangedOneIsLeft) {
    const auto application = word::Application::create(factory);
    application.documents().open(dir / "report.doc").close();
    EXPECT_EQ(test::readFile(dir.path() / "report.doc"), "saved");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "the saved file was left beside the document";
    EXPECT_TRUE(logged(u"doc.Close(SaveChanges:=I4 0,)"));

    word.document->properties[u"Saved"] = true;
    test::writeFile(dir.path() / "report.doc", "original");
    log->clear();
    application.documents().open(dir / "report.doc").close();
    EXPECT_EQ(test::readFile(dir.path() / "report.doc"), "original");
    EXPECT_FALSE(std::any_of(log->begin(), log->end(),
                             [](const auto& line) { return line.starts_with(u"doc.SaveAs2"); }));
}

}  // namespace
}  // namespace quorvane::automation::com
