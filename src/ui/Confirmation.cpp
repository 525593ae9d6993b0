#include "ui/Confirmation.h"

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
  return MessageBoxA(owner, text, title, MB_YESNO) == IDYES;
}

void ShowInformation(HWND owner, const char* text, const char* title) {
  if (g_answer) {
    g_answer->Record(owner, text, title);
    return;
  }
  MessageBoxA(owner, text, title, MB_ICONINFORMATION);
}

}  // namespace qv
