#include "platform/automation/fake/fake_word_processor.h"

#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"
#include "test_support.h"

namespace quorvane::platform::automation::fake {
namespace {

using test::TempDir;

// The double must behave like the word processor where the passes depend on it.
TEST(FakeWordProcessor, ReplacesLiterallyWithinItsRegionHonouringMatchCase) {
    TempDir dir;
    FakeDocument doc;
    doc.body = u"Foo foo ＦＯＯ ｆｏｏ a.b";
    doc.shapes = {{u"foo"}};
    doc.save(dir / "a.doc");

    FakeWordProcessor word;
    const Variant app = word.create(u"word.application");
    const Variant d = app.get(u"documents").call(u"open", {dir / "a.doc"});
    d.get(u"Content")
        .get(u"Find")
        .call(u"Execute", {u"foo"},
              {{u"ReplaceWith", u"x"}, {u"MatchCase", false}, {u"Replace", 2}});
    d.get(u"Content")
        .get(u"Find")
        .call(u"Execute", {u"ｆｏｏ"},
              {{u"ReplaceWith", u"y"}, {u"MatchCase", true}, {u"Replace", 2}});
    d.get(u"Content")
        .get(u"Find")
        .call(u"Execute", {}, {{u"FindText", u"."}, {u"ReplaceWith", u"-"}, {u"Replace", 2}});
    EXPECT_THROW(d.get(u"Content")
                     .get(u"Find")
                     .call(u"Execute", {u"a"}, {{u"Replace", u"2"}, {u"ReplaceWith", u""}}),
                 AutomationError);
    d.call(u"Close");
    app.call(u"Quit");

    const auto saved = FakeDocument::load(dir / "a.doc").value();
    EXPECT_EQ(saved.body, u"x x ＦＯＯ y a-b");
    EXPECT_EQ(saved.shapes[0].text, u"foo");
    EXPECT_THROW(app.get(u"Documents"), AutomationError);
    EXPECT_EQ(word.runningApplications(), 0);
    EXPECT_EQ(word.openDocuments(), 0);
}

TEST(FakeWordProcessor, AnUnmodifiedDocumentIsNotWritten) {
    TempDir dir;
    test::writeFile(dir.path() / "a.doc", "quorvane-fake-document\nbody\tabc\n\n");
    FakeWordProcessor word;
    const Variant app = word.create(u"Word.Application");
    app.get(u"Documents").call(u"Open", {dir / "a.doc"}).call(u"Close");
    EXPECT_EQ(test::readFile(dir.path() / "a.doc"), "quorvane-fake-document\nbody\tabc\n\n");
}

}  // namespace
}  // namespace quorvane::platform::automation::fake
