#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "automation/variant.h"

namespace quorvane::contract {

// A backend of the word processor's object model, with the means to make and read documents of
// its own format. Every backend holds the same labelled sample:
//
//   body         BODY-case foo Foo FOO | BODY-width ＡＢＣ ABC | CELL-own foo (a table cell where
//                the format has tables)
//   text box     TEXTBOX-own foo
//   header       HDR-own foo Foo
//   footer       FTR-own foo
//
// Where a backend cannot do what the others do, it says so here, and the suite skips that case:
// - the fake has no tables (its CELL-own paragraph is plain body text), no footnotes and no
//   drawing shapes without a text frame.
class ContractBackend {
  public:
    virtual ~ContractBackend() = default;

    virtual automation::ObjectFactory& factory() = 0;
    // Writes the sample into folder and returns its path.
    virtual std::filesystem::path writeSample(const std::filesystem::path& folder) = 0;
    // Occurrences of word (case and width significant) per paragraph label.
    virtual std::map<std::u16string, int> count(const std::filesystem::path& document,
                                                const std::u16string& word) = 0;
};

// The suite's parameter: a backend's name, and how to make it.
struct BackendMaker {
    std::string name;
    std::function<std::unique_ptr<ContractBackend>()> make;
};

// The fake word processor's backend, which the COM backend's tests serve through IDispatch.
std::unique_ptr<ContractBackend> makeFakeBackend();

inline void PrintTo(const BackendMaker& maker, std::ostream* out) {
    *out << maker.name;
}

}  // namespace quorvane::contract
