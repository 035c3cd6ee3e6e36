#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cstdlib>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "automation/office/office_factory.h"
#include "document_reader.h"
#include "run/run_driver.h"
#include "test_support.h"

namespace quorvane::testing {

inline const std::filesystem::path kShared = QUORVANE_SHARED_TESTDATA;
inline const std::filesystem::path kOwnData = QUORVANE_OFFICE_TEST_DATA;

using TempFolder = test::TempDir;
using test::readFile;

// A writable copy of source in folder, under its own name or name.
std::filesystem::path copyInto(const TempFolder& folder, const std::filesystem::path& source,
                               const std::string& name = {});

// One part of a zip package (.docx, .odt), or nothing.
std::string partOf(const std::filesystem::path& package, const std::string& name);
// The text of a WordprocessingML part, each paragraph on a line, with the content of every content
// control between "⟦" and "⟧" and a field's result between "⟨" and "⟩".
std::string markedText(const std::string& xml);

// Processes this test process started that have not been reaped, whatever their program.
std::set<pid_t> childProcesses();
// Those of them that run the office (soffice.bin), but for the spared.
std::set<pid_t> officeChildren(const std::set<pid_t>& spared = {});
// Sends signal to the offices of this process that are not spared.
void signalOffices(const std::set<pid_t>& spared, int signal);

// Files an office or a save leaves beside documents: lock files, new versions not yet in place
// and the office's own temporary files.
std::vector<std::string> leftovers(const std::filesystem::path& folder);

// Private folders of the offices of this process, and the sockets of their pipes.
std::vector<std::string> privateFilesOfOurs();

#ifdef QUORVANE_BATCH
// Runs quorvane-batch in folder with arguments, its output in out.txt and err.txt there; before
// is put before the program (a change of user, of the environment). Returns the exit status.
inline int runBatch(const std::filesystem::path& folder, const std::string& arguments,
                    const std::string& before = {}) {
    const std::string command = "cd '" + folder.string() + "' && " + before +
                                " '" QUORVANE_BATCH "' " + arguments +
                                " </dev/null >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

// A whole run over path, as a user starts it: a run over originals is confirmed.
run::RunResult runOver(const std::filesystem::path& path, const run::RunRequest& request,
                       automation::ObjectFactory& factory, run::WidthForms widths = {});

// One office for the passes and one for reading back, for the whole test program that registers
// it; at its end neither is left, nor any private file of theirs.
class Offices final : public ::testing::Environment {
  public:
    static DocumentReader& reader() { return *reader_; }
    static automation::Variant& application() { return application_; }
    // .docx and .odt made from our own flat ODF fixture.
    static const std::vector<std::filesystem::path>& ownDocuments() { return own_; }

    void SetUp() override;
    void TearDown() override;

  private:
    static inline std::unique_ptr<DocumentReader> reader_;
    static inline std::unique_ptr<automation::office::OfficeFactory> factory_;
    static inline automation::Variant application_;
    static inline std::vector<std::filesystem::path> own_;
    static inline std::unique_ptr<TempFolder> ownFolder_;
};

// The document passes as a run applies them, the replacement in corner brackets, over the shared
// office unless told otherwise; failures collects why documents were not opened or saved.
struct Passes {
    run::RunRequest request;
    automation::Variant application = Offices::application();
    std::vector<std::u16string> failures;
    // Whether each call finishes the document, as a run does after its last pair.
    bool finish = true;

    void run(const std::filesystem::path& document, std::u16string find,
             const std::u16string& replacement);
    void regions(bool body, bool boxes, bool headers) { request.regions = {body, boxes, headers}; }
};

}  // namespace quorvane::testing
