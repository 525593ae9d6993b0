#include "search/SearchResultItem.h"

#include <cstring>
#include <new>

#include "module/Holders.h"
#include "module/Text.h"
#include "pidl/CPidlManager.h"
#include "search/SearchQuery.h"

namespace qv {
namespace {

// The text a property holds; empty for a value that is not text.
const wchar_t* TextOf(const Variant& value) {
  return value.Type() == VT_BSTR && V_BSTR(value.Get()) ? V_BSTR(value.Get()) : L"";
}

// The title as the record's name; false when there is no usable title.
bool ReadTitle(IDesktopSearchResult* result, char* name) {
  try {
    Variant title;
    GetResultProperty(result, L"title", title);
    return WideToAnsi(TextOf(title), name, kNameSize) > 0;
  } catch (const ComError&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The part of a path after its last backslash (the whole path without one),
// stepping over double-byte characters whose second byte looks like a backslash.
const char* FileNamePart(const char* path) {
  const char* after = path;
  for (const char* p = path; *p; p = CharNextA(p)) {
    if (*p == '\\') after = p + 1;
  }
  return after;
}

}  // namespace

void FillResultRecord(IDesktopSearchResult* result, ResultRecord& record, CPidlManager* manager) {
  std::memset(&record, 0, sizeof record);
  record.kind = kResultKind;

  Variant uri;
  GetResultProperty(result, L"uri", uri);
  WideToAnsi(TextOf(uri), record.filePath, kPathSize);

  bool useFileName = !ReadTitle(result, record.name);
  // A title that is itself a drive path, or just the path again, says nothing more
  // than the file name.
  if (!useFileName) useFileName = record.name[1] == ':' || std::strcmp(record.name, record.filePath) == 0;
  if (useFileName) {
    std::memset(record.name, 0, kNameSize);
    CopyAnsi(FileNamePart(record.filePath), record.name, kNameSize);
  }

  record.fileIdList = manager ? manager->RegisterFilePath(record.filePath) : 0;
}

LPITEMIDLIST CPidlManager::CreateResultItem(IDesktopSearchResult* result) {
  ResultRecord record;
  FillResultRecord(result, record, this);
  return CreateResultItem(record);
}

}  // namespace qv
