#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XNameAccess.hpp>

#include "automation/office/office_factory.h"
#include "automation/office/office_process.h"
#include "office_test_support.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "run/run_driver.h"
#include "run/run_error.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using automation::office::OfficeFactory;
using rtl::OUString;
using testing::copyInto;
using testing::kOwnData;
using testing::TempFolder;

// A program standing in for the office.
fs::path script(const fs::path& folder, const std::string& name, const std::string& body) {
    const fs::path path = folder / name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// An office that is missing, exits at once, never answers, cannot load our replacer or would run
// one of another build ends the run before any document is copied or opened, and leaves no
// process or private folder behind.
TEST(OfficeStart, AnOfficeThatCannotStartEndsTheRunBeforeAnyDocumentIsTouched) {
    TempFolder folder;
    const fs::path documents = folder.path() / "documents";
    fs::create_directory(documents);
    fs::copy_file(kOwnData / "sample.fodt", documents / "a.fodt");
    fs::copy_file(kOwnData / "sample.fodt", documents / "b.fodt");
    const std::string before = testing::readFile(documents / "a.fodt");
    const fs::path copies = folder.path() / "copies";
    fs::create_directory(copies);

    // The real office for an empty program.
    const struct {
        fs::path program;
        fs::path replacer;
        std::u16string cause;
    } offices[] = {
        {folder.path() / "no-such-office", {}, u"プログラムが見つかりません"},
        {script(folder.path(), "exits", "exit 1"), {}, u"起動してすぐに終了しました"},
        {script(folder.path(), "hangs", "exec sleep 600"), {}, u"応答がありません"},
        {{}, folder.path() / "no-such-replacer.so", u"置換の部品を読み込めません"},
        {{},
         QUORVANE_REPLACER_OF_ANOTHER_BUILD,
         u"置換の部品がこのプログラムと別の版のものです。このプログラムをインストールし直して"
         u"ください。"},
    };
    for (const auto& [program, replacer, cause] : offices) {
        SCOPED_TRACE(program.filename().string() + replacer.filename().string());
        OfficeFactory::Options options;
        options.program = program;
        options.replacer = replacer;
        options.startTimeout = program.empty() ? 60s : 2s;
        OfficeFactory factory(options);
        run::RunRequest request;
        request.destinationFolder = os::fromNativePath(copies);
        request.pairs[0] = {u"foo", u"baz"};
        try {
            testing::runOver(documents, request, factory);
            ADD_FAILURE() << "the run went on without an office";
        } catch (const run::RunError& e) {
            EXPECT_NE(e.message().find(u"ワープロ（LibreOffice）を起動できませんでした"),
                      std::u16string::npos);
            EXPECT_NE(e.message().find(cause), std::u16string::npos);
        }
        EXPECT_EQ(std::count_if(fs::recursive_directory_iterator(copies), {},
                                [](const auto& entry) { return entry.is_regular_file(); }),
                  0);
        EXPECT_EQ(testing::readFile(documents / "a.fodt"), before);
        EXPECT_TRUE(testing::childProcesses().empty());
        EXPECT_TRUE(testing::privateFilesOfOurs().empty());
    }
}

// Once a run has its office, an office that dies and cannot be started again fails only the
// documents met meanwhile: the run goes on and uses the office again once it starts.
TEST(OfficeStart, AnOfficeThatCannotRestartMidRunFailsOnlyTheDocumentsAtHand) {
    TempFolder folder;
    const fs::path broken = folder.path() / "broken";
    OfficeFactory::Options options;
    options.program = script(folder.path(), "office",
                             "[ -e '" + broken.string() + "' ] && exit 1\nexec '" +
                                 QUORVANE_LIBREOFFICE_PROGRAM "/soffice.bin' \"$@\"");
    OfficeFactory factory(options);
    testing::Passes passes;
    passes.application = factory.create(u"Word.Application");
    const auto run = [&](const char* name) {
        const fs::path document = copyInto(folder, kOwnData / "sample.fodt", name);
        passes.run(document, u"foo", u"baz");
        return testing::readFile(document).find("BODY-end 「baz」") != std::string::npos;
    };
    EXPECT_TRUE(run("first.fodt"));
    std::ofstream(broken) << "";
    testing::signalOffices({}, SIGKILL);
    EXPECT_FALSE(run("second.fodt"));
    EXPECT_FALSE(run("third.fodt"));
    fs::remove(broken);
    EXPECT_TRUE(run("fourth.fodt"));
    passes.application.call(u"Quit");
    passes.application = automation::Variant();

    // The second document may meet the killed office before its death is known.
    const auto& failures = passes.failures;
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_TRUE(failures[0].starts_with(u"開けませんでした：")) << os::toUtf8(failures[0]);
    EXPECT_TRUE(failures[1].starts_with(
        u"開けませんでした：ワープロ（LibreOffice）を起動できませんでした：起動してすぐに"));
    EXPECT_TRUE(testing::childProcesses().empty());
    EXPECT_TRUE(testing::privateFilesOfOurs().empty());
}

// An office is renewed after serving its share of documents, between two of them: every document
// of a run longer than that share is replaced, and no renewed office is left behind.
TEST(OfficeStart, AnOfficeIsRenewedBetweenDocumentsAfterItsShare) {
    TempFolder folder;
    const fs::path starts = folder.path() / "starts";
    OfficeFactory::Options options;
    options.program = script(folder.path(), "office",
                             "echo >> '" + starts.string() + "'\nexec '" +
                                 QUORVANE_LIBREOFFICE_PROGRAM "/soffice.bin' \"$@\"");
    options.recycleAfterDocuments = 2;
    OfficeFactory factory(options);
    const fs::path documents = folder.path() / "documents";
    fs::create_directory(documents);
    for (const char* name : {"a.fodt", "b.fodt", "c.fodt", "d.fodt", "e.fodt"})
        fs::copy_file(kOwnData / "sample.fodt", documents / name);
    run::RunRequest request;
    request.mode = run::RunRequest::Mode::EditOriginals;
    request.pairs[0] = {u"foo", u"baz"};
    const auto result = testing::runOver(documents, request, factory);

    EXPECT_TRUE(result.allProcessed());
    for (const auto& entry : fs::directory_iterator(documents))
        EXPECT_NE(testing::readFile(entry.path()).find("BODY-end 「baz」"), std::string::npos);
    const std::string started = testing::readFile(starts);
    // Three offices for five documents, two each; an office with a new profile asks once to be
    // started again.
    EXPECT_EQ(std::count(started.begin(), started.end(), '\n'), 3 * 2);
    EXPECT_TRUE(testing::childProcesses().empty());
}

// A headless office never records the version it last ran: unless the profile states it, the
// office takes itself for upgraded at every start and spends seconds on its first-run checks.
TEST(OfficeStart, TheProfileIsOfTheRunningVersion) {
    automation::office::OfficeProcess office({});
    const auto& context = office.context();
    const auto provider = css::configuration::theDefaultProvider::get(context);
    const css::uno::Any path(css::beans::NamedValue(
        "nodepath", css::uno::Any(OUString("/org.openoffice.Setup/Product"))));
    const css::uno::Reference<css::container::XNameAccess> product(
        provider->createInstanceWithArguments("com.sun.star.configuration.ConfigurationAccess",
                                              css::uno::Sequence<css::uno::Any>(&path, 1)),
        css::uno::UNO_QUERY_THROW);
    OUString running;
    OUString last;
    product->getByName("ooSetupVersion") >>= running;
    product->getByName("ooSetupLastVersion") >>= last;
    EXPECT_FALSE(running.isEmpty());
    EXPECT_EQ(last, running);
}

}  // namespace
}  // namespace quorvane
