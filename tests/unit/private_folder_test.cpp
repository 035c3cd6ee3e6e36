#include "os/private_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

namespace quorvane::os::private_folders {
namespace {

namespace fs = std::filesystem;

pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// In a temporary folder anyone may write to, only folders that are ours, private and left by a
// process that has ended are taken for ours: not a link, not someone else's, not a live one's.
TEST(PrivateFolders, OnlyWhatAnEndedProcessOfOursLeftIsRemoved) {
    test::TempDir dir;
    const std::string ended = "quorvane-" + std::to_string(endedProcess()) + "-";
    fs::create_directories(dir.path() / (ended + "abandoned") / "profile");
    test::writeFile(dir.path() / (ended + "abandoned") / "profile" / "x", "x");
    fs::create_directory(dir.path() / "victim");
    test::writeFile(dir.path() / "victim" / "kept", "x");
    fs::create_directory_symlink(dir.path() / "victim", dir.path() / (ended + "link"));
    fs::create_directory(dir.path() / (ended + "open"));
    fs::create_directory(dir.path() / (ended + "theirs"));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((dir.path() / (ended + "theirs")).c_str(), 65534, 65534), 0);
    }
    fs::create_directory(dir.path() / ("quorvane-" + std::to_string(::getppid()) + "-live"));
    for (const auto& entry : fs::directory_iterator(dir.path()))
        fs::permissions(entry.path(), fs::perms::owner_all);
    fs::permissions(dir.path() / (ended + "open"), fs::perms::all);

    (void)private_folders::root();  // made where the tests run, not in the folder planted here
    const char* before = ::getenv("TMPDIR");
    const std::string kept = before ? before : "";
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    removeAbandoned();
    if (before)
        ::setenv("TMPDIR", kept.c_str(), 1);
    else
        ::unsetenv("TMPDIR");

    EXPECT_FALSE(fs::exists(dir.path() / (ended + "abandoned")));
    EXPECT_TRUE(fs::exists(dir.path() / "victim" / "kept"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / (ended + "link")));
    EXPECT_TRUE(fs::exists(dir.path() / (ended + "open")));
    EXPECT_EQ(fs::exists(dir.path() / (ended + "theirs")), root);
    EXPECT_TRUE(fs::exists(dir.path() / ("quorvane-" + std::to_string(::getppid()) + "-live")));
}

TEST(PrivateFolders, AFolderOfOursIsPrivateAndGoesWithoutFollowingLinks) {
    test::TempDir dir;
    test::writeFile(dir.path() / "victim", "x");
    const fs::path folder = create("test-" + std::to_string(::getpid()));
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(folder.parent_path(), root());
    fs::create_symlink(dir.path() / "victim", folder / "link");
    fs::create_directory_symlink(dir.path(), folder / "folder-link");
    private_folders::remove(folder);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(test::readFile(dir.path() / "victim"), "x");
}

}  // namespace
}  // namespace quorvane::os::private_folders
