// Word, Excel and PowerPoint 97-2003 files and Outlook messages: compound files
// written here with the platform's structured storage, their streams as the
// file formats document them. Their words are found; encrypted and damaged
// ones are counted and skipped.

#include <windows.h>
#include <objbase.h>
#include <propidl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ServiceTestSupport.h"
#include "common/ComBase.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "service/Indexer.h"
#include "service/PathText.h"
#include "service/TextExtractor.h"

namespace qv::service::test {
namespace {

std::string Utf16(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) Put16(out, c);
  return out;
}

using Streams = std::vector<std::pair<std::wstring, std::string>>;

void WriteStreams(IStorage* storage, const Streams& streams) {
  for (const auto& [name, data] : streams) {
    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(storage->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0,
                                                   0, stream.Put()));
    ULONG written = 0;
    ASSERT_HRESULT_SUCCEEDED(stream->Write(data.data(), static_cast<ULONG>(data.size()), &written));
  }
}

// A compound file with these streams, sub-storages and summary title.
void WriteCompound(const std::wstring& path, const Streams& streams, const std::string& title = "",
                   const std::vector<std::pair<std::wstring, Streams>>& storages = {}) {
  ComPtr<IStorage> root;
  ASSERT_HRESULT_SUCCEEDED(StgCreateStorageEx(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                              STGFMT_STORAGE, 0, nullptr, nullptr, IID_IStorage, root.PutVoid()));
  WriteStreams(root.Get(), streams);
  for (const auto& [name, children] : storages) {
    ComPtr<IStorage> child;
    ASSERT_HRESULT_SUCCEEDED(root->CreateStorage(name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                                 0, child.Put()));
    WriteStreams(child.Get(), children);
  }
  if (!title.empty()) {
    ComPtr<IPropertySetStorage> sets;
    ASSERT_HRESULT_SUCCEEDED(root->QueryInterface(IID_IPropertySetStorage, sets.PutVoid()));
    ComPtr<IPropertyStorage> properties;
    ASSERT_HRESULT_SUCCEEDED(sets->Create(FMTID_SummaryInformation, nullptr, PROPSETFLAG_ANSI,
                                          STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, properties.Put()));
    PROPSPEC titleProperty = {};
    titleProperty.ulKind = PRSPEC_PROPID;
    titleProperty.propid = PIDSI_TITLE;
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_LPSTR;
    value.pszVal = const_cast<char*>(title.c_str());
    ASSERT_HRESULT_SUCCEEDED(properties->WriteMultiple(1, &titleProperty, &value, PID_FIRST_USABLE));
    properties->Commit(STGC_DEFAULT);
  }
  root->Commit(STGC_DEFAULT);
}

// A Word document: a file information block naming the piece table in the
// 1Table stream; one piece of 8-bit text (code page 1252, with a field) and
// one of UTF-16.
Streams WordDocument(std::uint16_t flags = 0x0200) {
  std::string first = "Quarterly r\xE9sum\xE9 \x13 HYPERLINK \"x\" \x14link text\x15 mulberry\r";
  std::wstring second = L"\u65E5\u672C\u8A9E orchard\r";
  std::string fib(1024, '\0');
  fib[0] = '\xEC', fib[1] = '\xA5', fib[2] = '\xC1', fib[3] = '\x00';
  fib[0x0A] = static_cast<char>(flags & 0xFF), fib[0x0B] = static_cast<char>(flags >> 8);
  fib[32] = 14;   // 16-bit fields
  fib[62] = 22;   // 32-bit fields
  fib[152] = 93;  // fc/lcb pairs
  std::string document = fib + first;
  document.resize(2048, '\0');
  document += Utf16(second);
  std::string pieces;
  Put32(pieces, 0), Put32(pieces, static_cast<std::uint32_t>(first.size()));
  Put32(pieces, static_cast<std::uint32_t>(first.size() + second.size()));
  Put16(pieces, 0), Put32(pieces, (1024u * 2) | 0x40000000u), Put16(pieces, 0);
  Put16(pieces, 0), Put32(pieces, 2048u), Put16(pieces, 0);
  std::string table = "\x02";
  Put32(table, static_cast<std::uint32_t>(pieces.size()));
  table += pieces;
  std::string clx;
  Put32(clx, 0), Put32(clx, static_cast<std::uint32_t>(table.size()));
  document.replace(0x1A2, 8, clx);
  return {{L"WordDocument", document}, {L"1Table", table}};
}

