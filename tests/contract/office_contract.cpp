#include <gtest/gtest.h>

#include "automation/office/office_factory.h"
#include "document_reader.h"
#include "object_model_contract.h"
#include "test_support.h"

namespace quorvane::contract {
namespace {

namespace fs = std::filesystem;

class OfficeBackend final : public ContractBackend {
  public:
    OfficeBackend() {
        reader_.convert(fs::path(QUORVANE_CONTRACT_DATA) / "sample.fodt", converted_,
                        u"MS Word 2007 XML");
    }

    automation::ObjectFactory& factory() override { return factory_; }

    fs::path writeSample(const fs::path& folder) override {
        const fs::path path = folder / converted_.filename();
        fs::copy_file(converted_, path);
        return path;
    }

    std::map<std::u16string, int> count(const fs::path& document,
                                        const std::u16string& word) override {
        return reader_.count(document, word);
    }

  private:
    automation::office::OfficeFactory factory_;
    testing::DocumentReader reader_;
    test::TempDir folder_;
    fs::path converted_ = folder_.path() / "sample.docx";
};

INSTANTIATE_TEST_SUITE_P(Office, ObjectModelContract,
                         ::testing::Values(BackendMaker{
                             "Office",
                             [] { return std::unique_ptr<ContractBackend>(new OfficeBackend); }}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quorvane::contract
