#include "service/TextExtractor.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "common/Holders.h"
#include "service/PathText.h"
#include "service/extract/DocumentText.h"

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

}  // namespace

bool IsTextExtension(const std::wstring& extension) {
  return IsDocumentExtension(extension) ||
         std::find_if(std::begin(kTextExtensions), std::end(kTextExtensions),
                      [&](const wchar_t* known) { return extension == known; }) != std::end(kTextExtensions);
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
  bool cutOff = false;
  PlainKind kind = IsHtmlExtension(extension) ? PlainKind::Html : extension == L"xml" ? PlainKind::Xml : PlainKind::Text;
  if (!PlainFileText(bytes, kind, kMaxIndexedTextBytes, text, &cutOff)) return ReadTextResult::NotText;
  return ReadTextResult::Read;
}

}  // namespace qv::service
