#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "automation/word_model.h"
#include "contract_backend.h"
#include "test_support.h"

namespace quorvane::contract {

// What every backend of the object model must do, written once and instantiated for each backend
// (the instantiation's name says which).
class ObjectModelContract : public ::testing::TestWithParam<BackendMaker> {
  public:
    static void TearDownTestSuite();

  protected:
    void SetUp() override;

    ContractBackend& backend();
    automation::word::Application start();
    std::u16string samplePath() const;

    static std::unique_ptr<ContractBackend>& instance();

    test::TempDir folder_;
    std::filesystem::path sample_;
};

}  // namespace quorvane::contract
