#include <gtest/gtest.h>

#include <sstream>

#include "automation/com/word_factory.h"
#include "automation/fake/fake_word_processor.h"
#include "object_model_contract.h"
#include "os/file_system.h"
#include "os/text_encoding.h"

namespace quorvane::contract {
namespace {

using automation::fake::FakeDocument;

int occurrences(std::u16string_view text, std::u16string_view word) {
    int n = 0;
    for (auto at = text.find(word); at != std::u16string_view::npos;
         at = text.find(word, at + word.size())) {
        ++n;
    }
    return n;
}

// The fake answers as Word does: the backend is Word as the programs drive it.
class FakeBackend final : public ContractBackend {
  public:
    automation::ObjectFactory& factory() override { return word_; }

    std::filesystem::path writeSample(const std::filesystem::path& folder) override {
        FakeDocument sample;
        sample.body = u"BODY-case foo Foo FOO\nBODY-width ＡＢＣ ABC\nCELL-own foo";
        sample.shapes = {{u"TEXTBOX-own foo"}};
        sample.sections = {{{u"HDR-own foo Foo"}, {u"FTR-own foo"}}};
        const auto path = folder / "sample.fake";
        sample.save(os::fromNativePath(path));
        return path;
    }

    std::map<std::u16string, int> count(const std::filesystem::path& document,
                                        const std::u16string& word) override {
        // One line per paragraph, text box, header and footer, its text after a tab; the other
        // lines hold no text.
        std::istringstream lines(FakeDocument::load(os::fromNativePath(document))->serialize());
        std::map<std::u16string, int> counts;
        for (std::string line; std::getline(lines, line);) {
            const std::u16string paragraph = os::fromUtf8(line.substr(line.find('\t') + 1));
            if (const int n = occurrences(paragraph, word))
                counts[paragraph.substr(0, paragraph.find(u' '))] += n;
        }
        return counts;
    }

  private:
    automation::fake::FakeWordProcessor processor_;
    automation::com::WordFactory word_{processor_};
};

INSTANTIATE_TEST_SUITE_P(Fake, ObjectModelContract,
                         ::testing::Values(BackendMaker{"Fake", makeFakeBackend}),
                         [](const auto& info) { return info.param.name; });

}  // namespace

std::unique_ptr<ContractBackend> makeFakeBackend() {
    return std::make_unique<FakeBackend>();
}
}  // namespace quorvane::contract
