#pragma once
// What the component's benchmarks stand on: a data directory whose document holds
// one "file" search folder, "Bench", the module objects over it, the stand-in
// search service, and the shell's desktop folder for the plain side.

#include <windows.h>
#include <shlobj.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "runtime/ModuleObjects.h"
#include "pidl/CPidlManager.h"
#include "support/SearchStub.h"
#include "support/TempDirectory.h"

namespace qv::bench {

class BenchFolder {
 public:
  // Throws std::runtime_error without the module objects or the desktop folder.
  BenchFolder() : objects_(WriteDocument(tree_)) {
    if (!ThePidlManager() || FAILED(SHGetDesktopFolder(desktop_.Put())))
      throw std::runtime_error("the module objects or the desktop folder are missing");
  }

  IShellFolder* Desktop() const { return desktop_.Get(); }
  test::TempDirectory& Tree() { return tree_; }

  // Makes `count` files (see MakeNumberedFiles) and has the service answer each
  // as a result of the folder; their directory.
  std::string ServeNumberedFiles(int count, int perDirectory = 0) {
    std::vector<std::wstring> paths;
    std::string directory = test::MakeNumberedFiles(tree_, count, paths, perDirectory);
    service_.Reset();
    for (const std::wstring& path : paths) service_.AddResult(path, path.substr(path.rfind(L'\\') + 1));
    return directory;
  }

 private:
  static std::string WriteDocument(const test::TempDirectory& tree) {
    test::WriteFileText(tree.File("quorvane.xml"),
                        "<root name='root'><folder name='Bench' query='bench' category='file' maxResults='0'/></root>");
    return tree.Path();
  }

  test::TempDirectory tree_;
  ScopedModuleObjects objects_;
  test::SearchStub service_;
  ComPtr<IShellFolder> desktop_;
};

}  // namespace qv::bench
