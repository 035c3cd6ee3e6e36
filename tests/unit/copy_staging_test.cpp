#include "run/copy_staging.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane::run {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class CopyStagingTest : public ::testing::Test {
  protected:
    TempDir dir;
    RunRequest request;

    void SetUp() override {
        fs::create_directories(dir.path() / "src" / "in");
        test::writeFile(dir.path() / "src" / "in" / "a.doc", "A");
        request.destinationFolder = dir / "dest";
        fs::create_directories(dir.path() / "dest");
    }
};

// The path to edit, nothing when the copy was refused.
std::optional<std::u16string> staged(const CopyStaging& staging, const std::u16string& source) {
    CopyStaging::Staged staged = staging.stage(source);
    return staged.status ? std::optional(std::move(staged.path)) : std::nullopt;
}

TEST_F(CopyStagingTest, EditingOriginalsTouchesNothing) {
    request.mode = RunRequest::Mode::EditOriginals;
    request.destinationFolder = dir / "nowhere";
    const CopyStaging staging(request, dir / "src/in", true);
    staging.createDestinationFolder();
    EXPECT_EQ(staged(staging, dir / "src/in/a.doc"), dir / "src/in/a.doc");
    EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
}

// Where the copies go, sub-folders and backups included, is pinned by the run driver's and the
// command's tests; here what they do not reach.
TEST_F(CopyStagingTest, AFolderCopyWithoutItsSubFolderFailsAndASeparatorAtTheEndIsKept) {
    const CopyStaging folder(request, dir / "src/in", true);
    EXPECT_EQ(staged(folder, dir / "src/in/a.doc"), std::nullopt);
    folder.createDestinationFolder();
    folder.createDestinationFolder();
    EXPECT_EQ(staged(folder, dir / "src/in/a.doc"), dir / "dest/in/a.doc");

    request.destinationFolder = dir / "dest/";
    EXPECT_EQ(staged(CopyStaging(request, dir / "src/in/a.doc", false), dir / "src/in/a.doc"),
              dir / "dest//a.doc");
    EXPECT_EQ(test::readFile(dir.path() / "dest" / "a.doc"), "A");
}

}  // namespace
}  // namespace quorvane::run
