#include "service/filters/FilterRegistry.h"

#include <objbase.h>

#include "common/RegistryWriter.h"

namespace qv::service {
namespace {

constexpr wchar_t kFilterAddin[] = L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}";

std::wstring ClassesValue(const std::wstring& path) { return ReadRegistryString(HKEY_CLASSES_ROOT, path, nullptr); }

std::optional<CLSID> ParseClass(const std::wstring& text) {
  CLSID id;
  if (text.size() != 38 || text.front() != L'{' || FAILED(CLSIDFromString(text.c_str(), &id))) return std::nullopt;
  return id;
}

// The persistent handler of an extension: its own, else its ProgID's, else
// that of the ProgID's class.
std::optional<CLSID> PersistentHandlerOf(const std::wstring& extension) {
  std::wstring key = L"." + extension;
  if (auto handler = ParseClass(ClassesValue(key + L"\\PersistentHandler"))) return handler;
  std::wstring progId = ClassesValue(key);
  // A ProgID is a key name of its own, never a path.
  if (progId.empty() || progId.find(L'\\') != std::wstring::npos) return std::nullopt;
  if (auto handler = ParseClass(ClassesValue(progId + L"\\PersistentHandler"))) return handler;
  std::optional<CLSID> type = ParseClass(ClassesValue(progId + L"\\CLSID"));
  if (!type) return std::nullopt;
  return ParseClass(ClassesValue(L"CLSID\\" + GuidString(*type) + L"\\PersistentHandler"));
}

}  // namespace

std::optional<CLSID> RegisteredFilterClass(const std::wstring& extension) {
  if (extension.empty() || extension.find_first_of(L"\\/") != std::wstring::npos) return std::nullopt;
  std::optional<CLSID> handler = PersistentHandlerOf(extension);
  if (!handler) return std::nullopt;
  return ParseClass(ClassesValue(L"CLSID\\" + GuidString(*handler) + kFilterAddin));
}

}  // namespace qv::service
