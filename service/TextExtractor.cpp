#include "service/TextExtractor.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/PathText.h"
#include "service/extract/DocumentText.h"
#include "service/extract/MarkupText.h"

namespace qv::service {
namespace {

const wchar_t* const kTextExtensions[] = {
    L"txt",  L"text", L"md",   L"markdown", L"rst",  L"csv",  L"tsv",  L"log",  L"ini",  L"cfg",
    L"conf", L"xml",  L"html", L"htm",      L"xhtml", L"json", L"yaml", L"yml", L"toml", L"tex",
    L"c",    L"h",    L"cpp",  L"hpp",      L"cc",   L"cxx",  L"hxx",  L"inl",  L"cs",   L"java",
    L"js",   L"ts",   L"jsx",  L"tsx",      L"py",   L"rb",   L"go",   L"rs",   L"sh",   L"bat",
    L"cmd",  L"ps1",  L"sql",  L"css",      L"php",  L"pl",   L"lua",  L"swift", L"kt",  L"m",
    L"vb",   L"vbs",  L"asm",  L"s",        L"cmake", L"mk",  L"def",  L"rc"};

bool IsHtmlExtension(const std::wstring& extension) {
  return extension == L"html" || extension == L"htm" || extension == L"xhtml";
}

// UTF-16 without a byte-order mark: in Latin text every other byte is zero.
// Returns 0 when the bytes do not look like it, else 1 (little-endian) or 2.
int GuessUnmarkedUtf16(const std::string& bytes) {
  std::size_t pairs = std::min<std::size_t>(bytes.size(), 4096) / 2;
  if (pairs < 4) return 0;
  std::size_t evenZeros = 0;
  std::size_t oddZeros = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    evenZeros += bytes[2 * i] == '\0';
    oddZeros += bytes[2 * i + 1] == '\0';
  }
  if (oddZeros * 10 >= pairs * 4 && evenZeros * 50 <= pairs) return 1;
  if (evenZeros * 10 >= pairs * 4 && oddZeros * 50 <= pairs) return 2;
  return 0;
}

bool IsValidUtf8(const std::string& bytes) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                             nullptr, 0) > 0;
}

std::string WideBytesToUtf8(const std::string& bytes, std::size_t offset, bool bigEndian) {
  std::wstring wide((bytes.size() - offset) / 2, L'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    auto first = static_cast<unsigned char>(bytes[offset + 2 * i]);
    auto second = static_cast<unsigned char>(bytes[offset + 2 * i + 1]);
    wide[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return ToUtf8(wide);
}

// A file cut at the size limit may end inside a multi-byte character.
std::string TrimPartialUtf8(const std::string& bytes) {
  std::size_t end = bytes.size();
  std::size_t continuation = 0;
  while (continuation < 3 && end > continuation &&
         (static_cast<unsigned char>(bytes[end - 1 - continuation]) & 0xC0) == 0x80) {
    ++continuation;
  }
  if (end == continuation) return bytes;
  auto lead = static_cast<unsigned char>(bytes[end - 1 - continuation]);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length > 1 && continuation + 1 < length) return bytes.substr(0, end - 1 - continuation);
  return bytes;
}

}  // namespace

bool IsTextExtension(const std::wstring& extension) {
  return IsDocumentExtension(extension) ||
         std::find_if(std::begin(kTextExtensions), std::end(kTextExtensions),
                      [&](const wchar_t* known) { return extension == known; }) != std::end(kTextExtensions);
}

bool DecodeText(const std::string& bytes, std::string* utf8) {
  utf8->clear();
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    *utf8 = TrimPartialUtf8(bytes.substr(3));
    return true;
  }
  if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
    *utf8 = WideBytesToUtf8(bytes, 2, false);
    return true;
  }
  if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
    *utf8 = WideBytesToUtf8(bytes, 2, true);
    return true;
  }
  if (int utf16 = GuessUnmarkedUtf16(bytes)) {
    *utf8 = WideBytesToUtf8(bytes, 0, utf16 == 2);
    return true;
  }
  // Otherwise NULs mean binary data.
  if (bytes.find('\0') != std::string::npos) return false;
  std::string trimmed = TrimPartialUtf8(bytes);
  if (IsValidUtf8(trimmed)) {
    *utf8 = std::move(trimmed);
  } else {
    *utf8 = ToUtf8(ToWide(bytes.c_str()));
  }
  return true;
}

std::string StripMarkup(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  bool inTag = false;
  for (char c : text) {
    if (c == '<') {
      inTag = true;
      result.push_back(' ');
    } else if (c == '>' && inTag) {
      inTag = false;
    } else if (!inTag) {
      result.push_back(c);
    }
  }
  return result;
}

ReadTextResult ReadFileText(const std::wstring& path, const std::wstring& extension, std::string* text) {
  text->clear();
  // Share everything: the owner of the file may be writing or renaming it.
  // Reading must not touch the file's last-access time: with the right to
  // write attributes, the handle is told to keep it; a file that grants only
  // reading is read without.
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  std::wstring filePath = ForFileApi(path);
  UniqueHandle file(CreateFileW(filePath.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  bool keepsAccessTime = file.Get() != INVALID_HANDLE_VALUE;
  if (!keepsAccessTime && GetLastError() == ERROR_ACCESS_DENIED) {
    file.Release();
    file.Reset(CreateFileW(filePath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr));
  }
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadTextResult::Vanished
                                                                          : ReadTextResult::Unreadable;
  }
  if (keepsAccessTime) {
    // All ones: "do not update on operations through this handle".
    FILETIME keep = {0xFFFFFFFF, 0xFFFFFFFF};
    SetFileTime(file.Get(), nullptr, &keep, nullptr);
  }
  if (IsDocumentExtension(extension)) {
    return ReadDocumentText(file.Get(), path, extension, kMaxIndexedTextBytes, text);
  }
  // Sized to the file: most text files are small, and a buffer of the full
  // limit per file costs more than reading them.
  LARGE_INTEGER size;
  std::size_t capacity = kMaxIndexedTextBytes;
  if (GetFileSizeEx(file.Get(), &size)) {
    capacity = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), capacity));
  }
  std::string bytes(capacity, '\0');
  DWORD total = 0;
  while (total < bytes.size()) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data() + total, static_cast<DWORD>(bytes.size() - total), &read, nullptr)) {
      return ReadTextResult::Unreadable;
    }
    if (read == 0) break;
    total += read;
  }
  bytes.resize(total);
  std::string decoded;
  if (!DecodeText(bytes, &decoded)) return ReadTextResult::NotText;
  if (IsHtmlExtension(extension)) {
    MarkupText page = HtmlText(decoded, kMaxIndexedTextBytes);
    *text = page.title.empty() ? std::move(page.text) : page.title + " " + page.text;
  } else {
    *text = extension == L"xml" ? StripMarkup(decoded) : std::move(decoded);
  }
  return ReadTextResult::Read;
}

}  // namespace qv::service
