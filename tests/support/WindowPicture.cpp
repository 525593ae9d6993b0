#include "support/WindowPicture.h"

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

}  // namespace

bool SaveWindowPicture(HWND window, const std::wstring& path, bool whole) {
  RECT area = {};
  if (whole) {
    GetWindowRect(window, &area);
    OffsetRect(&area, -area.left, -area.top);
  } else {
    GetClientRect(window, &area);
  }
  // The whole window as the screen shows it (its frame is drawn there); the
  // client area from the window itself.
  RECT onScreen = {};
  GetWindowRect(window, &onScreen);
  HDC source = whole ? GetDC(nullptr) : GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, area.right, area.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // Children paint themselves into the picture, as they do on the screen.
  if (!whole) PrintWindow(window, memory, PW_CLIENTONLY);
  BitBlt(memory, 0, 0, area.right, area.bottom, source, whole ? onScreen.left : 0, whole ? onScreen.top : 0, SRCCOPY);
  SelectObject(memory, old);
  bool saved = SavePng(bitmap, path);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(whole ? nullptr : window, source);
  return saved && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring PictureInWorkingDirectory(const wchar_t* name) {
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  return std::wstring(directory) + L"\\" + name;
}

}  // namespace qv::test