std::string Record(unsigned type, const std::string& payload) {
  std::string out;
  Put16(out, type), Put16(out, static_cast<unsigned>(payload.size()));
  return out + payload;
}

// An Excel workbook (BIFF8): a sheet's name, shared strings with one split
// over a CONTINUE record (8-bit, then 16-bit), a label and numbers.
std::string Workbook(bool encrypted = false) {
  std::string bof;
  Put16(bof, 0x0600), Put16(bof, 0x0005), Put32(bof, 0), Put32(bof, 0), Put32(bof, 0);
  std::string sheet;
  Put32(sheet, 0), sheet += std::string("\x00\x00\x06\x00", 4) + "Ledger";
  std::string sst;
  Put32(sst, 3), Put32(sst, 3);
  Put16(sst, 9), sst += '\0', sst += "nectarine";
  Put16(sst, 4), sst += '\0', sst += "caf\xE9";
  Put16(sst, 8), sst += '\0', sst += "plum";
  std::string rest = "\x01" + Utf16(L"tree");
  std::string number(14, '\0');
  double value = 1234.5;
  std::memcpy(&number[6], &value, sizeof value);
  std::string rk(10, '\0');
  std::uint32_t rkValue = (42u << 2) | 2u;
  std::memcpy(&rk[6], &rkValue, 4);
  std::string label(6, '\0');
  Put16(label, 6), label += '\0', label += "quince";
  std::string out = Record(0x0809, bof);
  if (encrypted) out += Record(0x002F, std::string(54, '\x01'));
  return out + Record(0x0085, sheet) + Record(0x00FC, sst) + Record(0x003C, rest) + Record(0x000A, "") +
         Record(0x0809, bof) + Record(0x0203, number) + Record(0x027E, rk) + Record(0x0204, label) + Record(0x000A, "");
}

std::string PptRecord(unsigned version, unsigned type, const std::string& body) {
  std::string out;
  Put16(out, version), Put16(out, type), Put32(out, static_cast<std::uint32_t>(body.size()));
  return out + body;
}

// A PowerPoint document: containers holding a UTF-16 and an 8-bit text atom.
std::string PowerPointDocument() {
  std::string list = PptRecord(0x0F, 0x0FF0, PptRecord(0, 0x0FA0, Utf16(L"Persimmon grove")) +
                                                PptRecord(0, 0x0FA8, "speaker notes"));
  return PptRecord(0x0F, 0x03E8, PptRecord(0, 0x03E9, std::string(40, '\0')) + list);
}

class CompoundDocuments : public ServiceTest {
 protected:
  ReadTextResult Read(const std::string& name, std::string* text) {
    return ReadFileText(TreePath(name), ExtensionOf(Wide(name)), text);
  }
};

