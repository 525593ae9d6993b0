// The words of real documents are indexed: each format's sample is made here
// as its program writes it (a zip of XML parts, RTF, MIME), and damaged or
// hostile samples are cut off or skipped while indexing goes on.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ServiceTestSupport.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "service/Indexer.h"
#include "service/RootList.h"
#include "service/ServicePaths.h"
#include "service/TextExtractor.h"
#include "support/TempDirectory.h"

namespace qv::service::test {
namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

std::string Deflate(const std::string& data) {
  z_stream stream = {};
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// A zip archive as office programs write it: deflated members, a central directory.
std::string Zip(const Members& members, std::uint16_t flags = 0) {
  std::string archive;
  std::string directory;
  for (const auto& [name, data] : members) {
    std::string packed = Deflate(data);
    std::uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
    Put32(archive, 0x04034b50);
    Put16(archive, 20), Put16(archive, flags), Put16(archive, 8), Put32(archive, 0);
    Put32(archive, crc), Put32(archive, static_cast<std::uint32_t>(packed.size()));
    Put32(archive, static_cast<std::uint32_t>(data.size()));
    Put16(archive, static_cast<unsigned>(name.size())), Put16(archive, 0);
    archive += name + packed;
    Put32(directory, 0x02014b50);
    Put16(directory, 20), Put16(directory, 20), Put16(directory, flags), Put16(directory, 8), Put32(directory, 0);
    Put32(directory, crc), Put32(directory, static_cast<std::uint32_t>(packed.size()));
    Put32(directory, static_cast<std::uint32_t>(data.size()));
    Put16(directory, static_cast<unsigned>(name.size())), Put16(directory, 0), Put16(directory, 0);
    Put16(directory, 0), Put16(directory, 0), Put32(directory, 0), Put32(directory, offset);
    directory += name;
  }
  std::uint32_t directoryOffset = static_cast<std::uint32_t>(archive.size());
  archive += directory;
  Put32(archive, 0x06054b50);
  Put16(archive, 0), Put16(archive, 0);
  Put16(archive, static_cast<unsigned>(members.size())), Put16(archive, static_cast<unsigned>(members.size()));
  Put32(archive, static_cast<std::uint32_t>(directory.size())), Put32(archive, directoryOffset), Put16(archive, 0);
  return archive;
}

const char kCoreProperties[] =
    "<?xml version=\"1.0\"?><cp:coreProperties xmlns:cp=\"x\" xmlns:dc=\"y\"><dc:title>Harvest &amp; "
    "ledger</dc:title></cp:coreProperties>";

std::string Docx() {
  return Zip({{"[Content_Types].xml", "<Types/>"},
              {"docProps/core.xml", kCoreProperties},
              {"word/document.xml",
               "<w:document xmlns:w=\"w\"><w:body><w:p><w:r><w:rPr><w:b/></w:rPr><w:t>mulb</w:t></w:r><w:r>"
               "<w:t>erry</w:t></w:r><w:r><w:instrText>HYPERLINK</w:instrText></w:r></w:p><w:p><w:r><w:t>"
               "caf\xC3\xA9 &lt;orchard&gt;</w:t></w:r></w:p></w:body></w:document>"}});
}

std::string Xlsx() {
  return Zip({{"xl/workbook.xml", "<workbook/>"},
              {"xl/sharedStrings.xml", "<sst><si><t>nectarine</t></si><si><r><t>yield</t></r></si></sst>"}});
}

std::string Pptx() {
  return Zip({{"ppt/slides/slide1.xml", "<p:sld><a:p><a:r><a:t>olive</a:t></a:r></a:p></p:sld>"},
              {"ppt/slides/slide2.xml", "<p:sld><a:p><a:r><a:t>persimmon</a:t></a:r></a:p></p:sld>"},
              {"ppt/notesSlides/notesSlide1.xml", "<p:notes><a:t>speaker</a:t></p:notes>"}});
}

std::string OpenDocument(const std::string& body) {
  return Zip({{"mimetype", "application/vnd.oasis.opendocument.text"},
              {"meta.xml", "<office:meta><dc:title>Grove notes</dc:title></office:meta>"},
              {"content.xml", "<office:document-content><office:body><office:text><text:p>" + body +
                                  "</text:p></office:text></office:body></office:document-content>"}});
}

// Bytes no compressor makes smaller.
std::string Noise(std::size_t size) {
  std::string out(size, '\0');
  std::uint32_t state = 12345;
  for (char& c : out) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return out;
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const char kRtf[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times;}}{\\colortbl;\\red0\\green0\\blue0;}"
    "{\\info{\\title Pruning guide}{\\author Nobody}}{\\*\\generator Writer;}"
    "\\pard quince\\par caf\\'e9 \\u8364?uro {\\*\\unknowndest hidden} ok}";

const char kEmail[] =
    "From: Orchard Keeper <keeper@example.org>\r\n"
    "To: =?utf-8?B?Q2Fmw6k=?= <cafe@example.org>\r\n"
    "Subject: =?iso-8859-1?Q?Gr=FCne_apples?=\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
    "\r\n"
    "--b1\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "The rhubarb crop=\r\n"
    "s are in, caf=C3=A9.\r\n"
    "--b1\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "PHA+c2FsbW9uYmVycnk8L3A+PHNjcmlwdD5ub3RoaXM8L3NjcmlwdD4=\r\n"
    "--b1\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Content-Disposition: attachment; filename=x.bin\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "aGlkZGVud29yZA==\r\n"
    "--b1--\r\n";

const char kHtml[] =
    "<html><head><title>Tart &amp; pie</title><style>p { color: red }</style></head>"
    "<body><p>tamarind&nbsp;&eacute;clair &#x263A;</p><script>var secret = '<p>';</script>"
    "<!-- a comment --></body></html>";

class DocumentText : public ServiceTest {
 protected:
  // Writes a sample and reads it as the indexer does.
  ReadTextResult Read(const std::string& name, const std::string& bytes, std::string* text) {
    AddFile(name, bytes);
    return ReadFileText(TreePath(name), ExtensionOf(Wide(name)), text);
  }
};

TEST_F(DocumentText, EachFormatGivesItsWordsAndTitle) {
  struct Sample {
    const char* name;
    std::string bytes;
    std::vector<const char*> words;
    std::vector<const char*> absent;
  };
  const Sample samples[] = {
      {"report.docx", Docx(), {"mulberry", "Harvest & ledger", "caf\xC3\xA9 <orchard>"}, {"HYPERLINK"}},
      {"yield.xlsx", Xlsx(), {"nectarine", "yield"}, {}},
      {"deck.pptx", Pptx(), {"olive", "persimmon", "speaker"}, {}},
      {"notes.odt", OpenDocument("plum <text:span>tree</text:span>s"), {"plum trees", "Grove notes"}, {}},
      {"sheet.ods", OpenDocument("walnut"), {"walnut"}, {}},
      {"slides.odp", OpenDocument("chestnut"), {"chestnut"}, {}},
      // A file too large to be read at once: its parts are read where they lie.
      {"photos.docx", Zip({{"word/document.xml", "<w:t>sloe</w:t>"}, {"word/media/image1.bin", Noise(3 * 1024 * 1024)}}),
       {"sloe"}, {}},
      // A part read in many chunks: no tag, entity or character is split between two.
      {"long.odt", OpenDocument(Repeated("<text:span>pear</text:span> caf\xC3\xA9 &amp; ", 15000) + "medlar"),
       {"pear caf\xC3\xA9 & pear", "& medlar"}, {"span", "&amp;", "\xEF\xBF\xBD"}},
      {"guide.rtf", kRtf, {"Pruning guide", "quince", "caf\xC3\xA9", "\xE2\x82\xACuro", "ok"},
       {"Times", "Nobody", "hidden", "Writer"}},
      {"letter.eml", kEmail,
       {"Gr\xC3\xBCne apples", "Orchard Keeper", "Caf\xC3\xA9", "rhubarb crops", "salmonberry"},
       {"nothis", "hiddenword"}},
      {"page.html", kHtml, {"Tart & pie", "tamarind \xC3\xA9" "clair \xE2\x98\xBA"}, {"color", "secret", "comment"}},
  };
  for (const Sample& sample : samples) {
    std::string text;
    EXPECT_EQ(ReadTextResult::Read, Read(sample.name, sample.bytes, &text)) << sample.name;
    for (const char* word : sample.words) EXPECT_NE(std::string::npos, text.find(word)) << sample.name << ": " << text;
    for (const char* word : sample.absent) EXPECT_EQ(std::string::npos, text.find(word)) << sample.name << ": " << text;
  }
  // Found through the index like any file.
  IndexTree();
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"report.docx"}), Titles(RunQuery(cookie, L"mulberry").results));
  EXPECT_EQ(Names({L"letter.eml"}), Titles(RunQuery(cookie, L"salmonberry").results));
}

