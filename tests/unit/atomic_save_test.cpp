// The one way files are written, through copy staging's copy: the system calls as the code makes
// them (tests/unit/system_calls.h).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "os/atomic_save.h"
#include "os/file_system.h"
#include "system_calls.h"
#include "test_support.h"

namespace quorvane::os {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::namesIn;
using test::readFile;
using test::TempDir;
using test::writeFile;
namespace calls = test::system_calls;
using calls::isNewFile;

// Written, on the disk and closed before it takes the destination's name: a crash between any two
// steps leaves the old version or the new one whole.
TEST(AtomicSave, TheNewVersionIsWrittenFlushedAndClosedBeforeItTakesTheName) {
    TempDir dir;
    writeFile(dir.path() / "src.doc", std::string(300'000, 'n'));
    writeFile(dir.path() / "dst.doc", "old");
    calls::Recording recording(isNewFile);
    ASSERT_TRUE(copyFile(dir / "src.doc", dir / "dst.doc"));
    EXPECT_EQ(calls::outOfOrder(recording.calls(), "dst.doc"), "");
    EXPECT_EQ(readFile(dir.path() / "dst.doc"), std::string(300'000, 'n'));
}

// A flush the disk refuses fails the copy in plain words and leaves the old version, whether it
// is replaced by name or, having a second name, written over.
TEST(AtomicSave, AFlushThatFailsLeavesTheOldVersionAndNothingElse) {
    TempDir dir;
    writeFile(dir.path() / "src.doc", "new");
    writeFile(dir.path() / "dst.doc", "old");
    calls::failNext("fsync", isNewFile, EIO);
    const Status copied = copyFile(dir / "src.doc", dir / "dst.doc");
    EXPECT_FALSE(copied);
    EXPECT_NE(copied.reason().find(u"入出力エラー"), std::u16string::npos);
    EXPECT_EQ(readFile(dir.path() / "dst.doc"), "old");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"dst.doc", "src.doc"}));

    fs::create_hard_link(dir.path() / "dst.doc", dir.path() / "other-name.doc");
    const auto before = namesIn(dir.path());
    // Its content is written over once the new version is on disk; the old content comes back
    // from its copy when that fails.
    calls::failNext(
        "fsync", [](std::string_view name) { return name == "dst.doc"; }, EIO);
    EXPECT_FALSE(copyFile(dir / "src.doc", dir / "dst.doc"));
    EXPECT_EQ(readFile(dir.path() / "dst.doc"), "old");
    EXPECT_EQ(fs::hard_link_count(dir.path() / "dst.doc"), 2u);
    EXPECT_EQ(namesIn(dir.path()), before);
}

// Links planted at exactly the names the new file is given, one to a file and one to where a file
// would be made, are never written through: the next name is tried.
TEST(AtomicSave, ALinkPlantedWhereTheNewFileGoesIsNeverWrittenThrough) {
    TempDir dir;
    writeFile(dir.path() / "src.doc", "new");
    writeFile(dir.path() / "victim", "precious");
    const std::string prefix = std::string(AtomicSave::kPrefix) + std::to_string(::getpid()) + "-";
    fs::create_symlink(dir.path() / "victim", dir.path() / (prefix + "0101010101010101.tmp"));
    fs::create_symlink(dir.path() / "made-through-link",
                       dir.path() / (prefix + "0202020202020202.tmp"));
    calls::chooseRandomBytes(std::string(8, '\x01') + std::string(8, '\x02'));
    ASSERT_TRUE(copyFile(dir / "src.doc", dir / "dst.doc"));
    EXPECT_TRUE(calls::randomBytesTaken()) << "the planted names were never met";
    EXPECT_EQ(readFile(dir.path() / "dst.doc"), "new");
    EXPECT_EQ(readFile(dir.path() / "victim"), "precious");
    EXPECT_FALSE(fs::exists(dir.path() / "made-through-link"));
}

// What a killed run of ours left in a folder is removed before the next save there: ours by name,
// owner and age, of a process that has ended. A copy of a document's old content stays, as it
// may be the only whole one, and so does anything else.
TEST(AtomicSave, WhatAKilledRunLeftIsRemovedAndNothingElse) {
    TempDir dir;
    const std::string ended = std::string(AtomicSave::kPrefix) +
                              std::to_string(test::endedProcess()) + "-0123456789abcdef";
    std::vector<std::string> kept{ended + ".orig", ended + "-recent.tmp", ended + "-theirs.tmp",
                                  "src.doc"};
    for (const auto& name : kept)
        writeFile(dir.path() / name, "half");
    writeFile(dir.path() / (ended + ".tmp"), "half");
    fs::create_symlink(dir.path() / "src.doc", dir.path() / (ended + "-link.tmp"));
    if (::geteuid() != 0 || ::chown((dir.path() / kept[2]).c_str(), 65534, 65534) != 0)
        kept.erase(kept.begin() + 2);
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (!entry.path().string().ends_with("recent.tmp") && !fs::is_symlink(entry.path()))
            fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - 1h);
    }
    ASSERT_TRUE(copyFile(dir / "src.doc", dir / "dst.doc"));
    kept.insert(kept.end(), {ended + "-link.tmp", "dst.doc"});
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(namesIn(dir.path()), kept);
}

}  // namespace
}  // namespace quorvane::os
