#include "cli/terminal_message_box.h"

#include <string>

#include "cli/cli_messages.h"
#include "cli/program_name.h"
#include "os/text_encoding.h"

namespace quorvane::cli {

using os::toUtf8;

namespace {

std::string trimmed(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

TerminalMessageBox::TerminalMessageBox(std::istream& in, std::ostream& err, bool assumeYes)
    : in_(in), err_(err), assumeYes_(assumeYes) {}

int TerminalMessageBox::show(std::u16string_view text, std::u16string_view /*title*/, int flags) {
    if (flags & kYesNo)
        return ask(text);
    err_ << kProgramName << ": " << toUtf8(text) << '\n' << std::flush;
    return kOk;
}

int TerminalMessageBox::ask(std::u16string_view text) {
    if (assumeYes_)
        return kYes;
    err_ << toUtf8(text) << " [y/N] " << std::flush;
    std::string line;
    while (std::getline(in_, line)) {
        const std::string answer = trimmed(line);
        if (answer == "y" || answer == "Y" || answer == "yes" || answer == "はい")
            return kYes;
        if (answer.empty() || answer == "n" || answer == "N" || answer == "no" ||
            answer == "いいえ") {
            return kNo;
        }
        err_ << toUtf8(messages::kAnswerYesOrNo) << " [y/N] " << std::flush;
    }
    // The input ended without an answer: nothing may be edited on a guess.
    err_ << '\n';
    return kNo;
}

}  // namespace quorvane::cli
