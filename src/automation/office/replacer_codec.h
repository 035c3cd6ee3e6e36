#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <rtl/ustring.hxx>

#include "automation/office/document_structure.h"

// The replacer runs inside the office, loaded there from a library of its own (replacer/):
// walking a paragraph's portions, or a document's shapes and page styles, takes dozens of calls,
// each a round trip when made over the pipe and a plain function call when made in the office.
// The program loads the library into each office it starts and makes one job per loaded document,
// which keeps that document's outlines.
//
// This is the boundary between the two: what a job is asked, what it answers, and how both travel
// as UNO values. Both sides are built from this one file, so that neither can read a message the
// other did not write. The version, which the build sets, is a digest of the files that make up
// the boundary: a library from a build where they differed bears another name, and the program
// refuses it when the office starts.
namespace quorvane::automation::office::replacer {

// File name of the library, installed under the library folder in a folder of our own.
inline constexpr char kLibrary[] = "libquorvane_office_replacer.so";
// The name every build of the library answers to. The factory it gives back bears the
// implementation name of the library's own build.
inline constexpr char kFamily[] = "org.quorvane.RegionReplacer";
// This build's implementation name: the family's, and the version of the boundary.
const std::string& implementationName();

// The job's actions, each with its answer.

// Takes a document just loaded, answering in one call what the program needs to know of it. In a
// word-processing document nobody undoes or looks at what is changed, so neither is recorded or
// shown from then on; one of another kind, which the program refuses, is left as it is.
struct TakeDocument {
    struct Answer {
        // The filter it was loaded with, and that filter's options.
        ::rtl::OUString filter;
        ::rtl::OUString filterOptions;
        // A word-processing document: neither a web page nor a master document.
        bool wordProcessing = false;
        // It has input fields, which a save as .docx may garble (replacer/input_fields.h). A
        // replacement makes none.
        bool inputFields = false;
    };
};

// Replaces in text, one of the document's regions, as RegionReplacer does. First, when screen is
// given (shape and section texts of the document), tells which of them may hold find: a text
// answered false holds nothing a Replace of find would replace, so that it need not be asked for.
// One call instead of one for each text, most of which hold no match.
struct Replace {
    TextRef text;
    std::u16string find;
    std::u16string replacement;
    bool matchCase = false;
    std::vector<TextRef> screen;
    struct Answer {
        int count = 0;
        // What the user should know of the replacements.
        std::vector<std::u16string> problems;
        // One for each text screened, in their order, as they were before the replacement.
        std::vector<bool> mayMatch;
    };
};

// The document's shape texts and sections (replacer/document_regions.h).
struct ReadRegions {
    struct Answer {
        std::vector<TextRef> shapes;
        std::vector<SectionTexts> sections;
    };
};

// Before the document is written as .docx, turns the input fields a save would garble into content
// controls (replacer/input_fields.h).
struct KeepInputFieldsWhole {
    struct Answer {
        // Those that came from content controls, and those that were fields.
        int controls = 0;
        int fields = 0;
    };
};

// Reads back the file the document was just written to, with the filter and filter options it
// was written with, and answers what of the document's text it lacks
// (replacer/saved_text_check.h).
struct CheckSavedFile {
    ::rtl::OUString url;
    ::rtl::OUString filter;
    ::rtl::OUString filterOptions;
    struct Answer {
        std::vector<LostText> lost;
    };
};

using Action =
    std::variant<TakeDocument, Replace, ReadRegions, KeepInputFieldsWhole, CheckSavedFile>;

// The program's side: the arguments of a job's execute, and the answer it returned, or nothing
// when the answer is not of the action's shape.
css::uno::Sequence<css::beans::NamedValue> encodeRequest(
    const css::uno::Reference<css::frame::XModel>& document, const Action& action);
template <typename A>
std::optional<typename A::Answer> decodeAnswer(const css::uno::Any& answer);

// The office's side: the document and the action, or nothing when the arguments name no action
// or lack what it needs; and the answer to return.
struct Request {
    css::uno::Reference<css::frame::XModel> document;
    Action action;
};
std::optional<Request> decodeRequest(const css::uno::Sequence<css::beans::NamedValue>& arguments);
css::uno::Any encodeAnswer(const TakeDocument::Answer& answer);
css::uno::Any encodeAnswer(const Replace::Answer& answer);
css::uno::Any encodeAnswer(const ReadRegions::Answer& answer);
css::uno::Any encodeAnswer(const KeepInputFieldsWhole::Answer& answer);
css::uno::Any encodeAnswer(const CheckSavedFile::Answer& answer);

template <>
std::optional<TakeDocument::Answer> decodeAnswer<TakeDocument>(const css::uno::Any& answer);
template <>
std::optional<Replace::Answer> decodeAnswer<Replace>(const css::uno::Any& answer);
template <>
std::optional<ReadRegions::Answer> decodeAnswer<ReadRegions>(const css::uno::Any& answer);
template <>
std::optional<KeepInputFieldsWhole::Answer> decodeAnswer<KeepInputFieldsWhole>(
    const css::uno::Any& answer);
template <>
std::optional<CheckSavedFile::Answer> decodeAnswer<CheckSavedFile>(const css::uno::Any& answer);

}  // namespace quorvane::automation::office::replacer