TEST_F(DocumentText, DamagedAndHostileDocumentsAreCutOffAndIndexingGoesOn) {
  std::string text;
  // 64 MB of spaces in a 64 KB member: inflated no further than the text
  // limit (spaces are text), or, inside a comment, than the part's limit.
  std::string bomb = Zip({{"word/document.xml", "<w:t>bomb</w:t>" + std::string(64 * 1024 * 1024, ' ')}});
  EXPECT_EQ(ReadTextResult::CutOff, Read("bomb.docx", bomb, &text));
  EXPECT_LE(text.size(), kMaxIndexedTextBytes);
  bomb = Zip({{"word/document.xml", "<w:t>bomb</w:t><!--" + std::string(64 * 1024 * 1024, ' ')}});
  EXPECT_EQ(ReadTextResult::Damaged, Read("quiet bomb.docx", bomb, &text));
  EXPECT_EQ("bomb", text);
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "<a>";
  // Nesting past reason is read as far as the bound.
  EXPECT_EQ(ReadTextResult::CutOff, Read("deep.odt", Zip({{"content.xml", nested + "deep"}}), &text));
  EXPECT_EQ(ReadTextResult::Damaged, Read("locked.docx", Zip({{"word/document.xml", "<w:t>x</w:t>"}}, 1), &text));
  std::string docx = Docx();
  EXPECT_EQ(ReadTextResult::Damaged, Read("cut.docx", docx.substr(0, docx.size() / 2), &text));
  EXPECT_EQ(ReadTextResult::Damaged, Read("noise.xlsx", std::string(5000, '\x7F'), &text));
  EXPECT_EQ(ReadTextResult::CutOff, Read("braces.rtf", "{\\rtf1 " + std::string(200000, '{'), &text));
  // A huge single line of text is read up to the limit.
  EXPECT_EQ(ReadTextResult::Read, Read("line.txt", std::string(3 * 1024 * 1024, 'z'), &text));
  EXPECT_EQ(kMaxIndexedTextBytes, text.size());

  AddFile("good.docx", Docx());
  IndexTree();
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"good.docx"}), Titles(RunQuery(cookie, L"mulberry").results));
  EXPECT_EQ(7, SkippedDocumentCount());
  // Skipped documents are kept by name and not read again until they change.
  IndexReport again = Indexer().Run();
  EXPECT_EQ(0u, again.counts.filesIndexed);
}

