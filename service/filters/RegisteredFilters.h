#pragma once
// The formats none of our readers knows, read through the filter another
// program registered for them. Our readers come first: an extension they
// read (text, HTML, the office formats, RTF, e-mail, PDF) is never handed to a
// filter, the system's own plain-text filter included. Every filter runs in
// the filter host, never in this process; one that crashes or hangs costs the
// file it was reading, which counts as "filter failed" and is not read again
// until it changes.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace qv::service {

enum class ReadTextResult;
class FilterHostProcess;

// True when a filter is registered for an extension none of our readers handles.
bool HasRegisteredFilter(const std::wstring& extension);

// One pass's filters: each extension looked up once, one host serving the files.
class RegisteredFilters {
 public:
  RegisteredFilters();
  RegisteredFilters(const RegisteredFilters&) = delete;
  RegisteredFilters& operator=(const RegisteredFilters&) = delete;
  ~RegisteredFilters();

  bool Handles(const std::wstring& extension);
  // The file's text through its filter, at most `limit` bytes of UTF-8.
  // FilterFailed when the filter crashed or hung; Unreadable when no host
  // could be started or the file is locked.
  ReadTextResult Read(const std::wstring& path, const std::wstring& extension, std::size_t limit, std::string* text);

 private:
  std::unordered_map<std::wstring, std::optional<CLSID>> classes_;
  std::unique_ptr<FilterHostProcess> host_;
};

}  // namespace qv::service
