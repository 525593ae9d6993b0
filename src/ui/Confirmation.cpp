#include "ui/Confirmation.h"

#include "common/Text.h"
#include "ui/CFolderPropertiesDialog.h"

namespace qv {
namespace {
ScopedConfirmationAnswer* g_answer = nullptr;
}

ScopedConfirmationAnswer::ScopedConfirmationAnswer(bool answer) : answer_(answer), previous_(g_answer) {
  g_answer = this;
}

ScopedConfirmationAnswer::~ScopedConfirmationAnswer() { g_answer = previous_; }

void ScopedConfirmationAnswer::Record(HWND owner, const char* text, const char* title) {
  ++count_;
  text_ = text ? text : "";
  title_ = title ? title : "";
  owner_ = owner;
}

bool AskYesNo(HWND owner, const char* text, const char* title) {
  if (g_answer) {
    g_answer->Record(owner, text, title);
    return g_answer->answer_;
  }
  return MessageBoxW(owner, ToWide(text).c_str(), ToWide(title).c_str(), MB_YESNO) == IDYES;
}

void ShowInformation(HWND owner, const char* text, const char* title) {
  if (g_answer) {
    g_answer->Record(owner, text, title);
    return;
  }
  MessageBoxW(owner, ToWide(text).c_str(), ToWide(title).c_str(), MB_ICONINFORMATION);
}

bool CMessageBoxPrompts::Confirm(HWND owner, const std::string& text, const std::string& title) {
  return AskYesNo(owner, text.c_str(), title.c_str());
}

void CMessageBoxPrompts::Inform(HWND owner, const std::string& text, const std::string& title) {
  ShowInformation(owner, text.c_str(), title.c_str());
}

void CMessageBoxPrompts::ShowFolderProperties(HWND, LPCITEMIDLIST holderList, LPCITEMIDLIST folderList) {
  ShowFolderPropertiesDialog(holderList, folderList);
}

IOperationPrompts& MessageBoxPrompts() {
  class ModulePrompts final : public CMessageBoxPrompts {};
  static ModulePrompts prompts;
  return prompts;
}

}  // namespace qv
