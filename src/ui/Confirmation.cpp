#include "ui/Confirmation.h"

namespace qv {
namespace {
ScopedConfirmationAnswer* g_answer = nullptr;
}

ScopedConfirmationAnswer::ScopedConfirmationAnswer(bool answer) : answer_(answer), previous_(g_answer) {
  g_answer = this;
}

ScopedConfirmationAnswer::~ScopedConfirmationAnswer() { g_answer = previous_; }

bool AskYesNo(HWND owner, const char* text, const char* title) {
  if (g_answer) {
    ++g_answer->count_;
    g_answer->text_ = text ? text : "";
    g_answer->title_ = title ? title : "";
    g_answer->owner_ = owner;
    return g_answer->answer_;
  }
  return MessageBoxA(owner, text, title, MB_YESNO) == IDYES;
}

}  // namespace qv
