#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"
#include "support/TestItemList.h"

namespace qv {
namespace {

using test::TestItemList;

// A 32 x 32 icon file of one opaque colour (0xRRGGBB).
void WriteSolidIcon(const std::string& path, DWORD rgb) {
  constexpr int kSize = 32;
  std::vector<BYTE> file;
  auto put = [&file](const void* data, std::size_t size) {
    file.insert(file.end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
  };
  BITMAPINFOHEADER header = {sizeof header, kSize, kSize * 2, 1, 32, BI_RGB};
  std::vector<DWORD> pixels(kSize * kSize, 0xFF000000u | rgb);
  std::vector<BYTE> mask(kSize * kSize / 8, 0);
  DWORD imageSize = sizeof header + pixels.size() * sizeof(DWORD) + mask.size();
  WORD directory[3] = {0, 1, 1};
  put(directory, sizeof directory);
  BYTE entry[16] = {kSize, kSize, 0, 0, 1, 0, 32, 0};
  std::memcpy(entry + 8, &imageSize, 4);
  DWORD offset = sizeof directory + sizeof entry;
  std::memcpy(entry + 12, &offset, 4);
  put(entry, sizeof entry);
  put(&header, sizeof header);
  put(pixels.data(), pixels.size() * sizeof(DWORD));
  put(mask.data(), mask.size());
  test::WriteFileText(path, std::string(file.begin(), file.end()));
}

// An icon's pixels, drawn on white at 32 x 32.
std::vector<COLORREF> Pixels(HICON icon) {
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 32, 32};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) pixels.push_back(GetPixel(dc, x, y));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The colour (0xRRGGBB) at the centre of an icon drawn on white.
DWORD CentreColour(HICON icon) {
  COLORREF colour = Pixels(icon)[16 * 32 + 16];
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// The large icon the shell itself shows for a path (a folder, or a file by its
// type when `byType`).
std::vector<COLORREF> ShellIconPixels(const std::string& path, bool byType) {
  SHFILEINFOW info = {};
  UINT flags = SHGFI_ICON | SHGFI_LARGEICON | (byType ? SHGFI_USEFILEATTRIBUTES : 0);
  SHGetFileInfoW(ToWide(path).c_str(), byType ? FILE_ATTRIBUTE_NORMAL : 0, &info, sizeof info, flags);
  IconHandle icon(info.hIcon);
  return icon ? Pixels(icon.Get()) : std::vector<COLORREF>();
}

class IconTest : public test::ServerTest {
 protected:
  void SetUp() override { WriteDocument("<root name='root'><folder name='Work'/></root>"); }

  template <class Interface = IExtractIconA>
  ComPtr<Interface> IconOf(IShellFolder* folder, const TestItemList& item, REFIID iid = IID_IExtractIconA) {
    LPCITEMIDLIST items[] = {item.Get()};
    ComPtr<Interface> icon;
    EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 1, items, iid, nullptr, icon.PutVoid()));
    return icon;
  }
  int IndexOf(IShellFolder* folder, const TestItemList& item, UINT flags = 0) {
    ComPtr<IExtractIconA> icon = IconOf(folder, item);
    if (!icon) return -100;
    char file[MAX_PATH];
    std::memset(file, 'x', sizeof file);
    int index = -100;
    UINT resultFlags = 0;
    EXPECT_EQ(S_OK, icon->GetIconLocation(flags, file, MAX_PATH, &index, &resultFlags));
    EXPECT_EQ(static_cast<UINT>(GIL_NOTFILENAME), resultFlags);
    EXPECT_EQ('x', file[0]) << "the icon file name is never written";
    return index;
  }
  static TestItemList Result(const std::string& path) {
    TestItemList item;
    item.Result("result", path);
    return item;
  }
  // The large and small icons at an index, as the host gets them.
  static bool Extracts(IExtractIconA* icon, int index) {
    HICON large = nullptr;
    HICON small = nullptr;
    EXPECT_EQ(S_OK, icon->Extract("", static_cast<UINT>(index), &large, &small, MAKELONG(32, 16)));
    IconHandle largeHeld(large);
    IconHandle smallHeld(small);
    return large && small;
  }

