#include <gtest/gtest.h>

#include "automation/fake/fake_word_processor.h"
#include "object_model_contract.h"
#include "os/file_system.h"

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

class FakeBackend final : public ContractBackend {
  public:
    automation::ObjectFactory& factory() override { return processor_; }

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
        const FakeDocument loaded = FakeDocument::load(os::fromNativePath(document)).value();
        std::vector<std::u16string> paragraphs;
        for (std::size_t start = 0, end = 0; end != std::u16string::npos; start = end + 1) {
            end = loaded.body.find(u'\n', start);
            paragraphs.push_back(loaded.body.substr(start, end - start));
        }
        for (const auto& shape : loaded.shapes)
            paragraphs.push_back(shape.text.value_or(u""));
        for (const auto& section : loaded.sections) {
            paragraphs.insert(paragraphs.end(), section.headers.begin(), section.headers.end());
            paragraphs.insert(paragraphs.end(), section.footers.begin(), section.footers.end());
        }
        std::map<std::u16string, int> counts;
        for (const auto& paragraph : paragraphs) {
            if (const int n = occurrences(paragraph, word))
                counts[paragraph.substr(0, paragraph.find(u' '))] += n;
        }
        return counts;
    }

  private:
    automation::fake::FakeWordProcessor processor_;
};

INSTANTIATE_TEST_SUITE_P(Fake, ObjectModelContract,
                         ::testing::Values(BackendMaker{"Fake", makeFakeBackend}),
                         [](const auto& info) { return info.param.name; });

}  // namespace

std::unique_ptr<ContractBackend> makeFakeBackend() {
    return std::make_unique<FakeBackend>();
}
}  // namespace quorvane::contract
