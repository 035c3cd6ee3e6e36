#include <gtest/gtest.h>

#include "automation/com/com_factory.h"
#include "automation/com/word_factory.h"
#include "automation/fake/fake_server.h"
#include "object_model_contract.h"

namespace quorvane::contract {
namespace {

// The fake word processor in a server process of its own, found by its ProgID: named arguments,
// Japanese strings, nested objects, errors and enumerators all cross a process boundary. It is
// driven through the session that sets Word up and saves beside the document, as the programs
// drive Word.
class ComServerBackend final : public ContractBackend {
  public:
    automation::ObjectFactory& factory() override { return word_; }
    std::filesystem::path writeSample(const std::filesystem::path& folder) override {
        return files_->writeSample(folder);
    }
    std::map<std::u16string, int> count(const std::filesystem::path& document,
                                        const std::u16string& word) override {
        return files_->count(document, word);
    }

  private:
    // Whatever class the model asks for, the registered fake answers.
    class Factory final : public automation::ObjectFactory {
      public:
        automation::Variant create(std::u16string_view) override {
            return factory_.create(automation::fake::kFakeServerProgId);
        }

      private:
        automation::com::ComObjectFactory factory_;
    };

    automation::com::ComApartment apartment_;
    std::unique_ptr<ContractBackend> files_ = makeFakeBackend();
    Factory factory_;
    automation::com::WordFactory word_{factory_};
};

INSTANTIATE_TEST_SUITE_P(ComServer, ObjectModelContract,
                         ::testing::Values(BackendMaker{
                             "ComServer", [] { return std::make_unique<ComServerBackend>(); }}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quorvane::contract
