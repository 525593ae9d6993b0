#include "search/SearchResultItem.h"

#include <new>

#include "common/Holders.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "pidl/FolderSettings.h"
#include "search/SearchQuery.h"

namespace qv {
namespace {

// The text a property holds, with its whole length; empty for a value that is
// not text.
std::wstring TextOf(const Variant& value) {
  if (value.Type() != VT_BSTR || !V_BSTR(value.Get())) return {};
  return std::wstring(V_BSTR(value.Get()), SysStringLen(V_BSTR(value.Get())));
}

std::wstring ReadTitle(IDesktopSearchResult* result) {
  try {
    Variant title;
    GetResultProperty(result, L"title", title);
    return TextOf(title);
  } catch (const ComError&) {
    return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// At most `characters` characters, never ending inside a surrogate pair.
std::wstring CutCharacters(const std::wstring& text, std::size_t characters) {
  std::size_t units = 0;
  for (std::size_t counted = 0; units < text.size() && counted < characters; ++counted) {
    units += IS_HIGH_SURROGATE(text[units]) && units + 1 < text.size() ? 2 : 1;
  }
  return text.substr(0, units);
}

}  // namespace

SearchResultText ReadSearchResult(IDesktopSearchResult* result) {
  Variant uri;
  GetResultProperty(result, L"uri", uri);
  std::wstring path = TextOf(uri);
  // Text after an embedded NUL cannot be part of a file's path.
  path = path.substr(0, path.find(L'\0'));

  std::wstring title = ReadTitle(result);
  title = CutCharacters(title.substr(0, title.find(L'\0')), kMaxFolderNameCharacters);
  // A title that is itself a drive path, or just the path again, says nothing more
  // than the file name.
  if (title.empty() || (title.size() > 1 && title[1] == L':') || title == path) {
    std::size_t slash = path.find_last_of(L'\\');
    title = CutCharacters(slash == std::wstring::npos ? path : path.substr(slash + 1), kMaxFolderNameCharacters);
  }
  return SearchResultText{ToUtf8(title), ToUtf8(path)};
}

LPITEMIDLIST CPidlManager::CreateResultItem(IDesktopSearchResult* result) {
  SearchResultText text = ReadSearchResult(result);
  return CreateResultItem(text.name, text.path, RegisterFilePath(text.path));
}

}  // namespace qv
