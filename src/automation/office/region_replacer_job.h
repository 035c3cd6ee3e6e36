#pragma once

// The region replacer runs inside the office, loaded there from a library of its own: walking a
// paragraph's portions takes dozens of calls, each a round trip when made over the pipe and a
// plain function call when made in the office. The program loads the library into each office
// it starts and makes one job per loaded document, which keeps that document's outlines.
//
// A job's execute takes the named values below and answers a sequence of two: the number of
// occurrences replaced (long) and what the user should know of it (a sequence of strings).
namespace quorvane::automation::office::replacer_job {

inline constexpr char kImplementation[] = "org.quorvane.RegionReplacer";
// File name of the library, installed under the library folder in a folder of our own.
inline constexpr char kLibrary[] = "libquorvane_office_replacer.so";

inline constexpr char kDocument[] = "Document";
inline constexpr char kText[] = "Text";
inline constexpr char kFind[] = "Find";
inline constexpr char kReplacement[] = "Replacement";
inline constexpr char kMatchCase[] = "MatchCase";

}  // namespace quorvane::automation::office::replacer_job
