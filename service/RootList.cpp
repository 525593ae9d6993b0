#include "service/RootList.h"

#include <windows.h>

#include "service/ServiceDatabase.h"

namespace qv::service {

std::wstring AddRootRefusal(AddRootResult result, const std::wstring& given) {
  switch (result) {
    case AddRootResult::NotAFolder: return L"Not a folder: " + given;
    case AddRootResult::AlreadyCovered: return L"Already indexed as part of another folder: " + given;
    default: return {};
  }
}

RootList::RootList() : db_(OpenServiceDatabase()) {}

std::vector<std::wstring> RootList::All() {
  std::vector<std::wstring> roots;
  SqliteStatement select = db_->Prepare("SELECT path FROM roots ORDER BY path");
  while (select.Step()) roots.push_back(select.Text(0));
  return roots;
}

AddRootResult RootList::Add(const std::wstring& folder, std::vector<std::wstring>* replaced) {
  std::wstring root = NormalizeFolderPath(folder);
  DWORD attributes = root.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(root.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return AddRootResult::NotAFolder;
  }
  std::vector<std::wstring> existing = All();
  for (const std::wstring& other : existing) {
    if (IsInsideFolder(root, other)) return AddRootResult::AlreadyCovered;
  }
  SqliteTransaction transaction(*db_);
  SqliteStatement remove = db_->Prepare("DELETE FROM roots WHERE path = ?1");
  for (const std::wstring& other : existing) {
    if (!IsInsideFolder(other, root)) continue;
    remove.Bind(1, other).Run();
    if (replaced) replaced->push_back(other);
  }
  db_->Prepare("INSERT INTO roots(path) VALUES(?1)").Bind(1, root).Run();
  MarkChosen();
  transaction.Commit();
  return AddRootResult::Added;
}

bool RootList::Remove(const std::wstring& folder) {
  std::wstring root = NormalizeFolderPath(folder);
  db_->Prepare("DELETE FROM roots WHERE path = ?1").Bind(1, root).Run();
  bool removed = db_->ScalarInteger("SELECT changes()") > 0;
  if (removed) MarkChosen();
  return removed;
}

bool RootList::WereChosen() { return db_->ScalarInteger("SELECT count(*) FROM settings WHERE key = 'folders_chosen'") > 0; }

void RootList::MarkChosen() {
  db_->Execute("INSERT OR REPLACE INTO settings(key, value) VALUES('folders_chosen', 1)");
}

}  // namespace qv::service
