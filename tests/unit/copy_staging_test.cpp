#include "batch/copy_staging.h"

#include <gtest/gtest.h>

#include "common/plain_form_state.h"
#include "test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(CopyStaging, PathPiecesAreFoundFromTheEnd) {
    EXPECT_EQ(CopyStaging::OP_file(u"/data/in/a.doc"), u"a.doc");
    EXPECT_EQ(CopyStaging::OP_folderfile(u"/data/in/a.doc"), u"in/a.doc");
    EXPECT_EQ(CopyStaging::OP_folder(u"/data/in"), u"in");
    EXPECT_EQ(CopyStaging::OP_file(u"/data/東京/𠮷.doc"), u"𠮷.doc");
    EXPECT_EQ(CopyStaging::OP_folderfile(u"/data/東京/𠮷.doc"), u"東京/𠮷.doc");

    EXPECT_EQ(CopyStaging::OP_file(u"/data/in/"), u"");
    EXPECT_EQ(CopyStaging::OP_file(u"a.doc"), u"");
    EXPECT_EQ(CopyStaging::OP_folderfile(u"/a.doc"), u"");
    EXPECT_EQ(CopyStaging::OP_folderfile(u"in/a.doc"), u"");
    EXPECT_EQ(CopyStaging::OP_folder(u""), u"");
}

class CopyStagingTest : public ::testing::Test {
  protected:
    TempDir dir;
    PlainFormState form;
    TargetList targets;
    CopyStaging staging{form, targets};

    void SetUp() override {
        fs::create_directories(dir.path() / "src" / "in");
        fs::create_directories(dir.path() / "dest" / "in");
        test::writeFile(dir.path() / "src" / "in" / "a.doc", "A");
        form.dir1 = dir / "dest";
    }
};

TEST_F(CopyStagingTest, EditingOriginalsTouchesNothing) {
    form.option1 = FormState::kNotSelected;
    form.option2 = FormState::kSelected;
    form.dir1 = dir / "nowhere";
    EXPECT_EQ(staging.fileconv(dir / "src/in/a.doc"), dir / "src/in/a.doc");
    EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
}

TEST_F(CopyStagingTest, AFileGoesIntoTheFolderItselfAndAFoldersFilesIntoItsSubFolder) {
    targets.folderFlag = TargetList::kSingleFile;
    EXPECT_EQ(staging.fileconv(dir / "src/in/a.doc"), dir / "dest/a.doc");
    EXPECT_EQ(test::readFile(dir.path() / "dest" / "a.doc"), "A");

    targets.folderFlag = TargetList::kFolder;
    EXPECT_EQ(staging.fileconv(dir / "src/in/a.doc"), dir / "dest/in/a.doc");
    EXPECT_EQ(test::readFile(dir.path() / "dest" / "in" / "a.doc"), "A");
}

TEST_F(CopyStagingTest, ASameNamedCopyIsOverwritten) {
    test::writeFile(dir.path() / "dest" / "a.doc", "older copy");
    EXPECT_EQ(staging.fileconv(dir / "src/in/a.doc"), dir / "dest/a.doc");
    EXPECT_EQ(test::readFile(dir.path() / "dest" / "a.doc"), "A");
}

TEST_F(CopyStagingTest, ADestinationEndingInTheSeparatorIsJoinedAsItStands) {
    form.dir1 = dir / "dest/";
    EXPECT_EQ(staging.fileconv(dir / "src/in/a.doc"), dir / "dest//a.doc");
    EXPECT_TRUE(fs::exists(dir.path() / "dest" / "a.doc"));
}

TEST_F(CopyStagingTest, AFailedCopyAnswersEmpty) {
    targets.folderFlag = TargetList::kFolder;
    form.dir1 = dir / "missing";
    EXPECT_EQ(staging.fileconv(dir / "src/in/a.doc"), u"");
}

TEST_F(CopyStagingTest, FolderCreationIsSilent) {
    CopyStaging::新フォルダー作成(dir / "dest/new");
    EXPECT_TRUE(fs::is_directory(dir.path() / "dest" / "new"));
    CopyStaging::新フォルダー作成(dir / "dest/new");
    CopyStaging::新フォルダー作成(dir / "no/parent/here");
    EXPECT_FALSE(fs::exists(dir.path() / "no"));
}

}  // namespace
}  // namespace quorvane
