#include "operations/FileTypeFilter.h"

#include <cstring>

#include "common/Text.h"
#include "pidl/FolderSettings.h"

namespace qv {
namespace {

constexpr std::size_t kMaxExtensionLength = 5;

std::optional<std::string> Rewrite(const std::string& query, const char* operatorText, const std::string& extension) {
  std::string rewritten = query + " " + operatorText + extension;
  if (CharacterCount(rewritten) > kMaxQueryCharacters) return std::nullopt;
  return rewritten;
}

}  // namespace

std::optional<std::string> FileTypeExtension(const char* filePath) {
  if (!filePath) return std::nullopt;
  const char* dot = std::strrchr(filePath, '.');
  if (!dot) return std::nullopt;
  std::string extension = dot + 1;
  if (extension.empty() || extension.size() > kMaxExtensionLength ||
      extension.find_first_of("\\/") != std::string::npos) {
    return std::nullopt;
  }
  return extension;
}

std::optional<std::string> ShowOnlyQuery(const std::string& query, const std::string& extension) {
  return Rewrite(query, "filetype:", extension);
}

std::optional<std::string> HideQuery(const std::string& query, const std::string& extension) {
  return Rewrite(query, "-filetype:", extension);
}

std::string FileTypeFolderName(const std::string& extension) {
  std::string name = extension + " files";
  while (CharacterCount(name) > kMaxFolderNameCharacters) name = CutText(name, name.size() - 1);
  return name;
}

}  // namespace qv
