#pragma once
// The folder definition document, quorvane.xml: the tree of search folders and
// each folder's settings. Several processes load the component and share the one
// file: each keeps a parsed copy as a cache, reads it again when the file changed
// (a cheap stamp comparison tells), and makes every change as one
// read-modify-write under a lock shared by all processes, saved atomically.

#include <windows.h>
#include <shtypes.h>
#include <msxml2.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "folders/FileStamp.h"
#include "common/ComBase.h"
#include "pidl/FolderSettings.h"
#include "pidl/ItemIdentifier.h"

namespace qv {

constexpr char kDocumentFileName[] = "quorvane.xml";
constexpr wchar_t kDocumentFileNameW[] = L"quorvane.xml";
constexpr char kFreshDocument[] = "<root name='root'/>";

class CDocumentLock;

// What a save answers when another process changed the file since this process
// read it (the platform's E_CHANGED_STATE).
constexpr HRESULT kDocumentChangedElsewhere = static_cast<HRESULT>(0x8000000CL);
// What a save answers, without writing, when the file in the document's place
// is marked read-only (ERROR_FILE_READ_ONLY), or is a directory or a device
// rather than a file (ERROR_DIRECTORY_NOT_SUPPORTED).
constexpr HRESULT kDocumentReadOnly = static_cast<HRESULT>(0x80070000L | ERROR_FILE_READ_ONLY);
constexpr HRESULT kDocumentNotAFile = static_cast<HRESULT>(0x80070150L);
// What a save answers when the file it wrote did not read back as the document
// (ERROR_FILE_CORRUPT); the previous file stays.
constexpr HRESULT kDocumentNotWrittenWhole = static_cast<HRESULT>(0x80070000L | ERROR_FILE_CORRUPT);

class CFolderStore {
 public:
  // Opens the document at the given path (a missing or damaged file gives the
  // fresh document). Throws ComError when the parser or the lock shared with
  // other processes cannot be created.
  explicit CFolderStore(std::wstring documentPath);
  CFolderStore(const CFolderStore&) = delete;
  CFolderStore& operator=(const CFolderStore&) = delete;
  virtual ~CFolderStore();

  // The document's path in the data directory; empty when it cannot be found.
  static std::wstring DefaultDocumentPath();

  // Reads the file again, whether or not it changed.
  int Load();
  // Writes the whole document; throws ComError when it cannot (the file is then
  // as it was), ComError(kDocumentReadOnly) or ComError(kDocumentNotAFile) for
  // what may not be replaced, and ComError(kDocumentChangedElsewhere) when
  // another process changed the file since this copy was read (writing would
  // undo that change; the copy is read again).
  int Save();
  // Reads the file again when another process changed it since this copy was
  // read or written. Every lookup does this first, with a glance at the file's
  // attributes; every change, with the file's full stamp under the lock.
  void Refresh() const;
  // Counts the versions of the document this process has held: it changes with
  // every load and every save, so a view can tell cheaply that nothing changed.
  unsigned Generation() const;

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

  // Every change below is made to the current file: under the lock shared by all
  // processes, the document is brought up to date, the folder is found afresh,
  // the change applied and the file saved. A folder that another process removed
  // or renamed meanwhile refuses the change (0 or null) and nothing is written.

  // Applies to the document what the new list's folder changes against the old
  // list's (a rename changes the name and nothing else), keeping what another
  // process changed in the other fields, and saves; 0 without a save when the
  // folder is not in the document, nothing changes or the new name is a
  // sibling's.
  int UpdateFolder(LPCITEMIDLIST oldList, LPCITEMIDLIST newList);
  // Reads the stored settings of the folder the list names, lets `change` edit
  // them (false refuses) and writes back only what changed, then saves. 0 when
  // the folder is not in the document or the change is refused; throws
  // ComError when the save fails, with the document left as the file holds it.
  int ChangeFolder(LPCITEMIDLIST list, const std::function<bool(FolderSettings&)>& change);
  // What AddFolder does when a sibling has the name, letter case aside: refuse,
  // or take the first free "name (n)" for n = 1, 2, 3... (refused when that
  // grows past kMaxFolderNameCharacters).
  enum class NameTaken { Refuse, Number };
  // Appends a new folder (name, category "file", and the search string when one
  // is given) to the parent and saves, in one change; null when the parent is
  // gone or, with NameTaken::Refuse, the name is taken. The name is chosen
  // against the siblings the file holds under the lock.
  // Throws ComError(E_POINTER) without a parent.
  ComPtr<IXMLDOMNode> AddFolder(IXMLDOMNode* parent, const char* name, NameTaken taken = NameTaken::Refuse,
                                const char* query = nullptr);
  int RemoveFolder(LPCITEMIDLIST list);
  // Moves the source folder to the end of the destination's children and saves;
  // 0 without change when the destination is the source or lies inside it, or
  // already holds a folder of the source's name.
  int MoveFolder(LPCITEMIDLIST source, LPCITEMIDLIST destination);
  bool HasSubfolders(LPCITEMIDLIST list) const;

  const std::wstring& DocumentPath() const { return path_; }
  IXMLDOMDocument* Document() const { return document_.Get(); }

 private:
  class ChangeScope;

  static ComPtr<IXMLDOMDocument2> CreateParser();
  // Writes the change into the folder's element and saves (inside a change);
  // 0 when the new name is a sibling's.
  int ApplyChange(IXMLDOMNode* node, const FolderSettings& stored, const FolderSettings& updated);
  // Parses the file into a new parser document that replaces the current one;
  // nodes handed out before stay valid as a snapshot of the old version.
  int LoadCurrentFile() const;
  void RefreshFromFile(bool thorough) const;
  void SetDamagedFileAside();
  void WriteFile();
  // Throws ComError(kDocumentNotWrittenWhole) unless the file parses back to
  // exactly the serialised text.
  static void VerifyWrittenFile(const std::wstring& file, const std::wstring& text);

  std::wstring path_;
  std::unique_ptr<CDocumentLock> lock_;
  mutable ComPtr<IXMLDOMDocument2> document_;
  // The file as this copy last read or wrote it.
  mutable FileStamp loaded_;
  mutable FileGlance glanced_;
  mutable unsigned generation_ = 0;
  // The file existed but did not parse: it is kept aside before the first save.
  mutable bool damagedFileOnDisk_ = false;
};

}  // namespace qv
