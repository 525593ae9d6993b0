#include "service/query/KindTable.h"

#include <windows.h>

namespace qv::service {
namespace {

struct Kind {
  const wchar_t* name;
  std::vector<std::wstring> extensions;
};

const std::vector<Kind>& Kinds() {
  static const std::vector<Kind> kinds = {
      {L"document", {L"doc", L"docx", L"docm", L"dot", L"dotx", L"odt", L"ott", L"rtf", L"pdf", L"wpd", L"wps", L"pages"}},
      {L"spreadsheet", {L"xls", L"xlsx", L"xlsm", L"xlsb", L"xlt", L"xltx", L"ods", L"ots", L"csv", L"numbers"}},
      {L"presentation", {L"ppt", L"pptx", L"pptm", L"pps", L"ppsx", L"pot", L"potx", L"odp", L"otp", L"key"}},
      {L"picture", {L"jpg", L"jpeg", L"png", L"gif", L"bmp", L"tif", L"tiff", L"webp", L"heic", L"heif", L"svg",
                    L"ico", L"psd", L"raw", L"cr2", L"nef", L"arw", L"dng"}},
      {L"music", {L"mp3", L"wav", L"flac", L"aac", L"m4a", L"ogg", L"oga", L"opus", L"wma", L"aif", L"aiff", L"mid",
                  L"midi"}},
      {L"video", {L"mp4", L"m4v", L"mov", L"avi", L"mkv", L"wmv", L"webm", L"mpg", L"mpeg", L"3gp", L"flv"}},
      {L"archive", {L"zip", L"7z", L"rar", L"tar", L"gz", L"tgz", L"bz2", L"xz", L"cab", L"iso"}},
      {L"email", {L"eml", L"msg", L"mbox", L"emlx"}},
      {L"text", {L"txt", L"text", L"md", L"markdown", L"log", L"ini", L"cfg", L"conf", L"rst"}},
      {L"code", {L"c", L"h", L"cpp", L"cc", L"cxx", L"hpp", L"hxx", L"cs", L"java", L"js", L"ts", L"jsx", L"tsx",
                 L"py", L"rb", L"go", L"rs", L"php", L"swift", L"kt", L"m", L"mm", L"sh", L"ps1", L"bat", L"cmd",
                 L"sql", L"html", L"htm", L"css", L"xml", L"json", L"yaml", L"yml", L"lua", L"pl", L"r", L"scala"}},
  };
  return kinds;
}

}  // namespace

bool KindExtensions(const std::wstring& kind, std::vector<std::wstring>* extensions) {
  for (const Kind& entry : Kinds()) {
    if (CompareStringOrdinal(kind.c_str(), static_cast<int>(kind.size()), entry.name, -1, TRUE) == CSTR_EQUAL) {
      *extensions = entry.extensions;
      return true;
    }
  }
  return false;
}

std::vector<std::wstring> KindNames() {
  std::vector<std::wstring> names;
  for (const Kind& entry : Kinds()) names.emplace_back(entry.name);
  return names;
}

}  // namespace qv::service