// A directory listing one deflated member under many names: every name but
// the first is the same data, and all of them together cost one budget.
std::string RepeatedSlides(std::size_t names, const std::string& data) {
  std::string archive = Zip({{"ppt/slides/slide1.xml", data}});
  std::size_t directoryAt = archive.find("PK\x01\x02");
  std::string entry = archive.substr(directoryAt, archive.find("PK\x05\x06") - directoryAt);
  archive.resize(directoryAt);
  std::string directory;
  for (std::size_t i = 0; i < names; ++i) {
    std::string name = "ppt/slides/slide" + std::to_string(i + 1) + ".xml";
    std::string copy = entry.substr(0, 46) + name;
    copy[28] = static_cast<char>(name.size());
    directory += copy;
  }
  archive += directory;
  Put32(archive, 0x06054b50);
  Put16(archive, 0), Put16(archive, 0), Put16(archive, static_cast<unsigned>(names));
  Put16(archive, static_cast<unsigned>(names));
  Put32(archive, static_cast<std::uint32_t>(directory.size())), Put32(archive, static_cast<std::uint32_t>(directoryAt));
  Put16(archive, 0);
  return archive;
}

// Hostile documents cost their budget and no more, end cut off with what was
// read, and hand on valid UTF-8 only.
TEST_F(DocumentText, HostileDocumentsCostNoMoreThanTheirBudget) {
  std::string text;
  std::string slide = "<a:t>orchard</a:t>" + std::string(30 * 1024 * 1024, ' ');
  EXPECT_EQ(ReadTextResult::CutOff, Read("repeated.pptx", RepeatedSlides(20000, slide), &text));
  EXPECT_EQ("orchard", text.substr(0, 7));
  // Members each inflating to nearly the part limit, with few words, share
  // one budget: the second is cut off.
  std::string quiet = "<a:t>pear</a:t><!--" + std::string(30 * 1024 * 1024, ' ') + "-->";
  Members many;
  for (int i = 1; i <= 3; ++i) many.emplace_back("ppt/slides/slide" + std::to_string(i) + ".xml", quiet);
  EXPECT_EQ(ReadTextResult::Damaged, Read("many.pptx", Zip(many), &text));
  EXPECT_EQ("pear pear", text);
  // RTF: one group of 8 MB of text stops at the limit; \u escapes out of
  // range give no bytes, a surrogate pair one character.
  std::string rtf =
      "{\\rtf1\\ansi \\u-10179?\\u-8694? \\u70000? \\u-99999999999? " + std::string(8 << 20, 'w') + "}";
  EXPECT_EQ(ReadTextResult::CutOff, Read("long.rtf", rtf, &text));
  EXPECT_LE(text.size(), kMaxIndexedTextBytes);
  EXPECT_EQ("\xF0\x9F\x98\x8A", text.substr(0, 4));
  EXPECT_TRUE(IsUtf8(text.data(), text.size()));
  // Invalid bytes inside an XML part are replaced, not indexed.
  std::string bytes = Zip({{"word/document.xml", "<w:t>caf\xE9 \xC0\xAF</w:t>"}});
  EXPECT_EQ(ReadTextResult::Read, Read("bytes.docx", bytes, &text));
  EXPECT_EQ("caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD", text);
}