TEST_F(CompoundDocuments, EachFormatGivesItsWords) {
  WriteCompound(AddFile("report.doc"), WordDocument(), "Harvest report");
  WriteCompound(AddFile("ledger.xls"), {{L"Workbook", Workbook()}}, "Yield ledger");
  WriteCompound(AddFile("grove.ppt"), {{L"PowerPoint Document", PowerPointDocument()}});
  WriteCompound(AddFile("meeting.msg"),
                {{L"__substg1.0_0037001F", Utf16(L"Harvest meeting")},
                 {L"__substg1.0_0C1A001F", Utf16(L"Orchard Keeper")},
                 {L"__substg1.0_1000001F", Utf16(L"Bring the walnut baskets.")}},
                "", {{L"__recip_version1.0_#00000000",
                      {{L"__substg1.0_3001001F", Utf16(L"Quince Picker")},
                       {L"__substg1.0_39FE001F", Utf16(L"picker@example.org")}}},
                     {L"__attach_version1.0_#00000000", {{L"__substg1.0_3707001F", Utf16(L"yield-sheet.xlsx")}}}});
  struct Expected {
    const char* name;
    std::vector<const char*> words;
    std::vector<const char*> absent;
  };
  const Expected expected[] = {
      {"report.doc",
       {"Harvest report", "Quarterly r\xC3\xA9sum\xC3\xA9 link text mulberry \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E orchard"},
       {"HYPERLINK"}},
      {"ledger.xls", {"Yield ledger", "Ledger", "nectarine", "caf\xC3\xA9", "plumtree", "1234.5", "42", "quince"}, {}},
      {"grove.ppt", {"Persimmon grove", "speaker notes"}, {}},
      {"meeting.msg",
       {"Harvest meeting", "Orchard Keeper", "Quince Picker", "picker@example.org", "walnut baskets", "yield-sheet.xlsx"},
       {}},
  };
  for (const Expected& sample : expected) {
    // As while its program has it open for writing, sharing reading.
    UniqueHandle writer(CreateFileW(TreePath(sample.name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, writer.Get()) << sample.name;
    std::string text;
    EXPECT_EQ(ReadTextResult::Read, Read(sample.name, &text)) << sample.name;
    for (const char* word : sample.words) EXPECT_NE(std::string::npos, text.find(word)) << sample.name << ": " << text;
    for (const char* word : sample.absent) EXPECT_EQ(std::string::npos, text.find(word)) << sample.name << ": " << text;
  }
  IndexTree();
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"report.doc"}), Titles(RunQuery(cookie, L"mulberry").results));
  EXPECT_EQ(Names({L"ledger.xls"}), Titles(RunQuery(cookie, L"nectarine").results));
  EXPECT_EQ(Names({L"grove.ppt"}), Titles(RunQuery(cookie, L"persimmon").results));
  EXPECT_EQ(Names({L"meeting.msg"}), Titles(RunQuery(cookie, L"baskets").results));
}

TEST_F(CompoundDocuments, EncryptedAndDamagedOnesAreCountedAndSkipped) {
  WriteCompound(AddFile("locked.doc"), WordDocument(0x0300));
  WriteCompound(AddFile("locked.xls"), {{L"Workbook", Workbook(true)}});
  WriteCompound(AddFile("nothing.ppt"), {{L"Other", "x"}});
  Streams cut = WordDocument();
  cut[1].second.resize(7);  // the piece table cut short
  WriteCompound(AddFile("cut.doc"), cut);
  AddFile("plain.msg", "not a compound file at all");
  const std::pair<const char*, ReadTextResult> expected[] = {
      {"locked.doc", ReadTextResult::Encrypted}, {"locked.xls", ReadTextResult::Encrypted},
      {"nothing.ppt", ReadTextResult::Damaged},  {"cut.doc", ReadTextResult::Damaged},
      {"plain.msg", ReadTextResult::Damaged}};
  std::string text;
  for (const auto& [name, result] : expected) EXPECT_EQ(result, Read(name, &text)) << name;
  IndexTree();
  EXPECT_EQ(5, SkippedDocumentCount());
  // Counted by format, as the index tool's status lists them.
  std::vector<FormatCounts> formats = DocumentCountsByFormat();
  ASSERT_EQ(4u, formats.size());
  auto counts = [](const FormatCounts& f) { return std::vector<std::uint64_t>{f.read, f.cutOff, f.encrypted, f.damaged}; };
  EXPECT_EQ(L"doc", formats[0].extension);
  EXPECT_EQ((std::vector<std::uint64_t>{0, 0, 1, 1}), counts(formats[0]));
  EXPECT_EQ((std::vector<std::uint64_t>{0, 0, 0, 1}), counts(formats[1]));  // msg
  EXPECT_EQ((std::vector<std::uint64_t>{0, 0, 0, 1}), counts(formats[2]));  // ppt
  EXPECT_EQ((std::vector<std::uint64_t>{0, 0, 1, 0}), counts(formats[3]));  // xls
  // Not read again until they change.
  EXPECT_EQ(0u, Indexer().Run().counts.filesIndexed);
}

}  // namespace
}  // namespace qv::service::test
