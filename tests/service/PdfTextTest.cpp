// PDF files made by real tools (reportlab, ghostscript's ps2pdf, qpdf; see
// samples/make-pdf-samples.sh) give their words and titles through the index;
// damaged and hostile ones are cut off within the document's budget.

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ServiceTestSupport.h"
#include "common/Text.h"
#include "service/IndexDatabase.h"
#include "service/Indexer.h"
#include "service/TextExtractor.h"
#include "service/extract/PdfText.h"

namespace qv::service::test {
namespace {

// The samples are linked into the test program (PdfSamples.rc).
std::string Sample(const char* name) {
  std::wstring resource = Wide(name);
  for (wchar_t& c : resource) c = c == L'.' || c == L'-' ? L'_' : static_cast<wchar_t>(towupper(c));
  HRSRC found = FindResourceW(nullptr, resource.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found));
}

PdfContent Read(const std::string& bytes) {
  std::unique_ptr<pdf::Crypto> crypto = pdf::CreatePdfCrypto();
  return PdfText(bytes, kMaxIndexedTextBytes, crypto.get());
}

const char kReportlabWords[] =
    "The quince harvest was early this year. Kerned words stay whole: WAVE Towers. "
    "Caf\xC3\xA9 cr\xC3\xA8me and \xC3\xBC" "ber-ripe pears, 20\xE2\x82\xAC each. Second page: the persimmon grove.";

struct PdfSample {
  const char* name;
  const char* title;
  std::vector<const char*> words;
  const char* query;  // finds this sample among others
};

class PdfDocuments : public ServiceTest {};

TEST_F(PdfDocuments, RealFilesGiveTheirWordsAndTitle) {
  const PdfSample samples[] = {
      {"reportlab.pdf", "Orchard ledger", {kReportlabWords}, "quince"},
      {"ps2pdf.pdf", "Pruning notes", {"Tamarind branches hazelnut", "official"}, "tamarind"},
      {"objstm.pdf", "Orchard ledger", {kReportlabWords}, "persimmon"},
      {"update.pdf", "Orchard ledger", {"Revised: the walnut harvest.", "persimmon grove"}, "revised"},
      {"rc4-40.pdf", "Orchard ledger", {kReportlabWords}, "pears"},
      {"rc4-128.pdf", "Orchard ledger", {kReportlabWords}, "pears"},
      {"aes-128.pdf", "Pruning notes", {"hazelnut"}, "hazelnut"},
      {"aes-256.pdf", "Orchard ledger", {kReportlabWords}, "pears"},
      {"aes-256-r5.pdf", "Orchard ledger", {kReportlabWords}, "pears"},
      {"type0.pdf", "Type zero", {"apple walnut", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"}, "apple"},
      {"fonts.pdf", "Jam \xE2\x80\x93 jelly",
       {"Mulberry jam dew(drop) r\xC3\xA9sum\xC3\xA9 \xC3\x85" "fi \xF0\x9F\x8D\x8E quandong"}, "quandong"},
  };
  std::vector<std::wstring> names;
  for (const PdfSample& sample : samples) {
    std::string bytes = Sample(sample.name);
    ASSERT_FALSE(bytes.empty()) << sample.name;
    PdfContent content = Read(bytes);
    EXPECT_TRUE(content.isPdf && !content.encrypted && !content.damaged && !content.cutOff) << sample.name;
    EXPECT_EQ(sample.title, content.title) << sample.name;
    for (const char* words : sample.words) {
      EXPECT_NE(std::string::npos, content.text.find(words)) << sample.name << ": " << content.text;
    }
    AddFile(sample.name, bytes);
    std::string text;
    EXPECT_EQ(ReadTextResult::Read, ReadFileText(TreePath(sample.name), L"pdf", &text)) << sample.name;
  }
  // The earlier words of an updated page are gone; a symbol font gives nothing.
  EXPECT_EQ(std::string::npos, Read(Sample("update.pdf")).text.find("quince"));
  EXPECT_EQ(std::string::npos, Read(Sample("fonts.pdf")).text.find("Secret"));

  IndexTree();
  LONG cookie = RegisterClient();
  for (const PdfSample& sample : samples) {
    Names found = Titles(RunQuery(cookie, Wide(sample.query).c_str()).results);
    EXPECT_NE(found.end(), std::find(found.begin(), found.end(), Wide(sample.name))) << sample.query;
  }
  EXPECT_EQ(Names({L"fonts.pdf"}), Titles(RunQuery(cookie, L"jelly").results));

  // An index made before PDF files were read has them by name only: they are
  // read again once.
  EXPECT_EQ(0u, Indexer().Run().counts.filesIndexed);
  OpenIndexForSearch()->Execute("UPDATE index_state SET value = 2 WHERE key = 'readers'");
  EXPECT_EQ(std::size(samples), Indexer().Run().counts.filesIndexed);
}

TEST_F(PdfDocuments, DamagedAndHostileFilesAreCutOff) {
  // A stream that inflates to 640 MB in a file of 2 KB: cut off at the budget.
  PdfContent bomb = Read(Sample("bomb.pdf"));
  EXPECT_TRUE(bomb.cutOff);
  EXPECT_NE(std::string::npos, bomb.text.find("bomb"));
  // Page trees, forms and references that loop are read once round.
  PdfContent cycles = Read(Sample("cycles.pdf"));
  EXPECT_TRUE(cycles.damaged);
  EXPECT_EQ("loop cyclic", cycles.text);
  // Every offset wrong and a length past the end: the objects are found by a scan.
  PdfContent repaired = Read(Sample("repair.pdf"));
  EXPECT_TRUE(repaired.damaged);
  EXPECT_EQ("salvaged apricot", repaired.text);
  // A password is needed: counted as encrypted, nothing read.
  PdfContent locked = Read(Sample("password.pdf"));
  EXPECT_TRUE(locked.encrypted);
  EXPECT_TRUE(locked.text.empty());

  // A /Prev chain that loops, nesting past reason, a count past the file.
  const std::string crafted[] = {
      "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 1 0 R >> endobj\nxref\n0 2\n0000000000 65535 f \n"
      "0000000009 00000 n \ntrailer << /Size 2 /Root 1 0 R /Prev 67 >>\nstartxref\n67\n%%EOF",
      "%PDF-1.4\n1 0 obj " + std::string(200000, '[') + " endobj\ntrailer << /Root 1 0 R >>",
      "%PDF-1.4\nxref\n0 4000000000\ntrailer << /Root 1 0 R >>\nstartxref\n9\n%%EOF",
      "%PDF-1.4\n1 0 obj << /Pages 2 0 R >> endobj 2 0 obj << /Kids [2 0 R 2 0 R] >> endobj",
      std::string("%PDF-1.4\n"),
  };
  for (const std::string& bytes : crafted) {
    PdfContent content = Read(bytes);
    EXPECT_TRUE(content.isPdf);
    EXPECT_TRUE(content.damaged || content.cutOff) << bytes.substr(0, 80);
  }
  // Every cut of a real file reads without harm.
  std::string whole = Sample("objstm.pdf");
  for (std::size_t cut = 0; cut < whole.size(); cut += 997) Read(whole.substr(0, cut));

  AddFile("bomb.pdf", Sample("bomb.pdf"));
  AddFile("locked.pdf", Sample("password.pdf"));
  AddFile("not.pdf", "plain words, not a PDF");
  AddFile("good.pdf", Sample("ps2pdf.pdf"));
  // Large files are read through a view of the file, small ones at once: the
  // same file with 2 MB of comment before its cross-reference table.
  std::string large = Sample("ps2pdf.pdf");
  std::size_t xref = large.rfind("\nxref") + 1;
  std::string padding = "%" + std::string(2 * 1024 * 1024, ' ') + "\n";
  std::size_t number = large.rfind("startxref\n") + 10;
  large.replace(number, large.find('\n', number) - number, std::to_string(xref + padding.size()));
  large.insert(xref, padding);
  AddFile("large.pdf", large);
  IndexTree();
  LONG cookie = RegisterClient();
  Names found = Titles(RunQuery(cookie, L"hazelnut").results);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(Names({L"good.pdf", L"large.pdf"}), found);
  EXPECT_EQ(3, SkippedDocumentCount());
  std::vector<FormatCounts> formats = DocumentCountsByFormat();
  ASSERT_EQ(1u, formats.size());
  EXPECT_EQ(L"pdf", formats[0].extension);
  EXPECT_EQ(2u, formats[0].read);
  EXPECT_EQ(1u, formats[0].cutOff);     // bomb.pdf
  EXPECT_EQ(1u, formats[0].encrypted);  // locked.pdf
  EXPECT_EQ(1u, formats[0].damaged);    // not.pdf
}

}  // namespace
}  // namespace qv::service::test
