#include "office_test_support.h"

#include <signal.h>
#include <stdlib.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

#include <fstream>
#include <functional>
#include <string_view>

#include <pugixml.hpp>

#include "os/file_system.h"
#include "os/private_folder.h"
#include "run/document_passes.h"

namespace quorvane::testing {

namespace fs = std::filesystem;

fs::path copyInto(const TempFolder& folder, const fs::path& source, const std::string& name) {
    const fs::path target = folder.path() / (name.empty() ? source.filename() : fs::path(name));
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    return target;
}

std::string partOf(const fs::path& package, const std::string& name) {
    // Read from the pipe: a file beside the package would be one more document in its folder.
    const std::string command = "unzip -p '" + package.string() + "' '" + name + "'";
    FILE* const out = ::popen(command.c_str(), "r");
    if (!out)
        return {};
    std::string bytes;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        bytes.append(buffer, n);
    return ::pclose(out) == 0 ? bytes : std::string();
}

std::string markedText(const std::string& xml) {
    pugi::xml_document document;
    document.load_string(xml.c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
    std::string text;
    const std::function<void(const pugi::xml_node&)> add = [&](const pugi::xml_node& node) {
        const std::string_view name = node.name();
        const std::string_view field = node.attribute("w:fldCharType").value();
        if (name == "w:t")
            text += node.child_value();
        text += name == "w:sdtContent" ? "⟦"
                : field == "separate"  ? "⟨"
                : field == "end"       ? "⟩"
                                       : "";
        for (const auto& child : node.children())
            add(child);
        text += name == "w:sdtContent" ? "⟧" : name == "w:p" ? "\n" : "";
    };
    add(document);
    return text;
}

namespace {

std::set<pid_t> children(bool officeOnly, const std::set<pid_t>& spared) {
    std::set<pid_t> found;
    // Each thread lists the children it started, those not yet reaped among them.
    for (const auto& thread : fs::directory_iterator("/proc/self/task")) {
        std::ifstream list(thread.path() / "children");
        for (pid_t pid = 0; list >> pid;) {
            std::string program;
            std::ifstream(fs::path("/proc") / std::to_string(pid) / "comm") >> program;
            if (!spared.contains(pid) && (!officeOnly || program == "soffice.bin"))
                found.insert(pid);
        }
    }
    return found;
}

}  // namespace

std::set<pid_t> childProcesses() {
    return children(false, {});
}

std::set<pid_t> officeChildren(const std::set<pid_t>& spared) {
    return children(true, spared);
}

void signalOffices(const std::set<pid_t>& spared, int signal) {
    for (const pid_t pid : officeChildren(spared))
        ::kill(pid, signal);
}

std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".~lock.") || name.starts_with(".~quorvane-") ||
            (name.starts_with("lu") && name.ends_with(".tmp")))
            found.push_back(name);
    }
    return found;
}

std::vector<std::string> privateFilesOfOurs() {
    std::vector<std::string> found;
    std::error_code error;
    const std::string prefix = std::to_string(::getpid()) + "-";
    // The socket of the pipe we talk to the office through.
    const std::string socket = "OSL_PIPE_" + std::to_string(::getuid()) + "_quorvane-" + prefix;
    for (const auto& [folder, start] :
         {std::pair{os::private_folders::root(), prefix}, {fs::path("/tmp"), socket}}) {
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            if (entry.path().filename().string().starts_with(start))
                found.push_back(entry.path().filename().string());
        }
    }
    return found;
}

run::RunResult runOver(const fs::path& path, const run::RunRequest& request,
                       automation::ObjectFactory& factory, run::WidthForms widths) {
    test::ScriptedMessageBox messages;  // says yes to the confirmation of a run over originals
    return run::RunDriver(messages, factory, std::move(widths))
        .run(request, os::fromNativePath(path));
}

void Offices::SetUp() {
    reader_ = std::make_unique<DocumentReader>();
    factory_ = std::make_unique<automation::office::OfficeFactory>();
    application_ = factory_->create(u"Word.Application");
    ownFolder_ = std::make_unique<TempFolder>();
    for (const auto& [name, filter] :
         {std::pair{"sample.docx", u"MS Word 2007 XML"}, {"sample.odt", u"writer8"}}) {
        own_.push_back(ownFolder_->path() / name);
        reader_->convert(kOwnData / "sample.fodt", own_.back(), filter);
    }
}

void Offices::TearDown() {
    application_.call(u"Quit");
    application_ = automation::Variant();
    factory_.reset();
    reader_.reset();
    ownFolder_.reset();
    EXPECT_TRUE(officeChildren().empty());
    EXPECT_TRUE(privateFilesOfOurs().empty());
}

void Passes::run(const fs::path& document, std::u16string find, const std::u16string& replacement) {
    const run::WidthForms widths;
    const automation::word::Application word(application);
    run::DocumentPasses passes(request, word, widths);
    const std::u16string path = os::fromNativePath(document);
    const auto result = passes.replaceInDocument(path, find, u"「" + replacement + u"」");
    if (result.failure)
        failures.push_back(*result.failure);
    if (!finish)
        return;
    if (const auto finished = passes.finishDocument(path); finished.failure)
        failures.push_back(*finished.failure);
}

}  // namespace quorvane::testing
