#pragma once
// The component's message boxes (the delete confirmations and the About box) go
// through one seam so that tests can answer them without a person.

#include <windows.h>

#include <string>

#include "operations/IOperationPrompts.h"

namespace qv {

// The texts are UTF-8.
// Asks with a Yes/No message box owned by `owner` (may be null); true for Yes.
bool AskYesNo(HWND owner, const char* text, const char* title);

// Shows an information message box owned by `owner` (may be null).
void ShowInformation(HWND owner, const char* text, const char* title);

// The prompts of an operation run from a window with nothing more to offer:
// message boxes over the owner and the folder properties dialog.
class CMessageBoxPrompts : public IOperationPrompts {
 public:
  bool Confirm(HWND owner, const std::string& text, const std::string& title) override;
  void Inform(HWND owner, const std::string& text, const std::string& title) override;
  void ShowFolderProperties(HWND owner, LPCITEMIDLIST holderList, LPCITEMIDLIST folderList) override;

 protected:
  ~CMessageBoxPrompts() = default;
};

// One such object for the module.
IOperationPrompts& MessageBoxPrompts();

// For tests: answers every question with `answer` while alive and remembers what
// was asked or shown.
class ScopedConfirmationAnswer {
 public:
  explicit ScopedConfirmationAnswer(bool answer);
  ScopedConfirmationAnswer(const ScopedConfirmationAnswer&) = delete;
  ScopedConfirmationAnswer& operator=(const ScopedConfirmationAnswer&) = delete;
  ~ScopedConfirmationAnswer();

  int Count() const { return count_; }
  const std::string& LastText() const { return text_; }
  const std::string& LastTitle() const { return title_; }
  HWND LastOwner() const { return owner_; }

 private:
  friend bool AskYesNo(HWND, const char*, const char*);
  friend void ShowInformation(HWND, const char*, const char*);
  void Record(HWND owner, const char* text, const char* title);
  bool answer_;
  int count_ = 0;
  std::string text_;
  std::string title_;
  HWND owner_ = nullptr;
  ScopedConfirmationAnswer* previous_;
};

}  // namespace qv
