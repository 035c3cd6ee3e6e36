// quorvane-batch as a user runs it: the built binary, a real office, documents in a temp folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string quoted(const fs::path& path) {
    std::string out = "'";
    for (char c : path.native())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class QuorvaneBatchTest : public testing::Test {
  protected:
    QuorvaneBatchTest() {
        std::random_device rd;
        dir_ = fs::temp_directory_path() /
               ("quorvane-batch-e2e-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(dir_ / "docs");
        fs::create_directories(dir_ / "out");
    }
    ~QuorvaneBatchTest() override { fs::remove_all(dir_); }

    // A headless office with a profile of its own, so that no user's office is disturbed.
    int office(const std::string& arguments) const {
        const std::string command = "soffice -env:UserInstallation=file://" +
                                    (dir_ / "profile").native() + " --headless --norestore " +
                                    arguments + " >/dev/null 2>&1";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // The document converted by the office to format into folder.
    fs::path convert(const fs::path& document, const std::string& format,
                     const fs::path& folder) const {
        EXPECT_EQ(office("--convert-to " + format + " --outdir " + quoted(folder) + " " +
                         quoted(document)),
                  0);
        return folder / (document.stem().string() + "." + format);
    }

    fs::path dir_;
};

// Body, header, text box and table cell of the sample each hold foo after a label.
TEST_F(QuorvaneBatchTest, CopiesOfAFolderAreReplacedADamagedOneReportedAndOriginalsKept) {
    const fs::path sample =
        convert(fs::path(QUORVANE_OFFICE_TEST_DATA) / "sample.fodt", "docx", dir_ / "docs");
    const std::string original = readFile(sample);
    std::ofstream(dir_ / "docs/damaged.docx", std::ios::binary)
        << original.substr(0, original.size() / 3);

    const std::string command = "cd " + quoted(dir_) + " && " + quoted(QUORVANE_BATCH) +
                                " --copy-to out --pair foo bar docs/ </dev/null >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << readFile(dir_ / "err.txt");
    const std::string out = readFile(dir_ / "out.txt");
    EXPECT_TRUE(out.starts_with((dir_ / "out/docs/damaged.docx").native() + "\t")) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    const std::string copy = readFile(convert(dir_ / "out/docs/sample.docx", "fodt", dir_));
    for (const char* text :
         {"BODY-end 「bar」", "HDR-own 「bar」", "TEXTBOX-own 「bar」", "CELL-own 「bar」"})
        EXPECT_NE(copy.find(text), std::string::npos) << text;
    EXPECT_EQ(readFile(sample), original);
}

}  // namespace
