#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "os/file_system.h"
#include "test_support.h"

namespace quorvane::os {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

void setAttributes(const fs::path& path, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
}

std::vector<std::u16string> listAll(std::u16string_view folder) {
    FolderListing listing(folder);
    std::vector<std::u16string> names;
    for (auto name = listing.next(); !name.empty(); name = listing.next())
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WindowsFileSystem, PathsAreNativeWithDriveLettersAndJapaneseNames) {
    TempDir dir;
    const std::u16string folder = dir.str();
    EXPECT_EQ(folder[1], u':') << "a drive letter";
    EXPECT_EQ(folder.find(u'/'), std::u16string::npos);
    const std::u16string name = folder + u"\\報告書 𠮷.doc";
    writeFile(toNativePath(name), "x");
    EXPECT_EQ(fromNativePath(toNativePath(name)), name);
    EXPECT_EQ(listAll(folder), std::vector<std::u16string>{u"報告書 𠮷.doc"});
    EXPECT_TRUE(copyFile(name, folder + u"\\写し.doc"));
    EXPECT_EQ(test::readFile(toNativePath(folder + u"\\写し.doc")), "x");
}

TEST(WindowsFileSystem, ListingLeavesOutFoldersHiddenAndSystemFiles) {
    TempDir dir;
    for (const char* name : {"a.doc", "hidden.doc", "system.doc", "readonly.doc"})
        writeFile(dir.path() / name, "x");
    fs::create_directory(dir.path() / "sub");
    setAttributes(dir.path() / "hidden.doc", FILE_ATTRIBUTE_HIDDEN);
    setAttributes(dir.path() / "system.doc", FILE_ATTRIBUTE_SYSTEM);
    setAttributes(dir.path() / "readonly.doc", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(listAll(dir.str()), (std::vector<std::u16string>{u"a.doc", u"readonly.doc"}));
    setAttributes(dir.path() / "readonly.doc", FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(listAll(dir.str() + u"\\sub").empty());
    EXPECT_THROW(FolderListing(dir.str() + u"\\missing"), FileSystemError);
    EXPECT_THROW(FolderListing(dir.str() + u"\\a.doc"), FileSystemError);
}

}  // namespace
}  // namespace quorvane::os