  test::TempDirectory files_;
};

TEST_F(IconTest, FoldersUseTheClosedAndOpenFolderPositions) {
  TestItemList work;
  work.Folder("Work");
  EXPECT_EQ(1, IndexOf(Root(), work));
  EXPECT_EQ(2, IndexOf(Root(), work, GIL_OPENICON));
}

TEST_F(IconTest, FoldersShowTheShellsFolderIconAndFilesTheirTypesIcon) {
  test::WriteFileText(files_.File("a.txt"), "a");
  test::WriteFileText(files_.File("b.bmp"), "b");
  TestItemList work;
  work.Folder("Work");
  ComPtr<IExtractIconA> icon = IconOf(Root(), work);
  ASSERT_TRUE(icon);
  auto largeAt = [&](int index) {
    HICON large = nullptr;
    HICON small = nullptr;
    icon->Extract("", static_cast<UINT>(index), &large, &small, 0);
    IconHandle smallHeld(small);
    IconHandle largeHeld(large);
    return large ? Pixels(large) : std::vector<COLORREF>();
  };
  std::vector<COLORREF> folder = largeAt(IndexOf(Root(), work));
  EXPECT_EQ(ShellIconPixels(files_.Path(), false), folder) << "a search folder looks like a folder";
  std::vector<COLORREF> text = largeAt(IndexOf(Root(), Result(files_.File("a.txt"))));
  EXPECT_EQ(ShellIconPixels(files_.File("a.txt"), true), text);
  EXPECT_NE(folder, text);
  EXPECT_EQ(ShellIconPixels(files_.File("b.bmp"), true), largeAt(IndexOf(Root(), Result(files_.File("b.bmp")))));

  // A host that asks for a location (a folder tree) gets a file and index it can
  // load itself, whether or not it honours GIL_NOTFILENAME.
  ComPtr<IExtractIconW> wide = IconOf<IExtractIconW>(Root(), work, IID_IExtractIconW);
  ASSERT_TRUE(wide);
  for (UINT open : {0u, static_cast<UINT>(GIL_OPENICON)}) {
    wchar_t file[MAX_PATH] = L"";
    int index = 0;
    UINT flags = GIL_NOTFILENAME;
    ASSERT_EQ(S_OK, wide->GetIconLocation(open, file, MAX_PATH, &index, &flags));
    EXPECT_EQ(0u, flags & (GIL_NOTFILENAME | GIL_DONTCACHE));
    HICON large = nullptr;
    ExtractIconExW(file, index, &large, nullptr, 1);
    IconHandle held(large);
    ASSERT_TRUE(large) << ToUtf8(file) << "," << index;
    if (!open) {
      EXPECT_EQ(folder, Pixels(large));
    }
  }
  wchar_t tiny[2] = L"";
  int index = -100;
  UINT flags = 0;
  ASSERT_EQ(S_OK, wide->GetIconLocation(0, tiny, ARRAYSIZE(tiny), &index, &flags));
  EXPECT_EQ(1, index) << "a buffer too small for the location gets the image-list position";
  EXPECT_TRUE(flags & GIL_NOTFILENAME);
}

TEST_F(IconTest, FilesOfOneTypeShareItsPositionInEveryFolderObject) {
  for (const char* name : {"a.txt", "b.txt", "c.bmp"}) test::WriteFileText(files_.File(name), "x");
  int text = IndexOf(Root(), Result(files_.File("a.txt")));
  int bitmap = IndexOf(Root(), Result(files_.File("c.bmp")));
  EXPECT_GE(text, 4);
  EXPECT_GE(bitmap, 4);
  EXPECT_NE(text, bitmap);
  EXPECT_EQ(text, IndexOf(Root(), Result(files_.File("b.txt"))));
  EXPECT_EQ(text, IndexOf(Root(), Result(files_.File("A.TXT")))) << "letter case does not make a new type";
  ComPtr<IExtractIconA> icon = IconOf(Root(), Result(files_.File("a.txt")));
  EXPECT_TRUE(Extracts(icon.Get(), text));
  EXPECT_TRUE(Extracts(icon.Get(), bitmap));

  // Every folder object of the process shows the same lists.
  ComPtr<IShellFolder> work = test::BindToChild(Root(), L"Work");
  EXPECT_EQ(bitmap, IndexOf(work.Get(), Result(files_.File("c.bmp"))));
}

TEST_F(IconTest, FilesWithIconsOfTheirOwnTakeAPositionEachWhateverTheirNames) {
  // Names the ANSI code page would turn into the same "??.ico".
  const struct {
    const char* name;
    DWORD rgb;
  } files[] = {{"日本.ico", 0xFF0000}, {"Эх.ico", 0x00FF00}, {"😀.ico", 0x0000FF}};
  std::vector<int> indexes;
  for (const auto& file : files) {
    WriteSolidIcon(files_.File(file.name), file.rgb);
    ComPtr<IExtractIconA> icon = IconOf(Root(), Result(files_.File(file.name)));
    ASSERT_TRUE(icon);
    int index = IndexOf(Root(), Result(files_.File(file.name)));
    for (int other : indexes) EXPECT_NE(other, index) << file.name;
    indexes.push_back(index);
    HICON large = nullptr;
    ASSERT_EQ(S_OK, icon->Extract("", static_cast<UINT>(index), &large, nullptr, 0));
    IconHandle held(large);
    ASSERT_TRUE(large);
    EXPECT_EQ(file.rgb, CentreColour(large)) << file.name;
  }
  EXPECT_EQ(indexes[1], IndexOf(Root(), Result(files_.File("эХ.ico")))) << "letter case aside, in any script";
}

TEST_F(IconTest, WideInterfaceGivesTheSamePositionsAndIcons) {
  test::WriteFileText(files_.File("a.txt"), "a");
  TestItemList result = Result(files_.File("a.txt"));
  int position = IndexOf(Root(), result);
  EXPECT_GE(position, 4);
  ComPtr<IExtractIconW> wide = IconOf<IExtractIconW>(Root(), result, IID_IExtractIconW);
  ASSERT_TRUE(wide);
  wchar_t file[MAX_PATH] = L"unchanged";
  int index = -1;
  UINT flags = 0;
  ASSERT_EQ(S_OK, wide->GetIconLocation(0, file, MAX_PATH, &index, &flags));
  EXPECT_EQ(position, index);
  EXPECT_TRUE(flags & GIL_NOTFILENAME);
  EXPECT_TRUE(flags & GIL_DONTCACHE) << "positions in the component's own lists must not enter a host's icon cache";
  HICON large = nullptr;
  HICON small = nullptr;
  ASSERT_EQ(S_OK, wide->Extract(file, static_cast<UINT>(position), &large, &small, MAKELONG(32, 16)));
  IconHandle largeHeld(large);
  IconHandle smallHeld(small);
  EXPECT_TRUE(large && small);
}

TEST_F(IconTest, IcoFileShowsTheIconItHolds) {
  WriteSolidIcon(files_.File("red.ico"), 0xFF0000);
  ComPtr<IExtractIconA> icon = IconOf(Root(), Result(files_.File("red.ico")));
  ASSERT_TRUE(icon);
  int index = -1;
  UINT flags = 0;
  ASSERT_EQ(S_OK, icon->GetIconLocation(0, nullptr, 0, &index, &flags));
  HICON large = nullptr;
  HICON small = nullptr;
  ASSERT_EQ(S_OK, icon->Extract("", static_cast<UINT>(index), &large, &small, 0));
  IconHandle largeHeld(large);
  IconHandle smallHeld(small);
  ASSERT_TRUE(large);
  EXPECT_EQ(0xFF0000u, CentreColour(large));
}

TEST_F(IconTest, MissingFilesStillGetAnIcon) {
  for (const std::string& path : {files_.File("gone.txt"), files_.File("no-extension"), std::string("Q:\\x\\y.zzq")}) {
    ComPtr<IExtractIconA> icon = IconOf(Root(), Result(path));
    ASSERT_TRUE(icon);
    int index = -1;
    UINT flags = 0;
    ASSERT_EQ(S_OK, icon->GetIconLocation(0, nullptr, 0, &index, &flags));
    EXPECT_GE(index, 4) << path;
    EXPECT_TRUE(Extracts(icon.Get(), index)) << path;
  }
}

}  // namespace
}  // namespace qv
