#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "automation/fake/fake_word_processor.h"
#include "os/file_system.h"
#include "os/message_box.h"

namespace quorvane::test {

// A folder of its own for one test, removed with everything in it afterwards.
class TempDir final {
  public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("quorvane-unit-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The program's form of a path below this folder; relative uses '/', as the system's own
    // separator where that is another.
    std::u16string operator/(const std::string& relative) const {
        return os::fromNativePath((path_ / relative).make_preferred());
    }
    std::u16string str() const { return os::fromNativePath(path_); }

  private:
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in a folder, sorted.
inline std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

#ifndef _WIN32
// A process of ours that has ended, for files it seems to have left.
inline pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}
#endif

// Saves a fake document of these parts at path.
inline void writeDocument(const std::u16string& path, const std::u16string& body,
                          std::deque<automation::fake::FakeDocument::Shape> shapes = {},
                          std::deque<automation::fake::FakeDocument::Section> sections = {}) {
    automation::fake::FakeDocument document;
    document.body = body;
    document.shapes = std::move(shapes);
    document.sections = std::move(sections);
    document.save(path);
}

inline automation::fake::FakeDocument readDocument(const std::u16string& path) {
    return automation::fake::FakeDocument::load(path).value();
}

// Answers message boxes from a script and remembers what was asked.
class ScriptedMessageBox final : public os::MessageBox {
  public:
    struct Shown {
        std::u16string text;
        std::u16string title;
        int flags;
    };

    std::deque<int> answers;
    std::vector<Shown> shown;

    int show(std::u16string_view text, std::u16string_view title, int flags) override {
        shown.push_back({std::u16string(text), std::u16string(title), flags});
        if (answers.empty())
            return (flags & kYesNo) ? kYes : kOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace quorvane::test
