#pragma once
// A world for code that talks to the desktop search service: the module objects
// on a fresh data directory (quorvane.xml and the cookie file live there), the
// stand-in service installed with an empty script, and the cookie at 0.

#include <gtest/gtest.h>

#include <string>

#include "folders/CFolderStore.h"
#include "runtime/ModuleObjects.h"
#include "search/RegistrationCookie.h"
#include "support/SearchStub.h"
#include "support/TempDirectory.h"

namespace qv::test {

class SearchServiceTest : public testing::Test {
 protected:
  SearchServiceTest() : objects_(dir_.Path()) { SetRegistrationCookie(0); }
  ~SearchServiceTest() override { SetRegistrationCookie(0); }

  // Replaces the folder definition document and has the store read it.
  void UseDocument(const std::string& xml) {
    WriteFileText(dir_.File(kDocumentFileName), xml);
    TheFolderStore()->Load();
  }
  std::string CookieFilePath() const { return dir_.File(kCookieFileName); }
  std::string CookieFileText() const { return ReadFileText(CookieFilePath()); }

  TempDirectory dir_;
  ScopedModuleObjects objects_;
  SearchStub stub_;
};

}  // namespace qv::test
