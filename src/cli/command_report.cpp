#include "cli/command_report.h"

#include <cstdio>
#include <ctime>

#include "cli/cli_messages.h"
#include "os/file_system.h"
#include "os/text_encoding.h"
#include "os/version.h"

namespace quorvane::cli {

using run::Outcome;
using run::RegionCounts;

namespace {

bool blank(std::u16string_view text) {
    return text.find_first_not_of(u" \u3000") == std::u16string_view::npos;
}

// What the command did, added up over every document.
struct Totals {
    std::int64_t documents = 0;
    std::int64_t replaced = 0;
    std::int64_t unchanged = 0;
    std::array<std::int64_t, 3> counts{};
    std::array<std::array<std::int64_t, 3>, run::RunRequest::kPairs> pairs{};
    // A document was replaced in without the word processor telling how often.
    bool countsUnknown = false;

    explicit Totals(const CommandResult& command) {
        for (const auto& path : command.paths) {
            for (const run::DocumentResult& document : path.result.documents) {
                ++documents;
                replaced += document.outcome == Outcome::Replaced;
                const RegionCounts& own = document.counts;
                countsUnknown =
                    countsUnknown || (document.outcome == Outcome::Replaced && !own.body &&
                                      !own.textBoxes && !own.headersAndFooters);
                unchanged += document.outcome == Outcome::Unchanged;
                add(counts, own);
                for (std::size_t j = 0; j < pairs.size(); ++j)
                    add(pairs[j], document.countsByPair[j]);
            }
        }
    }
    static void add(std::array<std::int64_t, 3>& sum, const RegionCounts& counts) {
        sum[0] += counts.body.value_or(0);
        sum[1] += counts.textBoxes.value_or(0);
        sum[2] += counts.headersAndFooters.value_or(0);
    }
};

// The chosen regions' counts, as in "本文 20、ヘッダー・フッター 1".
std::u16string regionCounts(const run::Regions& regions, const std::array<std::int64_t, 3>& sum) {
    const std::pair<bool, std::u16string_view> names[] = {
        {regions.body, messages::kBody},
        {regions.textBoxes, messages::kTextBoxes},
        {regions.headersAndFooters, messages::kHeadersAndFooters}};
    std::u16string text;
    for (std::size_t i = 0; i < 3; ++i) {
        if (!names[i].first)
            continue;
        if (!text.empty())
            text += messages::kListSeparator;
        text += messages::regionCount(names[i].second, sum[i]);
    }
    return text;
}

std::int64_t total(const std::array<std::int64_t, 3>& sum) {
    return sum[0] + sum[1] + sum[2];
}

// A JSON string. A lone surrogate, which is how a byte of a name that is not UTF-8 travels here
// (U+DC80 to U+DCFF), or half of a pair on Windows, is written as its \u escape: a reader that
// decodes names as Python does (surrogateescape) gets the name's bytes back.
std::string json(std::u16string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            os::appendUtf8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            os::appendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string json(const std::optional<std::int32_t>& count) {
    return count ? std::to_string(*count) : "null";
}

std::string json(bool value) {
    return value ? "true" : "false";
}

std::string jsonOrNull(const std::u16string& text) {
    return text.empty() ? "null" : json(text);
}

std::string json(const RegionCounts& counts) {
    return "{\"body\": " + json(counts.body) + ", \"textBoxes\": " + json(counts.textBoxes) +
           ", \"headersAndFooters\": " + json(counts.headersAndFooters) + "}";
}

std::string json(const std::array<std::int64_t, 3>& sum) {
    return "{\"body\": " + std::to_string(sum[0]) + ", \"textBoxes\": " + std::to_string(sum[1]) +
           ", \"headersAndFooters\": " + std::to_string(sum[2]) + "}";
}

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Replaced:
            return "replaced";
        case Outcome::Unchanged:
            return "unchanged";
        case Outcome::NotOpened:
            return "notOpened";
        case Outcome::NotSaved:
            return "notSaved";
        case Outcome::CopyFailed:
            return "copyFailed";
        case Outcome::NotReached:
            return "notReached";
    }
    return "notReached";
}

std::string isoTime(std::chrono::system_clock::time_point at) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

// The pairs the runs used, with their numbers from 1.
std::vector<std::size_t> usedPairs(const run::RunRequest& request) {
    std::vector<std::size_t> used;
    for (std::size_t j = 0; j < request.pairs.size(); ++j) {
        if (!blank(request.pairs[j].find))
            used.push_back(j);
    }
    return used;
}

// A CSV field, always quoted: texts as the system gives them, like the report on standard output.
std::string csv(std::u16string_view text) {
    std::string out = "\"";
    for (const char c : os::pathForTerminal(text)) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string csv(const std::optional<std::int32_t>& count) {
    return count ? std::to_string(*count) : "";
}

}  // namespace

const std::u16string& listedPath(const run::DocumentResult& document) {
    const bool reachedTheFile =
        document.outcome == Outcome::NotOpened || document.outcome == Outcome::NotSaved;
    return reachedTheFile && !document.edited.empty() ? document.edited : document.source;
}

std::vector<std::u16string> summaryOf(const BatchOptions& options, const CommandResult& command) {
    const run::RunRequest& request = options.request;
    const Totals totals(command);
    std::vector<std::u16string> lines;
    lines.push_back(messages::summary(request.dryRun, totals.documents, totals.replaced,
                                      totals.unchanged, secondsText(command.seconds)));
    if (totals.countsUnknown) {
        lines.push_back(messages::countsUnknown(request.dryRun));
        return lines;
    }
    lines.push_back(messages::counts(request.dryRun, total(totals.counts),
                                     regionCounts(request.regions, totals.counts)));
    for (const std::size_t j : usedPairs(request)) {
        lines.push_back(messages::pairCounts(
            static_cast<std::int64_t>(j + 1), request.pairs[j].find, request.pairs[j].replacement,
            total(totals.pairs[j]), regionCounts(request.regions, totals.pairs[j])));
    }
    return lines;
}

namespace {

// The counts of each pair used, numbered as given.
template <typename CountsOf>
std::string jsonPairCounts(const std::vector<std::size_t>& used, CountsOf countsOf) {
    std::string out = "[";
    for (std::size_t k = 0; k < used.size(); ++k) {
        out += std::string(k ? ", " : "") + "{\"number\": " + std::to_string(used[k] + 1) +
               ", \"counts\": " + json(countsOf(used[k])) + "}";
    }
    return out + "]";
}

std::string jsonRequest(const BatchOptions& options, const std::vector<std::size_t>& used) {
    const run::RunRequest& request = options.request;
    const bool copies = request.mode == run::RunRequest::Mode::CopyFirst;
    std::string out =
        "  \"request\": {\n    \"mode\": \"" + std::string(copies ? "copy" : "inPlace") +
        "\",\n    \"destination\": " + (copies ? json(request.destinationFolder) : "null") +
        ",\n    \"pairs\": [";
    for (std::size_t k = 0; k < used.size(); ++k) {
        const auto& pair = request.pairs[used[k]];
        out += std::string(k ? ", " : "") + "{\"number\": " + std::to_string(used[k] + 1) +
               ", \"find\": " + json(pair.find) + ", \"replacement\": " + json(pair.replacement) +
               "}";
    }
    out += "],\n    \"regions\": {\"body\": " + json(request.regions.body) +
           ", \"textBoxes\": " + json(request.regions.textBoxes) +
           ", \"headersAndFooters\": " + json(request.regions.headersAndFooters) +
           "},\n    \"matchCase\": " + json(request.matchCase) +
           ",\n    \"distinguishWidths\": " + json(request.distinguishWidths) +
           ",\n    \"dryRun\": " + json(request.dryRun) +
           ",\n    \"recursive\": " + json(request.recursive) +
           ",\n    \"backupFolder\": " + jsonOrNull(options.backupFolder) +
           ",\n    \"jobs\": " + std::to_string(request.offices) +
           ",\n    \"skipDocumentsWithoutMatch\": " + json(request.skipDocumentsWithoutMatch) +
           ",\n    \"verifySavedFiles\": " + json(options.checkSavedFiles) + ",\n    \"paths\": [";
    for (std::size_t p = 0; p < options.paths.size(); ++p)
        out += (p ? ", " : "") + json(options.paths[p]);
    return out + "]\n  },\n";
}

std::string jsonDocument(const run::DocumentResult& document,
                         const std::vector<std::size_t>& used) {
    std::string out =
        "\n      {\"source\": " + json(document.source) +
        ", \"edited\": " + jsonOrNull(document.edited) + ", \"outcome\": \"" +
        outcomeName(document.outcome) + "\", \"reason\": " + jsonOrNull(document.reason) +
        ",\n       \"counts\": " + json(document.counts) + ",\n       \"pairs\": " +
        jsonPairCounts(used, [&](std::size_t k) { return document.countsByPair[k]; }) +
        ",\n       \"notices\": [";
    for (std::size_t n = 0; n < document.notices.size(); ++n)
        out += (n ? ", " : "") + json(document.notices[n]);
    return out + "], \"checkedAfterSave\": " + json(document.checkedAfterSave) +
           ", \"skipped\": " + json(document.skipped) +
           ", \"backup\": " + jsonOrNull(document.backup) + "}";
}

}  // namespace

std::string jsonReport(const BatchOptions& options, const CommandResult& command) {
    const Totals totals(command);
    const auto used = usedPairs(options.request);
    std::string out = "{\n  \"format\": \"quorvane-batch report\",\n  \"version\": " +
                      std::to_string(kReportVersion) +
                      ",\n  \"program\": {\"name\": \"quorvane-batch\", \"version\": \"" +
                      os::kVersion + "\"},\n  \"started\": \"" + isoTime(command.started) +
                      "\",\n  \"ended\": \"" + isoTime(command.ended) +
                      "\",\n  \"seconds\": " + secondsText(command.seconds) + ",\n";
    out += jsonRequest(options, used);
    out += "  \"summary\": {\"documents\": " + std::to_string(totals.documents) +
           ", \"processed\": " + std::to_string(totals.replaced + totals.unchanged) +
           ", \"replaced\": " + std::to_string(totals.replaced) +
           ", \"unchanged\": " + std::to_string(totals.unchanged) + ", \"notProcessed\": " +
           std::to_string(totals.documents - totals.replaced - totals.unchanged) +
           ",\n    \"counts\": " + json(totals.counts) + ",\n    \"pairs\": " +
           jsonPairCounts(used, [&](std::size_t k) { return totals.pairs[k]; }) +
           "},\n  \"runs\": [";
    for (std::size_t p = 0; p < command.paths.size(); ++p) {
        const auto& path = command.paths[p];
        const run::RunResult& result = path.result;
        out += std::string(p ? "," : "") + "\n    {\"path\": " + json(result.path) +
               ", \"declined\": " + json(result.declined) +
               ", \"endedByCopyFailure\": " + json(result.endedByCopyFailure) +
               ", \"ended\": " + jsonOrNull(path.ended) + ",\n     \"documents\": [";
        for (std::size_t d = 0; d < result.documents.size(); ++d)
            out += (d ? "," : "") + jsonDocument(result.documents[d], used);
        out += result.documents.empty() ? "]}" : "\n     ]}";
    }
    out += command.paths.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string csvReport(const BatchOptions& options, const CommandResult& command) {
    const auto used = usedPairs(options.request);
    // A byte order mark, so that spreadsheets take the file for UTF-8; rows end in CR LF.
    std::string out =
        "\xEF\xBB\xBFversion,path,source,edited,outcome,reason,body,text_boxes,"
        "headers_and_footers";
    for (const std::size_t j : used) {
        const std::string pair = "pair" + std::to_string(j + 1);
        out += "," + pair + "_body," + pair + "_text_boxes," + pair + "_headers_and_footers";
    }
    out += ",notices,checked_after_save,skipped,backup\r\n";
    for (const auto& path : command.paths) {
        for (const run::DocumentResult& document : path.result.documents) {
            out += std::to_string(kReportVersion) + "," + csv(path.result.path) + "," +
                   csv(document.source) + "," + csv(document.edited) + "," +
                   outcomeName(document.outcome) + "," + csv(document.reason) + "," +
                   csv(document.counts.body) + "," + csv(document.counts.textBoxes) + "," +
                   csv(document.counts.headersAndFooters);
            for (const std::size_t j : used) {
                const RegionCounts& counts = document.countsByPair[j];
                out += "," + csv(counts.body) + "," + csv(counts.textBoxes) + "," +
                       csv(counts.headersAndFooters);
            }
            std::u16string notices;
            for (const auto& notice : document.notices)
                notices += (notices.empty() ? u"" : u"\n") + notice;
            out += "," + csv(notices) + "," + (document.checkedAfterSave ? "1" : "0") + "," +
                   (document.skipped ? "1" : "0") + "," + csv(document.backup) + "\r\n";
        }
    }
    return out;
}

}  // namespace quorvane::cli
