#include "automation/fake/fake_word_processor.h"

#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "automation/com/com_factory.h"
#include "automation/fake/dispatch_server.h"
#include "automation/word_model.h"
#include "os/text_encoding.h"
#include "test_support.h"

namespace quorvane::automation::fake {
namespace {

// The fake as the programs see Word, through IDispatch: each behaviour here is one its reference
// page gives Word (named in fake_word_processor.cpp), and one the passes or the session rely on.
class FakeWordProcessorTest : public ::testing::Test {
  protected:
    com::ComApartment apartment;
    FakeWordProcessor word;
    DispatchingFactory served{word};
    Variant application = served.create(word::kApplicationClass);
    test::TempDir dir;

    Variant open(const std::u16string& path, std::vector<NamedArgument> named = {}) {
        return application.get(u"Documents").call(u"Open", {path}, named);
    }
    std::u16string message(const std::function<void()>& call) {
        try {
            call();
        } catch (const AutomationError& e) {
            return e.message();
        }
        return u"no failure";
    }
};

TEST_F(FakeWordProcessorTest, FindAnswersFoundOnlyAndAdaptsCaseAndRedefinesItsRange) {
    FakeDocument text;
    text.body = u"FOO foo";
    text.save(dir / "a.doc");
    const Variant document = open(dir / "a.doc");
    const Variant range = document.get(u"Content");
    const Variant answer = range.get(u"Find").call(
        u"Execute", {}, {{u"FindText", u"foo"}, {u"ReplaceWith", u"bar"}, {u"Replace", 2}});
    EXPECT_EQ(answer.type(), Variant::Type::Bool);
    EXPECT_EQ(document.get(u"Content").get(u"Text").toString(), u"BAR bar");
    EXPECT_EQ(range.get(u"Text").toString(), u"bar") << "the range is the last replacement";
    EXPECT_FALSE(range.get(u"Find").call(u"Execute", {u"BAR", true}).toBool());
    EXPECT_NE(message([&] { range.get(u"Find").call(u"Execute", {u"a^q"}); }), u"no failure");
}

TEST_F(FakeWordProcessorTest, SectionsHaveThreeHeadersLinkedByDefaultAndTheirOwnShapes) {
    const FakeDocument parsed = *FakeDocument::parse(
        "quorvane-fake-document\nshape\tbody\nheader-shape\thead\nsection\nheader\th\nsection\n");
    parsed.save(dir / "a.doc");
    const word::Document document(open(dir / "a.doc"));
    const auto sections = document.sections().items();
    ASSERT_EQ(sections.size(), 2u);
    const auto first = sections[0].headers().items();
    const auto second = sections[1].headers().items();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_TRUE(first[0].exists());
    EXPECT_FALSE(first[1].exists());
    EXPECT_FALSE(first[0].linkedToPrevious());
    EXPECT_TRUE(second[0].linkedToPrevious());
    EXPECT_EQ(document.shapes().items().size(), 1u);
    EXPECT_EQ(second[2].shapes().items().size(), 1u) << "every header's shapes are all of them";
}

TEST_F(FakeWordProcessorTest, OpenHonoursItsNamedArgumentsAndRefusesOthersAsWordDoes) {
    FakeDocument text;
    text.body = u"foo";
    text.save(dir / "a.doc");
    EXPECT_NE(message([&] {
                  open(dir / "a.doc", {{u"ReadOnlyy", true}});
              }).find(u"0x80020004"),
              std::u16string::npos)
        << "DISP_E_PARAMNOTFOUND";
    const Variant first = open(dir / "a.doc", {{u"ReadOnly", true}});
    EXPECT_TRUE(first.get(u"ReadOnly").toBool());
    first.get(u"Content").put(u"Text", u"changed");
    EXPECT_EQ(open(dir / "a.doc").get(u"Content").get(u"Text").toString(), u"changed");
    EXPECT_EQ(open(dir / "a.doc", {{u"Revert", true}}).get(u"Content").get(u"Text").toString(),
              u"foo");

    text.password = u"secret";
    text.updatesOnOpen = true;
    text.save(dir / "b.doc");
    EXPECT_NE(message([&] {
                  open(dir / "b.doc", {{u"PasswordDocument", u"wrong"}});
              }),
              u"no failure");
    EXPECT_FALSE(open(dir / "b.doc", {{u"PasswordDocument", u"secret"}}).get(u"Saved").toBool());
}

// Open reads a text file in the encoding it is given, else in one it recognises; SaveAs2 writes
// the system code page unless told to write encoded text in another.
TEST_F(FakeWordProcessorTest, TextFilesAreReadAndWrittenInTheEncodingAskedFor) {
    test::writeFile(dir.path() / "a.txt", "\xE6\x9D\xB1\xE4\xBA\xAC\r\n");
    const Variant recognised = open(dir / "a.txt");
    EXPECT_EQ(recognised.get(u"TextEncoding").toInt32(), 65001);
    EXPECT_EQ(recognised.get(u"Content").get(u"Text").toString(), u"東京\n");
    recognised.call(u"SaveAs2", {}, {{u"FileName", dir / "b.txt"}, {u"FileFormat", 2}});
    EXPECT_EQ(test::readFile(dir.path() / "b.txt"), "\x93\x8C\x8B\x9E\r\n");
    recognised.call(u"SaveAs2", {},
                    {{u"FileName", dir / "c.txt"}, {u"FileFormat", 7}, {u"Encoding", 1200}});
    EXPECT_EQ(test::readFile(dir.path() / "c.txt"), std::string("\xFF\xFEqg\xACN\r\0\n\0", 10));
    EXPECT_NE(open(dir / "a.txt", {{u"Encoding", 932}, {u"Revert", true}})
                  .get(u"Content")
                  .get(u"Text")
                  .toString(),
              u"東京\n");
}

}  // namespace
}  // namespace quorvane::automation::fake
