// Saves a picture of a filled view in Report mode, for a person to look at:
// view-report.png in the test's working directory (the build tree's tests folder).

#include <string>

#include "view/ViewFixture.h"

namespace qv::test {
namespace {

struct GdiplusStartupInput {
  UINT32 version = 1;
  void* debugCallback = nullptr;
  BOOL suppressBackgroundThread = FALSE;
  BOOL suppressExternalCodecs = FALSE;
};
using StartupFn = int(WINAPI*)(ULONG_PTR*, const GdiplusStartupInput*, void*);
using ShutdownFn = void(WINAPI*)(ULONG_PTR);
using FromBitmapFn = int(WINAPI*)(HBITMAP, HPALETTE, void**);
using SaveFn = int(WINAPI*)(void*, const WCHAR*, const CLSID*, const void*);
using DisposeFn = int(WINAPI*)(void*);

// {557CF406-1A04-11D3-9A73-0000F81EF32E}
constexpr CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

bool SavePng(HBITMAP bitmap, const std::wstring& path) {
  HMODULE gdiplus = LoadLibraryA("gdiplus.dll");
  if (!gdiplus) return false;
  auto startup = reinterpret_cast<StartupFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdiplusStartup")));
  auto shutdown = reinterpret_cast<ShutdownFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdiplusShutdown")));
  auto fromBitmap = reinterpret_cast<FromBitmapFn>(
      reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipCreateBitmapFromHBITMAP")));
  auto save = reinterpret_cast<SaveFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipSaveImageToFile")));
  auto dispose = reinterpret_cast<DisposeFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipDisposeImage")));
  bool saved = false;
  ULONG_PTR token = 0;
  GdiplusStartupInput input;
  if (startup && shutdown && fromBitmap && save && dispose && startup(&token, &input, nullptr) == 0) {
    void* image = nullptr;
    if (fromBitmap(bitmap, nullptr, &image) == 0) {
      saved = save(image, path.c_str(), &kPngEncoder, nullptr) == 0;
      dispose(image);
    }
    shutdown(token);
  }
  FreeLibrary(gdiplus);
  return saved;
}

TEST_F(ViewTest, SavesScreenshotOfFilledReportView) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  for (const char* name : {"notes.md", "plan.txt", "slides.ppt"})
    folder->AddResult(name, std::string("C:\\work\\") + name);
  ComPtr<IShellView> view = Open(folder.Get());
  ASSERT_NE(nullptr, ListOf(view.Get()));
  view->UIActivate(SVUIA_ACTIVATE_FOCUS);
  ListView_SetItemState(ListOf(view.Get()), 3, LVIS_SELECTED, LVIS_SELECTED);
  RedrawWindow(browser_->Frame(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages();

  RECT area = {};
  GetClientRect(browser_->Frame(), &area);
  HDC window = GetDC(browser_->Frame());
  HDC memory = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, area.right, area.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // Children paint themselves into the picture, as they do on the screen.
  PrintWindow(browser_->Frame(), memory, PW_CLIENTONLY);
  BitBlt(memory, 0, 0, area.right, area.bottom, window, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  std::wstring path = std::wstring(directory) + L"\\view-report.png";
  EXPECT_TRUE(SavePng(bitmap, path));
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(browser_->Frame(), window);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
}

}  // namespace
}  // namespace qv::test
