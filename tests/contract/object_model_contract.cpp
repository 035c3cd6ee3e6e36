#include "object_model_contract.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "automation/automation_error.h"
#include "automation/word_model.h"
#include "os/file_system.h"

namespace quorvane::contract {
namespace {

namespace word = automation::word;
using automation::AutomationError;
using Counts = std::map<std::u16string, int>;

bool hasJapanese(const std::u16string& text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x3000; });
}

}  // namespace

std::unique_ptr<ContractBackend>& ObjectModelContract::instance() {
    static std::unique_ptr<ContractBackend> backend;
    return backend;
}

void ObjectModelContract::TearDownTestSuite() {
    // The backend's offices end here, not in the static destructors after main.
    instance().reset();
}

ContractBackend& ObjectModelContract::backend() {
    if (!instance())
        instance() = GetParam().make();
    return *instance();
}

void ObjectModelContract::SetUp() {
    sample_ = backend().writeSample(folder_.path());
}

word::Application ObjectModelContract::start() {
    return word::Application::create(backend().factory());
}

std::u16string ObjectModelContract::samplePath() const {
    return os::fromNativePath(sample_);
}

TEST_P(ObjectModelContract, EachRegionIsReplacedThroughItsOwnFindAndCounted) {
    const word::Application application = start();
    const word::Document document = application.documents().open(samplePath());
    int textBoxes = 0;
    for (const word::Shape& shape : document.shapes().items()) {
        textBoxes += shape.textFrame().textRange().find().replaceAllNamed(u"foo", u"「T」").found;
    }
    int headersAndFooters = 0;
    for (const word::Section& section : document.sections().items()) {
        for (const auto& list : {section.headers(), section.footers()}) {
            for (const word::HeaderFooter& member : list.items()) {
                // The named form passes no MatchCase: case does not matter.
                const auto answer = member.range().find().replaceAllNamed(u"foo", u"「H」");
                headersAndFooters += answer.replaced.value_or(answer.found ? 1 : 0);
            }
        }
    }
    const auto body = document.content().find().replaceAll(u"foo", u"「B」", true);
    document.close();
    application.quit();

    EXPECT_EQ(textBoxes, 1);
    EXPECT_EQ(headersAndFooters, 3);
    EXPECT_TRUE(body.found);
    if (body.replaced) {
        EXPECT_EQ(*body.replaced, 2) << "BODY-case foo and CELL-own foo";
    }
    // Each region's replacements where they belong, and nowhere else.
    EXPECT_EQ(backend().count(sample_, u"「T」"), (Counts{{u"TEXTBOX-own", 1}}));
    EXPECT_EQ(backend().count(sample_, u"「H」"), (Counts{{u"HDR-own", 2}, {u"FTR-own", 1}}));
    EXPECT_EQ(backend().count(sample_, u"「B」"), (Counts{{u"BODY-case", 1}, {u"CELL-own", 1}}));
    EXPECT_EQ(backend().count(sample_, u"Foo").at(u"BODY-case"), 1) << "MatchCase was ignored";
}

TEST_P(ObjectModelContract, BodySearchFoldsCaseOnlyWhenAskedAndNeverWidth) {
    const word::Application application = start();
    const word::Document document = application.documents().open(samplePath());
    const auto caseless = document.content().find().replaceAll(u"foo", u"「c」", false);
    const auto ascii = document.content().find().replaceAll(u"abc", u"「w」", false);
    document.close();
    application.quit();

    EXPECT_TRUE(caseless.found);
    EXPECT_TRUE(ascii.found);
    EXPECT_EQ(backend().count(sample_, u"「c」").at(u"BODY-case"), 3);
    const auto width = backend().count(sample_, u"ＡＢＣ");
    EXPECT_EQ(width.at(u"BODY-width"), 1) << "a half-width search changed full-width text";
    EXPECT_EQ(backend().count(sample_, u"「w」").at(u"BODY-width"), 1);
}

// Each pair opens and closes the document; the run finishes it after the last one. A later pair
// finds what an earlier one wrote, even in a paragraph the earlier one's paragraph break made.
TEST_P(ObjectModelContract, AFinishedDocumentHoldsEveryPairClosedBeforeIt) {
    const word::Application application = start();
    const auto pair = [&](const std::u16string& find, const std::u16string& replacement) {
        const word::Document document = application.documents().open(samplePath());
        EXPECT_TRUE(document.content().find().replaceAll(find, replacement, true).found);
        document.close();
    };
    pair(u"foo", u"bar\r");
    pair(u"bar", u"「f」");
    application.documents().finish(samplePath());
    const auto total = [&] {
        int sum = 0;
        for (const auto& [label, count] : backend().count(sample_, u"「f」"))
            sum += count;
        return sum;
    };
    EXPECT_EQ(total(), 2) << "BODY-case and CELL-own";
    // Finishing a document the run never opened, or one finished already, does nothing.
    application.documents().finish(samplePath());
    application.documents().finish(folder_ / "other.doc");
    application.quit();
    EXPECT_EQ(total(), 2);
}

// A dry run's document: opened read-only, each search meets what the one before replaced and says
// how many it replaced, and nothing of it reaches the disk, not even a lock file beside it.
TEST_P(ObjectModelContract, AReadOnlyDocumentCountsEveryReplacementAndLeavesNoTrace) {
    const std::string before = test::readFile(sample_);
    const word::Application application = start();
    const word::Document document = application.documents().open(samplePath(), true);
    const auto first = document.content().find().replaceAll(u"foo", u"bar", true);
    const auto second = document.content().find().replaceAll(u"bar", u"「x」", true);
    std::int32_t headers = 0;
    for (const word::Section& section : document.sections().items()) {
        for (const word::HeaderFooter& header : section.headers().items())
            headers += header.range().find().replaceAllNamed(u"foo", u"「h」").replaced.value_or(0);
    }
    document.discard();
    application.documents().finish(samplePath());
    application.quit();

    EXPECT_EQ(first.replaced, 2);
    EXPECT_EQ(second.replaced, 2) << "the second search did not meet the first's replacements";
    EXPECT_EQ(headers, 2) << "HDR-own foo Foo";
    EXPECT_EQ(test::readFile(sample_), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 1);
}

TEST_P(ObjectModelContract, FailuresAreAutomationErrorsInJapanese) {
    const word::Application application = start();
    const auto expectFailure = [](const auto& call) {
        try {
            call();
            ADD_FAILURE() << "no automation error";
        } catch (const AutomationError& e) {
            EXPECT_TRUE(hasJapanese(e.message())) << e.what();
        }
    };
    expectFailure([&] { application.documents().open(folder_ / "none.doc"); });
    const word::Document document = application.documents().open(samplePath());
    document.close();
    expectFailure([&] { (void)document.shapes().items(); });
    application.quit();
    expectFailure([&] { application.documents().open(samplePath()); });
}

TEST_P(ObjectModelContract, MembersAnswerByNameWithoutRegardToCase) {
    automation::Variant application = backend().factory().create(u"word.application");
    const automation::Variant document =
        application.get(u"DOCUMENTS").call(u"open", {samplePath()});
    EXPECT_TRUE(document.get(u"content").get(u"FIND").isObject());
    EXPECT_THROW(document.get(u"NoSuchMember"), AutomationError);
    EXPECT_THROW(document.get(u"Content")
                     .get(u"Find")
                     .call(u"Execute", {}, {{u"FindText", u"foo"}, {u"ReplaceWith", 2}}),
                 AutomationError);
    document.call(u"CLOSE");
    application.get(u"Application").put(u"visible", false);
    application.call(u"quit");
}

}  // namespace quorvane::contract
