#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "os/atomic_save.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "os/unique_handle.h"
#include "test_support.h"
#include "windows_calls.h"

namespace quorvane::os {
namespace {

namespace fs = std::filesystem;
using test::namesIn;
using test::readFile;
using test::TempDir;
using test::writeFile;
namespace calls = test::windows_calls;
using namespace std::chrono_literals;

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

// The name a run of the process pid gives its new files, up to the random part.
std::string newFileOf(DWORD pid) {
    return std::string(AtomicSave::kPrefix) + std::to_string(pid) + "-";
}

// A process of ours that has ended, for files it seems to have left.
inline DWORD endedProcess() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = L"cmd.exe /c exit";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        return 0;
    }
    WaitForSingleObject(process.hProcess, 30'000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
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

TEST(WindowsFileSystem, ListingLeavesOutFoldersHiddenSystemAndUnfinishedFiles) {
    TempDir dir;
    // A new file of a save in progress among them, and one that another program writes.
    for (const char* name : {"a.doc", "hidden.doc", "system.doc", "readonly.doc",
                             ".~quorvane-1-0123456789abcdef.tmp", ".~quorvane-1-0a.docx"})
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

// The new file is made where nothing was: a file planted under exactly the name it is given is
// never opened, and the next name is tried.
TEST(WindowsAtomicSave, AFilePlantedWhereTheNewFileGoesIsNeverWritten) {
    TempDir dir;
    writeFile(dir.path() / "src.doc", "new");
    const std::string planted = newFileOf(GetCurrentProcessId()) + "0101010101010101.tmp";
    writeFile(dir.path() / planted, "precious");
    calls::chooseRandomBytes(std::string(8, '\x01') + std::string(8, '\x02'));
    ASSERT_TRUE(copyFile(dir / "src.doc", dir / "dst.doc"));
    EXPECT_TRUE(calls::randomBytesTaken()) << "the planted name was never met";
    EXPECT_EQ(readFile(dir.path() / "dst.doc"), "new");
    EXPECT_EQ(readFile(dir.path() / planted), "precious");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{planted, "dst.doc", "src.doc"}));
}

// ReplaceFileW failing part way, or a document another program holds: the document as it was,
// and nothing of ours left beside it.
TEST(WindowsAtomicSave, AFailedSaveLeavesTheDocumentAsItWasAndNothingElse) {
    TempDir dir;
    const fs::path document = dir.path() / "a.doc";
    writeFile(document, "old");
    calls::replaceFileWith([](const auto& replaced, const auto&, const auto& backup, DWORD& error) {
        fs::rename(replaced, backup);
        error = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
        return false;
    });
    Status saved = writeWholeFile(dir / "a.doc", "new");
    calls::replaceFileWith(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(document), "old");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.doc"});

    const KernelHandle held(CreateFileW(document.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    saved = writeWholeFile(dir / "a.doc", "new");
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.reason().find(u"使用中"), std::u16string::npos) << toUtf8(saved.reason());
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.doc"});
}

// A copy that stands for a file keeps its attributes and times, and puts them back with its
// content.
TEST(WindowsAtomicSave, ACopyKeepsTheAttributesAndTimesOfTheFileItStandsFor) {
    TempDir dir;
    const fs::path original = dir.path() / "a.doc";
    writeFile(original, "original");
    const auto written = fs::last_write_time(original) - 24h;
    fs::last_write_time(original, written);
    setAttributes(original, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(keepCopy(dir / "a.doc", dir / "a.doc.kept"));
    setAttributes(original, FILE_ATTRIBUTE_NORMAL);
    writeFile(original, "changed");
    ASSERT_TRUE(putBack(dir / "a.doc.kept", dir / "a.doc", nullptr));
    for (const char* name : {"a.doc", "a.doc.kept"}) {
        EXPECT_EQ(readFile(dir.path() / name), "original") << name;
        EXPECT_EQ(GetFileAttributesW((dir.path() / name).c_str()),
                  DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE})
            << name;
        EXPECT_EQ(fs::last_write_time(dir.path() / name), written) << name;
        setAttributes(dir.path() / name, FILE_ATTRIBUTE_NORMAL);
    }
}

// What a killed run of ours left in a folder is removed before the next save there: ours by name,
// owner and age, of a process that has ended. A copy of a document's old content stays, as it
// may be the only whole one, and so does anything else.
TEST(WindowsAtomicSave, WhatAKilledRunLeftIsRemovedAndNothingElse) {
    TempDir dir;
    const std::string ended = newFileOf(endedProcess()) + "0123456789abcdef";
    std::vector<std::string> kept{ended + ".orig", ended + "-recent.tmp",
                                  newFileOf(GetCurrentProcessId()) + "0123456789abcdef.tmp",
                                  "other.doc"};
    for (const auto& name : {ended + ".tmp", ended + ".docx", std::string(".quorvane-0a.part"),
                             kept[0], kept[1], kept[2], kept[3]}) {
        writeFile(dir.path() / name, "half");
        if (!name.ends_with("recent.tmp"))
            fs::last_write_time(dir.path() / name, fs::file_time_type::clock::now() - 1h);
    }
    ASSERT_TRUE(writeWholeFile(dir / "dst.doc", "x"));
    kept.push_back("dst.doc");
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(namesIn(dir.path()), kept);
}

}  // namespace
}  // namespace quorvane::os
