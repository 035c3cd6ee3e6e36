#include "run/document_prescan.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "run/searchable_text.h"
#include "test_support.h"

namespace quorvane::run {
namespace {

struct Member {
    std::string name;
    std::string content;
};

// A zip package as word processors write them: every member deflated.
std::string zipOf(const std::vector<Member>& members) {
    const test::TempDir dir;
    const auto path = dir.path() / "package.zip";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& member : members) {
        zip_source_t* source =
            zip_source_buffer(archive, member.content.data(), member.content.size(), 0);
        const auto index = zip_file_add(archive, member.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0);
    }
    zip_close(archive);
    return test::readFile(path);
}

const std::string kWordNamespace =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

std::string wordPackage(const std::string& body, std::vector<Member> more = {}) {
    std::vector<Member> members = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Override "
         "PartName=\"/word/document.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/><Override "
         "PartName=\"/word/header1.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.wordprocessingml.header+xml\"/></Types>"},
        {"word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document " +
                                  kWordNamespace + "><w:body>" + body + "</w:body></w:document>"},
        {"word/header1.xml", "<w:hdr " + kWordNamespace +
                                 "><w:p><w:r><w:t>Header &amp; 東京</w:t></w:r></w:p></w:hdr>"}};
    for (auto& member : more)
        members.push_back(std::move(member));
    return zipOf(members);
}

std::string openDocument(const std::string& text, const std::string& manifestExtra = {}) {
    const std::string ns =
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"";
    return zipOf(
        {{"mimetype", "application/vnd.oasis.opendocument.text"},
         {"META-INF/manifest.xml", "<manifest>" + manifestExtra + "</manifest>"},
         {"content.xml", "<office:document-content " + ns + "><office:body><office:text>" + text +
                             "</office:text></office:body></office:document-content>"},
         {"styles.xml", "<office:document-styles " + ns + "/>"}});
}

std::string text(std::string_view bytes, std::u16string_view extension) {
    return searchableText(bytes, extension).value_or("(unreadable)");
}

// Text split over runs is joined, references are decoded, elements that stand for characters
// are written as them; headers count; what is not text (tags, attributes) is left out.
TEST(SearchableText, WordDocumentsGiveTheirTextJoinedAcrossRunsAndParts) {
    const std::string docx = wordPackage(
        "<w:p><w:r><w:t>fo</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">o "
        "</w:t><w:tab/><w:t>&#x6771;&#20140;</w:t></w:r></w:p><w:p w:rsidR=\"bar\"/>");
    const std::string found = text(docx, u".docx");
    EXPECT_NE(found.find("foo \t東京"), std::string::npos) << found;
    EXPECT_NE(found.find("Header & 東京"), std::string::npos) << found;
    EXPECT_EQ(found.find("bar"), std::string::npos) << found;
    EXPECT_EQ(text(docx, u".DOCM"), found);
}

// What only the word processor can read, or what is not whole, is never read as if it were.
TEST(SearchableText, AnythingUnsureIsLeftToTheWordProcessor) {
    const std::string good = "<w:p><w:r><w:t>text</w:t></w:r></w:p>";
    EXPECT_NE(text(wordPackage(good), u".docx"), "(unreadable)");
    const std::vector<std::pair<const char*, std::string>> unsure = {
        {"badly nested", wordPackage("<w:p><w:r><w:t>text</w:r></w:t></w:p>")},
        {"unknown entity", wordPackage("<w:p><w:r><w:t>&nbsp;</w:t></w:r></w:p>")},
        {"namespace below the root",
         wordPackage("<w:p xmlns:x=\"urn:x\"><w:r><w:t>t</w:t></w:r></w:p>")},
        {"embedded object", wordPackage(good, {{"word/embeddings/oleObject1.bin", "x"}})},
        {"alternative-format chunk",
         wordPackage(good,
                     {{"word/_rels/document.xml.rels",
                       "<Relationships><Relationship Type=\"http://schemas.openxmlformats."
                       "org/officeDocument/2006/relationships/aFChunk\"/></Relationships>"}})},
        {"not UTF-8", wordPackage("<w:p><w:r><w:t>\xFF</w:t></w:r></w:p>")},
        {"encoding cut short", wordPackage("<w:p><?x encoding=?><w:r><w:t>t</w:t></w:r></w:p>")},
        {"truncated", wordPackage(good).substr(0, 200)},
        {"not a package", "plain text, not a zip"},
    };
    for (const auto& [what, bytes] : unsure)
        EXPECT_FALSE(searchableText(bytes, u".docx")) << what;
    std::string damaged = wordPackage(good);
    damaged[damaged.find("PK\x01\x02") - 4] ^= 0x55;  // inside the last member's data
    EXPECT_FALSE(searchableText(damaged, u".docx")) << "a member whose checksum fails";
    EXPECT_FALSE(searchableText("anything", u".doc")) << "Word 97 is the word processor's";
}

