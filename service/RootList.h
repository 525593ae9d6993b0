#pragma once
// The folders whose files the indexer covers. Roots never nest: adding a folder
// inside a root is refused, and adding a folder that holds roots replaces them.

#include <memory>
#include <string>
#include <vector>

#include "service/PathText.h"
#include "service/SqliteDatabase.h"

namespace qv::service {

enum class AddRootResult { Added, AlreadyCovered, NotAFolder };

// What to tell the user when a folder was not added; empty when it was.
std::wstring AddRootRefusal(AddRootResult result, const std::wstring& given);

class RootList {
 public:
  RootList();

  std::vector<std::wstring> All();
  // `replaced` receives the roots the new one takes over.
  AddRootResult Add(const std::wstring& folder, std::vector<std::wstring>* replaced = nullptr);
  bool Remove(const std::wstring& folder);

  // Whether the user ever added or removed a folder (a user who did is not
  // offered the default ones); MarkChosen records that they did.
  bool WereChosen();
  void MarkChosen();

 private:
  std::unique_ptr<SqliteDatabase> db_;
};

}  // namespace qv::service
