#pragma once
// The folder definition document, quorvane.xml: the tree of search folders and
// each folder's settings, parsed once per process with MSXML 3.0 and written back
// whole by every operation that changes it.

#include <windows.h>
#include <shtypes.h>
#include <msxml2.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "module/ComBase.h"
#include "pidl/FolderSettings.h"
#include "pidl/ItemIdentifier.h"

namespace qv {

constexpr char kDocumentFileName[] = "quorvane.xml";
constexpr char kFreshDocument[] = "<root name='root'/>";

class CFolderStore {
 public:
  // Opens the document at the given path (a missing or damaged file gives the
  // fresh document). Throws ComError when the parser cannot be created.
  explicit CFolderStore(std::wstring documentPath);
  CFolderStore(const CFolderStore&) = delete;
  CFolderStore& operator=(const CFolderStore&) = delete;
  virtual ~CFolderStore();

  // The document's path in the data directory; empty when it cannot be found.
  static std::wstring DefaultDocumentPath();

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

  // True when the parent has a folder of this name, letter case aside, other
  // than the one named exactly `except` (the folder being renamed): two such
  // siblings could not both be folders of a file system.
  bool HasChildNamed(IXMLDOMNode* parent, const std::string& name, const std::string& except = {}) const;

  static std::size_t GetNodeName(IXMLDOMNode* node, char* buffer, std::size_t capacity);
  static std::size_t GetNodeValue(IXMLDOMNode* node, char* buffer, std::size_t capacity);
  static std::size_t GetNodeAttribute(IXMLDOMNode* node, const char* attribute, char* buffer, std::size_t capacity);
  static std::int32_t GetNodeAttributeInt(IXMLDOMNode* node, const char* attribute, std::int32_t fallback);
  static int SetNodeAttribute(IXMLDOMNode* node, const char* attribute, const char* text);
  static int SetNodeAttributeInt(IXMLDOMNode* node, const char* attribute, std::int32_t value);

  // An attribute's UTF-8 text ("" when absent).
  static std::string NodeAttributeText(IXMLDOMNode* node, const char* attribute);
  // A folder element's settings, with the defaults of absent attributes.
  static FolderSettings ReadFolderSettings(IXMLDOMNode* node);
  // Writes the settings into the element: all of them, or with `stored` only
  // those that differ from it.
  static int WriteFolderSettings(IXMLDOMNode* node, const FolderSettings& settings,
                                 const FolderSettings* stored = nullptr);

  // Applies to the document what the new list's folder changes against the old
  // list's (a rename changes the name and nothing else) and saves; 0 without a
  // save when the folder is not in the document or nothing changes.
  int UpdateFolder(LPCITEMIDLIST oldList, LPCITEMIDLIST newList);
  // Reads the stored settings of the folder the list names, lets `change` edit
  // them (false refuses) and writes back only what changed, then saves. 0 when
  // the folder is not in the document or the change is refused; throws
  // ComError when the save fails, with the document left as the file holds it.
  int ChangeFolder(LPCITEMIDLIST list, const std::function<bool(FolderSettings&)>& change);
  // Appends a new folder (name, category "file") to the parent and saves.
  // Throws ComError(E_POINTER) without a parent.
  ComPtr<IXMLDOMNode> AddFolder(IXMLDOMNode* parent, const char* name);
  int RemoveFolder(LPCITEMIDLIST list);
  // Moves the source folder to the end of the destination's children and saves;
  // 0 without change when the destination is the source or lies inside it.
  int MoveFolder(LPCITEMIDLIST source, LPCITEMIDLIST destination);
  bool HasSubfolders(LPCITEMIDLIST list) const;

  const std::wstring& DocumentPath() const { return path_; }
  IXMLDOMDocument* Document() const { return document_.Get(); }

 private:
  void SetDamagedFileAside();

  std::wstring path_;
  ComPtr<IXMLDOMDocument2> document_;
  // The file existed but did not parse: it is kept aside before the first save.
  bool damagedFileOnDisk_ = false;
};

}  // namespace qv
