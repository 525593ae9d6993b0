#pragma once
// Answers the component's Yes/No questions in this process the way a person
// would: Yes. For programs where the component is loaded from its DLL, whose
// own test seam cannot be reached.

#include <windows.h>

#include <string>
#include <thread>

namespace qv::test {

class ConfirmationAnswerer {
 public:
  ConfirmationAnswerer()
      : thread_([this] {
          while (!stop_) {
            EnumWindows(&AnswerYes, 0);
            Sleep(20);
          }
        }) {}
  ~ConfirmationAnswerer() {
    stop_ = true;
    thread_.join();
  }

 private:
  // A WNDENUMPROC: a lambda does not convert to the 32-bit stdcall pointer.
  static BOOL CALLBACK AnswerYes(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == GetCurrentProcessId() && std::string(className) == "#32770" && IsWindowVisible(window)) {
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    }
    return TRUE;
  }

  volatile bool stop_ = false;
  std::thread thread_;
};

}  // namespace qv::test
