#include "cli/argument_parser.h"

#include <gtest/gtest.h>

#include <string_view>

#include "os/file_system.h"
#include "os/text_encoding.h"

namespace quorvane::cli {
namespace {

using Args = std::vector<std::string>;
using namespace std::string_view_literals;

BatchOptions parse(const Args& args) {
    return ArgumentParser(u"/work/here").parse(args).value();
}

TEST(ArgumentParserTest, RejectsCommandLinesThatCannotBeCarriedOut) {
    const std::vector<Args> bad = {
        {},
        {"doc.docx"},
        {"--copy-to", "out", "--in-place", "doc.docx"},
        {"--copy-to", "out", "--yes", "doc.docx"},
        {"--copy-to", "out"},
        {"--in-place", "--yes"},
        {"--copy-to"},
        {"--copy-to", "a", "--copy-to", "b", "doc.docx"},
        {"--in-place", "--yes", "--pair", "a", "b", "--pair", "c", "d", "--pair", "e", "f",
         "--pair", "g", "h", "doc.docx"},
        {"--in-place", "--yes", "--pair", "a"},
        {"--in-place", "--yes", "--pair", "  ", "x", "doc.docx"},
        {"--in-place", "--yes", "--pair", "\xe3\x80\x80", "x", "doc.docx"},
        {"--in-place", "--yes", "--regions", "body,footnotes", "doc.docx"},
        {"--in-place", "--yes", "--regions", "", "doc.docx"},
        {"--in-place", "--yes", "--regions", "body,", "doc.docx"},
        {"--in-place", "--yes", "--regions", "body", "--regions", "headers", "doc.docx"},
        {"--in-place", "--yes", "--quiet", "doc.docx"},
        {"--in-place", "--yes", ""},
        {"--restore"},
        {"--restore", "bk", "doc.docx"},
        {"--restore", "bk", "--pair", "a", "b"},
        {"--in-place", "--yes", "--force", "doc.docx"},
        {"--copy-to", "out", "--backup-to", "bk", "doc.docx"},
        {"--in-place", "--yes", "--backup-to", "docs/bk", "docs"},
        {"--in-place", "--yes", "--report", "/no/such/folder/r.json", "doc.docx"},
    };
    for (const Args& args : bad) {
        std::string line;
        for (const auto& a : args)
            line += "[" + a + "] ";
        EXPECT_THROW(ArgumentParser(u"/work/here").parse(args), UsageError) << line;
    }
}

TEST(ArgumentParserTest, HelpWinsOverEverythingBeforeTheEndOfOptions) {
    EXPECT_FALSE(ArgumentParser(u"/").parse({"--help"}).has_value());
    EXPECT_FALSE(ArgumentParser(u"/").parse({"--bogus", "-h"}).has_value());
    EXPECT_TRUE(ArgumentParser(u"/").parse({"--in-place", "--yes", "--", "--help"}).has_value());
    // What a user cannot guess: the pairs cascade, and how the report is to be read.
    const std::u16string help = ArgumentParser::usage();
    for (const std::u16string_view said :
         {u"後の組は前の組が"sv, u"置換した結果も検索します"sv, u"--null"sv, u"タブは \\t"sv}) {
        EXPECT_NE(help.find(said), std::u16string::npos) << os::toUtf8(said);
    }
}

TEST(ArgumentParserTest, DefaultsCopyWithEveryRegionAndCaseAndWidthDistinguished) {
    const run::RunRequest request = parse({"--copy-to", "/out", "doc.docx"}).request;
    EXPECT_EQ(request.mode, run::RunRequest::Mode::CopyFirst);
    EXPECT_EQ(request.destinationFolder, u"/out");
    EXPECT_TRUE(request.regions.body && request.regions.textBoxes &&
                request.regions.headersAndFooters && request.matchCase &&
                request.distinguishWidths);
}

TEST(ArgumentParserTest, OptionsMakeTheRequest) {
    const BatchOptions options =
        parse({"--in-place", "--yes", "--pair", "甲", "乙", "--pair", "-x", "--y", "--regions",
               "headers,textboxes", "--ignore-case", "--ignore-width", "a.docx", "b"});
    const run::RunRequest& request = options.request;
    EXPECT_EQ(request.mode, run::RunRequest::Mode::EditOriginals);
    EXPECT_TRUE(options.yes);
    EXPECT_FALSE(request.regions.body);
    EXPECT_TRUE(request.regions.textBoxes && request.regions.headersAndFooters);
    EXPECT_FALSE(request.matchCase);
    EXPECT_FALSE(request.distinguishWidths);
    EXPECT_EQ(request.pairs[0].find, u"甲");
    EXPECT_EQ(request.pairs[0].replacement, u"乙");
    EXPECT_EQ(request.pairs[1].find, u"-x");
    EXPECT_EQ(request.pairs[1].replacement, u"--y");
    EXPECT_EQ(request.pairs[2].find, u"");
    EXPECT_EQ(options.paths, (std::vector<std::u16string>{u"/work/here/a.docx", u"/work/here/b"}));

    const BatchOptions more = parse({"--in-place", "--dry-run", "--recursive", "--backup-to", "bk",
                                     "--report", "/tmp/r.csv", "docs"});
    EXPECT_TRUE(more.request.dryRun && more.request.recursive);
    EXPECT_EQ(more.backupFolder, u"/work/here/bk");
    EXPECT_EQ(more.reportFile, u"/tmp/r.csv");
    const BatchOptions restore = parse({"--restore", "bk", "--force", "--verbose"});
    EXPECT_EQ(restore.restoreFolder, u"/work/here/bk");
    EXPECT_TRUE(restore.force && restore.verbose);
    EXPECT_TRUE(parse({"--bogus", "--version"}).version);
}

// Copies of a dropped folder go to DIR/<last component>: the run takes it from the text after the
// last separator, so "dir/", "dir/." or "./dir" must all end in "/dir".
TEST(ArgumentParserTest, PathsBecomeAbsoluteWithoutTrailingSeparatorOrDots) {
    const BatchOptions options = parse(
        {"--copy-to", "out/", "dir/", "./dir", "dir/.", "/abs//x/", "../up", "/", "--", "-dash"});
    EXPECT_EQ(options.request.destinationFolder, u"/work/here/out");
    EXPECT_EQ(options.paths,
              (std::vector<std::u16string>{u"/work/here/dir", u"/work/here/dir", u"/work/here/dir",
                                           u"/abs/x", u"/work/up", u"/", u"/work/here/-dash"}));
}

TEST(ArgumentParserTest, RelativePathsNeedAKnownWorkingDirectory) {
    EXPECT_THROW(ArgumentParser(u"").parse({"--copy-to", "/out", "doc"}), UsageError);
    EXPECT_EQ(ArgumentParser(u"").parse({"--copy-to", "/out", "/doc"})->paths.front(), u"/doc");
}

TEST(ArgumentParserTest, NamesThatAreNotUtf8SurviveTheTripToTheRun) {
    const BatchOptions options = parse({"--copy-to", "/out", "/d/\xff\xfe.docx"});
    EXPECT_EQ(os::toNativePath(options.paths.front()).native(), "/d/\xff\xfe.docx");
}

}  // namespace
}  // namespace quorvane::cli
