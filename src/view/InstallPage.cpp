#include "view/InstallPage.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "common/ModulePaths.h"
#include "common/Text.h"
#include "resources/resource.h"

namespace qv {
namespace {

constexpr WORD kHtmlResourceType = 23;  // RT_HTML, the type a res:// address names by default

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The tag's name, lower case, with a leading '/' for an end tag.
std::string TagName(const std::string& tag) {
  std::size_t end = 0;
  while (end < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[end])) || (end == 0 && tag[end] == '/')))
    ++end;
  return Lower(tag.substr(0, end));
}

bool EndsBlock(const std::string& name) {
  static const char* const blocks[] = {"/p", "/h1", "/h2", "/h3", "/li", "/ol", "/ul", "/div", "/title", "br"};
  for (const char* block : blocks)
    if (name == block) return true;
  return false;
}

void AppendText(std::string& out, char c) {
  if (std::isspace(static_cast<unsigned char>(c))) {
    if (!out.empty() && out.back() != ' ' && out.back() != '\n') out += ' ';
    return;
  }
  out += c;
}

void EndLine(std::string& out) {
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (!out.empty() && out.back() != '\n') out += '\n';
}

}  // namespace

std::string InstallPageAddress() {
  // The module's full path, however long, in its own characters: the browser
  // takes the address as UTF-16.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "about:blank";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768) return "about:blank";
    path.resize(path.size() * 2);
  }
  return "res://" + ToUtf8(path) + "/" + IDR_INSTALL_PAGE_NAME;
}

std::string InstallPageText() {
  HMODULE module = ModuleInstance();
  HRSRC resource = FindResourceW(module, ToWide(IDR_INSTALL_PAGE_NAME).c_str(), MAKEINTRESOURCEW(kHtmlResourceType));
  if (!resource) return {};
  HGLOBAL loaded = LoadResource(module, resource);
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!data) return {};
  std::string text = HtmlToPlainText(std::string(data, SizeofResource(module, resource)));
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

std::string HtmlToPlainText(const std::string& html) {
  std::string out;
  std::size_t i = 0;
  while (i < html.size()) {
    char c = html[i];
    if (c == '<') {
      std::size_t close = html.find('>', i);
      if (close == std::string::npos) break;
      std::string name = TagName(html.substr(i + 1, close - i - 1));
      i = close + 1;
      if (name == "head" || name == "script" || name == "style") {
        // Skip everything up to the matching end tag.
        std::size_t end = Lower(html).find("</" + name, i);
        if (end == std::string::npos) break;
        i = html.find('>', end);
        i = i == std::string::npos ? html.size() : i + 1;
      } else if (name == "li") {
        EndLine(out);
        out += "- ";
      } else if (EndsBlock(name)) {
        EndLine(out);
        if (name != "/li" && name != "br") out += '\n';
      }
      continue;
    }
    if (c == '&') {
      static const struct {
        const char* entity;
        char value;
      } entities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&nbsp;", ' '}};
      bool decoded = false;
      for (const auto& entity : entities) {
        std::size_t length = std::strlen(entity.entity);
        if (html.compare(i, length, entity.entity) == 0) {
          out += entity.value;
          i += length;
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    AppendText(out, c);
    ++i;
  }
  EndLine(out);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  std::size_t start = out.find_first_not_of('\n');
  return start == std::string::npos ? std::string() : out.substr(start);
}

}  // namespace qv
