#include "os/file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "test_support.h"

namespace quorvane::os {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;
using ::testing::UnorderedElementsAre;

std::vector<std::u16string> listAll(std::u16string_view folder) {
    FolderListing listing(folder);
    std::vector<std::u16string> names;
    for (auto name = listing.next(); !name.empty(); name = listing.next())
        names.push_back(name);
    return names;
}

TEST(FileSystem, ListingGivesOnlyOrdinaryFilesDirectlyInsideAndFailsOnWhatIsNoFolder) {
    TempDir dir;
    writeFile(dir.path() / "a.doc", "a");
    writeFile(dir.path() / "b.unknown", "b");
    writeFile(dir.path() / ".hidden.doc", "h");
    writeFile(dir.path() / "lu2207x3k9.tmp", "");  // what a killed office left
    writeFile(dir.path() / "lunch.tmp", "l");
    fs::create_directory(dir.path() / "sub");
    writeFile(dir.path() / "sub" / "deep.doc", "d");
    fs::create_symlink(dir.path() / "a.doc", dir.path() / "link.doc");
    fs::create_symlink(dir.path() / "sub", dir.path() / "link-to-folder");
    fs::create_symlink(dir.path() / "missing", dir.path() / "dangling.doc");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe").c_str(), 0600), 0);

    EXPECT_THAT(listAll(dir.str()),
                UnorderedElementsAre(u"a.doc", u"b.unknown", u"link.doc", u"lunch.tmp"));
    EXPECT_THROW(FolderListing(dir / "missing"), FileSystemError);
    EXPECT_THROW(FolderListing(dir / "a.doc"), FileSystemError);
}

TEST(FileSystem, NamesThatAreNotUtf8SurviveTheRoundTrip) {
    TempDir dir;
    const fs::path odd = dir.path() / std::string("caf\xE9 \xFF.doc");  // Latin-1 bytes
    writeFile(odd, "x");
    const auto names = listAll(dir.str());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(toNativePath(dir.str() + kPathSeparator + names[0]), odd);
    EXPECT_TRUE(copyFile(dir.str() + kPathSeparator + names[0], dir / "copy.doc"));
    EXPECT_EQ(fromNativePath(toNativePath(u"東京/𠮷.docx")), u"東京/𠮷.docx");
}

TEST(FileSystem, CopyReplacesWholeOrNotAtAllAndNeverOntoItself) {
    TempDir dir;
    writeFile(dir.path() / "src.doc", "new content");
    writeFile(dir.path() / "dst.doc", "old");
    ASSERT_TRUE(copyFile(dir / "src.doc", dir / "dst.doc"));
    EXPECT_EQ(test::readFile(dir.path() / "dst.doc"), "new content");

    writeFile(dir.path() / "locked.doc", "keep");
    fs::permissions(dir.path() / "locked.doc", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(copyFile(dir / "src.doc", dir / "locked.doc"));
    EXPECT_EQ(test::readFile(dir.path() / "locked.doc"), "keep");

    EXPECT_FALSE(copyFile(dir / "src.doc", dir / "missing-folder/x.doc"));
    EXPECT_FALSE(copyFile(dir / "missing.doc", dir / "x.doc"));
    EXPECT_FALSE(fs::exists(dir.path() / "x.doc"));
    // Copying into the folder the file came from must not quietly turn into editing the original.
    EXPECT_FALSE(copyFile(dir / "dst.doc", dir / "dst.doc"));
    EXPECT_FALSE(copyFile(dir / "dst.doc", dir.str() + u"//dst.doc"));
    EXPECT_EQ(test::readFile(dir.path() / "dst.doc"), "new content");
    // The copy of a read-only file can be saved.
    ASSERT_TRUE(copyFile(dir / "locked.doc", dir / "copy.doc"));
    EXPECT_NE(fs::status(dir.path() / "copy.doc").permissions() & fs::perms::owner_write,
              fs::perms::none);

    // Nothing half-written is left beside the destinations.
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().extension(), ".doc") << entry.path();
    }
}

TEST(FileSystem, CopyFitsTheLongestNameAndLeavesNothingWhenItFails) {
    TempDir dir;
    writeFile(dir.path() / "src.doc", "x");
    std::string longest;
    for (int i = 0; i < 83; ++i)
        longest += "あ";
    longest += "ab.doc";
    ASSERT_EQ(longest.size(), 255u);
    ASSERT_TRUE(copyFile(dir / "src.doc", dir / longest));
    EXPECT_EQ(test::readFile(dir.path() / longest), "x");

    // Refused once the new file exists: by the name's length, or by a read that fails.
    EXPECT_FALSE(copyFile(dir / "src.doc", dir / (longest + "x")));
    EXPECT_FALSE(copyFile(u"/proc/self/mem", dir / "mem.doc"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace quorvane::os
