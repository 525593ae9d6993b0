#pragma once
// The folder definition document, quorvane.xml: the tree of search folders and
// each folder's settings, parsed once per process with MSXML 3.0 and written back
// whole by every operation that changes it.

#include <windows.h>
#include <shtypes.h>
#include <msxml2.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "module/ComBase.h"
#include "pidl/ItemIdentifier.h"

namespace qv {

constexpr char kDocumentFileName[] = "quorvane.xml";
constexpr char kFreshDocument[] = "<root name='root'/>";

class CFolderStore {
 public:
  // Opens the document at the given path (a missing or damaged file gives the
  // fresh document). Throws ComError when the parser cannot be created.
  explicit CFolderStore(std::string documentPath);
  CFolderStore(const CFolderStore&) = delete;
  CFolderStore& operator=(const CFolderStore&) = delete;
  virtual ~CFolderStore();

  // The document's path in the module directory; empty when it cannot be found.
  static std::string DefaultDocumentPath();

  int Load();
  // Writes the whole document; throws ComError when it cannot.
  int Save();

  // The XPath location path of the folder a list names ("" for a list whose
  // first item is a result identifier, or an empty list).
  static std::string BuildFolderPath(LPCITEMIDLIST list);
  // An XPath string literal that stands for exactly the given text.
  static std::string XPathLiteral(const std::string& text);

  ComPtr<IXMLDOMNode> FindFolderNode(LPCITEMIDLIST list) const;
  ComPtr<IXMLDOMNode> FindChildFolder(IXMLDOMNode* parent, const char* name) const;

  static std::size_t GetNodeName(IXMLDOMNode* node, char* buffer, std::size_t capacity);
  static std::size_t GetNodeValue(IXMLDOMNode* node, char* buffer, std::size_t capacity);
  static std::size_t GetNodeAttribute(IXMLDOMNode* node, const char* attribute, char* buffer, std::size_t capacity);
  static std::int32_t GetNodeAttributeInt(IXMLDOMNode* node, const char* attribute, std::int32_t fallback);
  static int SetNodeAttribute(IXMLDOMNode* node, const char* attribute, const char* text);
  static int SetNodeAttributeInt(IXMLDOMNode* node, const char* attribute, std::int32_t value);

  static int ReadFolderRecord(SearchFolderRecord& record, IXMLDOMNode* node);
  static int WriteFolderRecord(IXMLDOMNode* node, const SearchFolderRecord& record);

  int UpdateFolder(LPCITEMIDLIST oldList, LPCITEMIDLIST newList);
  int SaveFolderSettings(LPCITEMIDLIST list);
  // Appends a new folder (name, category "file") to the parent and saves.
  // Throws ComError(E_POINTER) without a parent.
  ComPtr<IXMLDOMNode> AddFolder(IXMLDOMNode* parent, const char* name);
  int RemoveFolder(LPCITEMIDLIST list);
  // Moves the source folder to the end of the destination's children and saves;
  // 0 without change when the destination is the source or lies inside it.
  int MoveFolder(LPCITEMIDLIST source, LPCITEMIDLIST destination);
  bool HasSubfolders(LPCITEMIDLIST list) const;

  const std::string& DocumentPath() const { return path_; }
  IXMLDOMDocument* Document() const { return document_.Get(); }

 private:
  void SetDamagedFileAside();

  std::string path_;
  ComPtr<IXMLDOMDocument2> document_;
  // The file existed but did not parse: it is kept aside before the first save.
  bool damagedFileOnDisk_ = false;
};

}  // namespace qv
