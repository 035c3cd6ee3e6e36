#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch_options.h"
#include "os/error.h"

namespace quorvane::cli {

// The command line cannot be carried out as written; the message says why, in Japanese.
class UsageError final : public os::Error {
  public:
    using Error::Error;
};

class ArgumentParser final {
  public:
    // Relative paths on the command line are taken from workingDirectory.
    explicit ArgumentParser(std::u16string workingDirectory);

    // The options, or nothing when help was asked for. Throws UsageError.
    std::optional<BatchOptions> parse(const std::vector<std::string>& arguments) const;

    static std::u16string usage();

  private:
    // Runs join paths by plain concatenation and name a dropped folder's copies after its last
    // component, so a path must be absolute, without "." or ".." and without a trailing
    // separator.
    std::u16string absolutePath(const std::string& argument) const;

    std::u16string workingDirectory_;
};

}  // namespace quorvane::cli
