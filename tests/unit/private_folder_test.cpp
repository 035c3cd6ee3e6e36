#include "os/private_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

namespace quorvane::os::private_folders {
namespace {

namespace fs = std::filesystem;

// In a temporary folder anyone may write to, only folders that are ours, private and left by a
// process that has ended are taken for ours (links are the command line's test to plant).
TEST(PrivateFolders, OnlyWhatAnEndedProcessOfOursLeftIsRemoved) {
    test::TempDir dir;
    const fs::path ended = dir.path() / ("quorvane-" + std::to_string(test::endedProcess()) + "-");
    const bool root = ::geteuid() == 0;
    for (const char* name : {"abandoned", "open", "theirs"})
        fs::create_directory(ended.string() + name);
    test::writeFile(ended.string() + "abandoned/x", "x");
    fs::permissions(ended.string() + "abandoned", fs::perms::owner_all);
    fs::permissions(ended.string() + "open", fs::perms::all);
    if (root) {
        ASSERT_EQ(::chown((ended.string() + "theirs").c_str(), 65534, 65534), 0);
    }

    (void)private_folders::root();  // made where the tests run, not in the folder planted here
    const std::string before = ::getenv("TMPDIR") ? ::getenv("TMPDIR") : "/tmp";
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    removeAbandoned();
    ::setenv("TMPDIR", before.c_str(), 1);

    EXPECT_FALSE(fs::exists(ended.string() + "abandoned"));
    EXPECT_TRUE(fs::exists(ended.string() + "open"));
    EXPECT_EQ(fs::exists(ended.string() + "theirs"), root);
}

}  // namespace
}  // namespace quorvane::os::private_folders
