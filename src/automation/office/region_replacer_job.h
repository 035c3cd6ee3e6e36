#pragma once

// The region replacer runs inside the office, loaded there from a library of its own: walking a
// paragraph's portions, or a document's shapes and page styles, takes dozens of calls, each a
// round trip when made over the pipe and a plain function call when made in the office. The
// program loads the library into each office it starts and makes one job per loaded document,
// which keeps that document's outlines.
//
// A job's execute takes the named values below, the document and an action among them:
// - kReplace, with the text, find text, replacement and case, answers a sequence of two: the
//   number of occurrences replaced (long) and what the user should know of it (strings);
// - kReadRegions answers a sequence of three: the shape texts, as shapeTexts() gives them, then
//   the header texts and the footer texts of each section, as sectionTexts() gives them;
// - kKeepInputFieldsWhole, before the document is written as .docx, answers a sequence of two
//   longs: the input fields that came from content controls and those that were fields, turned
//   into content controls as keepInputFieldsWhole() does it;
// - kCheckSavedFile, with the URL, filter and filter options of the file the document was just
//   written to, reads that file back and answers what of the document's text it lacks: a sequence
//   of string sequences, each a region's name followed by the texts it lost (lostText()).
namespace quorvane::automation::office::replacer_job {

inline constexpr char kImplementation[] = "org.quorvane.RegionReplacer";
// File name of the library, installed under the library folder in a folder of our own.
inline constexpr char kLibrary[] = "libquorvane_office_replacer.so";

inline constexpr char kDocument[] = "Document";
inline constexpr char kAction[] = "Action";
inline constexpr char kReplace[] = "Replace";
inline constexpr char kReadRegions[] = "ReadRegions";
inline constexpr char kKeepInputFieldsWhole[] = "KeepInputFieldsWhole";
inline constexpr char kCheckSavedFile[] = "CheckSavedFile";
inline constexpr char kUrl[] = "Url";
inline constexpr char kFilter[] = "Filter";
inline constexpr char kFilterOptions[] = "FilterOptions";
inline constexpr char kText[] = "Text";
inline constexpr char kFind[] = "Find";
inline constexpr char kReplacement[] = "Replacement";
inline constexpr char kMatchCase[] = "MatchCase";

}  // namespace quorvane::automation::office::replacer_job