// Indexing changes neither a file's times nor its contents. (The reader also
// asks the system to keep the last-access time; under Wine the host file
// system updates it on any read, so only the other times are checked here.)
TEST_F(DocumentText, ReadingLeavesTheFilesTimesAndContentsAlone) {
  std::wstring paths[] = {AddFile("old.txt", "vintage words"), AddFile("old.docx", Docx())};
  FILETIME old = {0x2A5C8000, 0x01C0F0A5};  // in 2001
  for (const std::wstring& path : paths) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(SetFileTime(file, &old, &old, &old));
    CloseHandle(file);
  }
  IndexTree();
  for (const std::wstring& path : paths) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(0, CompareFileTime(&old, &data.ftLastWriteTime)) << ToUtf8(path);
  }
  EXPECT_EQ("vintage words", qv::test::ReadFileText(ToUtf8(paths[0])));
  EXPECT_EQ(Docx(), qv::test::ReadFileText(ToUtf8(paths[1])));
}

// A reader that brought the indexer down left the note of its document: that
// document is skipped the next time, read alone or in a pass (which keeps one
// note open for all its documents and removes it at its end).
TEST_F(DocumentText, DocumentThatEndedTheIndexerIsSkippedNextTime) {
  std::wstring path = AddFile("crash.docx", Docx());
  std::wstring note = DataFolder() + L"document.reading";
  auto leaveNote = [&] {
    HANDLE file = CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, path.data(), static_cast<DWORD>(path.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
  };
  leaveNote();
  std::string text;
  EXPECT_EQ(ReadTextResult::Damaged, ReadFileText(path, L"docx", &text));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(note.c_str()));
  EXPECT_EQ(ReadTextResult::Read, ReadFileText(path, L"docx", &text));

  AddFile("after.docx", Docx());
  AddFile("before.docx", Docx());
  leaveNote();
  IndexTree();
  EXPECT_EQ(1, SkippedDocumentCount());
  auto found = Titles(RunQuery(RegisterClient(), L"mulberry").results);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(Names({L"after.docx", L"before.docx"}), found);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(note.c_str()));
}

}  // namespace
}  // namespace qv::service::test