TEST(SearchableText, OpenDocumentsRtfAndPlainTextGiveTheirText) {
    EXPECT_EQ(text(openDocument("<text:p>a<text:s text:c=\"2\"/>b<text:tab/>c<text:s/>d</text:p>"),
                   u".odt"),
              "a  b\tc d");
    EXPECT_FALSE(
        searchableText(openDocument("<text:p>x</text:p>", "<manifest:encryption-data/>"), u".odt"));

    // \uN with its fallback skipped, \ucN, control words that stand for characters.
    EXPECT_EQ(text("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\uc2 \\u26481\\'93\\'8c"
                   "\\u20140\\'8b\\'9e foo\\tab bar\\par}",
                   u".rtf"),
              "Arial;東京 foo\tbar");
    EXPECT_FALSE(searchableText("{\\rtf1\\ansi \\'93\\'8c}", u".rtf")) << "bytes of a font's set";

    EXPECT_EQ(text("\xEF\xBB\xBF東京", u".txt"), "東京");
    EXPECT_EQ(text(std::string("\xFF\xFE\x71\x67\xAC\x4E", 6), u".txt"), "東京");
    EXPECT_EQ(text("\x93\x8C\x8B\x9E", u".txt"), "東京") << "Shift_JIS";
    EXPECT_EQ(text("\xC5\xEC\xB5\xFE", u".txt"), "東京") << "EUC-JP";
}

// Case is folded as the word processor folds it, where case does not count: both widths of the
// Latin letters, and the signs that fold into them. A letter whose folding we do not mirror may
// always match.
TEST(MayHold, CaseIsFoldedAsTheWordProcessorFoldsIt) {
    const std::string text =
        "Foo ＢＡＲ \xE2\x84\xAA"
        "elvin 東京都";
    EXPECT_TRUE(mayHold(text, {{u"foo", false}}));
    EXPECT_FALSE(mayHold(text, {{u"foo", true}}));
    EXPECT_TRUE(mayHold(text, {{u"ｂａｒ", false}}));
    EXPECT_FALSE(mayHold(text, {{u"bar", false}})) << "widths are never alike here";
    EXPECT_TRUE(mayHold(text, {{u"kelvin", false}}));
    EXPECT_TRUE(mayHold(text, {{u"東京", true}}));
    EXPECT_FALSE(mayHold(text, {{u"大阪", false}, {u"", true}}));
    EXPECT_TRUE(mayHold(text, {{u"straße", false}})) << "a folding only the word processor knows";
    EXPECT_FALSE(mayHold(text, {{u"straße", true}}));
}

// A document the word processor would refuse is given to it, for it to say why.
TEST(MayHoldMatch, ADocumentTheWordProcessorRefusesIsGivenToIt) {
    test::TempDir dir;
    const auto path = dir.path() / "plain.txt";
    test::writeFile(path, "nothing to find\n");
    const std::vector<SearchedText> searched = {{u"foo", true}};
    EXPECT_FALSE(mayHoldMatch(os::fromNativePath(path), searched));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_TRUE(mayHoldMatch(os::fromNativePath(path), searched)) << "read-only";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    test::writeFile(dir.path() / ".~lock.plain.txt#", "");
    EXPECT_TRUE(mayHoldMatch(os::fromNativePath(path), searched)) << "open in another office";
    EXPECT_TRUE(mayHoldMatch(dir / "missing.txt", searched));
}

}  // namespace
}  // namespace quorvane::run
