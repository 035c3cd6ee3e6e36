#include <gtest/gtest.h>

#include "automation/com/com_factory.h"
#include "automation/com/word_factory.h"
#include "automation/fake/dispatch_server.h"
#include "automation/fake/fake_word_processor.h"
#include "object_model_contract.h"

namespace quorvane::contract {
namespace {

using automation::fake::DispatchingFactory;
using automation::fake::DispatchOptions;

// The fake word processor, every call of the suite crossing IDispatch both ways: the COM
// backend's ComObject calls a real IDispatch that serves the fake's objects, through the session
// that drives Word.
class ComBackend final : public ContractBackend {
  public:
    explicit ComBackend(DispatchOptions options) : served_(processor_, options) {}

    automation::ObjectFactory& factory() override { return word_; }
    std::filesystem::path writeSample(const std::filesystem::path& folder) override {
        return fake_->writeSample(folder);
    }
    std::map<std::u16string, int> count(const std::filesystem::path& document,
                                        const std::u16string& word) override {
        return fake_->count(document, word);
    }

  private:
    automation::com::ComApartment apartment_;
    std::unique_ptr<ContractBackend> fake_ = makeFakeBackend();
    automation::fake::FakeWordProcessor processor_;
    DispatchingFactory served_;
    automation::com::WordFactory word_{served_};
};

// ComByIndex: collections without _NewEnum, walked by Count and Item.
INSTANTIATE_TEST_SUITE_P(
    Com, ObjectModelContract,
    ::testing::Values(
        BackendMaker{"Com", [] { return std::make_unique<ComBackend>(DispatchOptions{}); }},
        BackendMaker{"ComByIndex",
                     [] { return std::make_unique<ComBackend>(DispatchOptions{false}); }}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quorvane::contract
