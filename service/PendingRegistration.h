#pragma once
// A component registration between the registrar's start and finish calls: what
// the component said about itself and the cookies issued to it so far. Only
// the finish call makes it permanent.

#include <windows.h>

#include <string>

#include "service/RegistrationStore.h"

namespace qv::service {

class PendingRegistration {
 public:
  PendingRegistration() { InitializeSRWLock(&lock_); }

  // Starts over for a component; replaces any unfinished registration.
  void Start(ComponentRegistration registration);
  bool IsStarted();
  // Issues a cookie to the component being registered; false when `guid` is not
  // that component or no registration was started.
  bool IssueCookie(const std::wstring& guid, RegistrationStore& store, LONG* cookie);
  // Saves the registration; false when none was started.
  bool Finish(RegistrationStore& store);

 private:
  SRWLOCK lock_;
  bool started_ = false;
  ComponentRegistration registration_;
};

// Reads a component description: a one-dimensional array of VARIANT strings
// alternating key and value ("Title", "Description", "Icon"; other keys are
// kept out). An absent description is empty. False when it is not such an array.
bool ReadComponentDescription(const VARIANT& description, ComponentRegistration* registration);

}  // namespace qv::service
