#include "ServiceTestSupport.h"

#include <algorithm>
#include <cstdlib>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/BackgroundIndexing.h"
#include "service/Indexer.h"
#include "service/RootList.h"
#include "common/DesktopSearchInterfaces.h"
#include "service/ServicePaths.h"

namespace qv::service::test {

const wchar_t kClientGuid[] = L"{3D0A9B51-62A7-4C47-9F0B-5C1C8A6E2B11}";

namespace {

HMODULE g_service = nullptr;

using DllInstallFunction = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

// Wine 8 does not look up ProgIDs under HKEY_CURRENT_USER\Software\Classes, so
// the tests register the service for the machine of their private prefix, and
// put back afterwards what the ProgIDs named before (a stand-in, say).
const wchar_t* const kProgIds[] = {kQueryApiProgId, kRegistrarProgId, kQueryRegistrationType};
std::vector<std::pair<std::wstring, std::wstring>> g_previousClasses;

HRESULT InstallForMachine(BOOL install) {
  auto dllInstall = reinterpret_cast<DllInstallFunction>(
      reinterpret_cast<void*>(GetProcAddress(g_service, "DllInstall")));
  return dllInstall ? dllInstall(install, L"machine") : E_FAIL;
}

std::wstring ProgIdClassKey(const wchar_t* progId) {
  return std::wstring(L"Software\\Classes\\") + progId + L"\\CLSID";
}

void RememberPreviousClasses() {
  const CLSID* ours[] = {&kQueryApiClassId, &kRegistrarClassId, &kQueryRegistrationClassId};
  for (std::size_t i = 0; i < 3; ++i) {
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, ProgIdClassKey(kProgIds[i]).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
      continue;
    }
    CLSID previous;
    if (SUCCEEDED(CLSIDFromString(value, &previous)) && !IsEqualCLSID(previous, *ours[i])) {
      g_previousClasses.emplace_back(kProgIds[i], value);
    }
  }
}

void RestorePreviousClasses() {
  for (const auto& [progId, clsid] : g_previousClasses) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, ProgIdClassKey(progId.c_str()).c_str(), nullptr, REG_SZ, clsid.c_str(),
                    static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t)));
  }
  g_previousClasses.clear();
}

}  // namespace

std::wstring Wide(const std::string& text) { return ToWide(text.c_str()); }

VARIANT MakeDescription() {
  const wchar_t* texts[] = {L"Title", L"quorvane", L"Description", L"Your files. When and where you need them.",
                            L"Icon", L",1"};
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 6);
  for (LONG i = 0; i < 6; ++i) {
    VARIANT item;
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = SysAllocString(texts[i]);
    SafeArrayPutElement(array, &i, &item);
    VariantClear(&item);
  }
  VARIANT description;
  V_VT(&description) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&description) = array;
  return description;
}

LONG RegisterClient(const wchar_t* guid) {
  ComPtr<IDesktopSearchRegistrar> registrar;
  if (FAILED(CreateServiceObject(kRegistrarProgId, &registrar))) return 0;
  Bstr component(guid);
  Variant description;
  *description.Get() = MakeDescription();
  if (FAILED(registrar->StartComponentRegistration(component.Get(), *description.Get()))) return 0;
  ComPtr<IUnknown> registration;
  Bstr type(kQueryRegistrationType);
  if (FAILED(registrar->GetRegistrationInterface(type.Get(), registration.Put()))) return 0;
  // The component calls slot 7 of what it got without asking for an interface.
  auto* queryRegistration = reinterpret_cast<IDesktopSearchQueryRegistration*>(registration.Get());
  LONG cookie = 0;
  if (FAILED(queryRegistration->RegisterQueryClient(component.Get(), 1, &cookie))) return 0;
  if (FAILED(registrar->FinishComponentRegistration())) return 0;
  return cookie;
}

HRESULT UnregisterClient(const wchar_t* guid) {
  ComPtr<IDesktopSearchRegistrar> registrar;
  HRESULT hr = CreateServiceObject(kRegistrarProgId, &registrar);
  if (FAILED(hr)) return hr;
  Bstr component(guid);
  return registrar->UnregisterComponent(component.Get());
}

QueryOutcome RunQuery(LONG cookie, const wchar_t* text, const wchar_t* category, BYTE ranking, LONG maxResults,
                      std::size_t take) {
  QueryOutcome outcome;
  ComPtr<IDesktopSearchQueryApi> api;
  outcome.hr = CreateServiceObject(kQueryApiProgId, &api);
  if (FAILED(outcome.hr)) return outcome;
  Bstr search(text);
  Variant categoryValue;
  if (category) {
    V_VT(categoryValue.Get()) = VT_BSTR;
    V_BSTR(categoryValue.Get()) = SysAllocString(category);
  } else {
    V_VT(categoryValue.Get()) = VT_ERROR;
    V_ERROR(categoryValue.Get()) = DISP_E_PARAMNOTFOUND;
  }
  Variant rankingValue;
  V_VT(rankingValue.Get()) = VT_UI1;
  V_UI1(rankingValue.Get()) = ranking;
  ComPtr<IDesktopSearchResultSet> resultSet;
  outcome.hr = api->Query(cookie, search.Get(), *categoryValue.Get(), *rankingValue.Get(), resultSet.Put());
  if (FAILED(outcome.hr) || !resultSet) return outcome;
  if (ComPtr<IQuorvaneQueryNotes> notes = resultSet.As<IQuorvaneQueryNotes>()) {
    Bstr warning;
    EXPECT_EQ(S_OK, notes->GetLiteralWarning(warning.Put()));
    if (warning.Get()) outcome.warning = warning.Get();
  } else {
    ADD_FAILURE() << "the result set has no literal note";
  }

  ULONGLONG deadline = GetTickCount64() + 5000;
  for (;;) {
    LONG state = 0;
    EXPECT_EQ(S_OK, resultSet->get_ReadyState(&state));
    if (state != kResultSetSearching) break;
    LONG count = 0;
    EXPECT_EQ(S_OK, resultSet->get_AvailableCount(&count));
    if (maxResults > 0 && count >= maxResults) break;
    if (GetTickCount64() > deadline) {
      ADD_FAILURE() << "the result set never finished";
      break;
    }
    Sleep(1);
  }
  for (;;) {
    if (take && outcome.results.size() >= take) break;
    ComPtr<IDesktopSearchResult> result;
    EXPECT_EQ(S_OK, resultSet->Next(result.Put()));
    if (!result) break;
    Result item;
    Bstr uri(L"uri");
    Bstr title(L"title");
    Variant value;
    EXPECT_EQ(S_OK, result->GetProperty(uri.Get(), value.Put()));
    if (value.Type() == VT_BSTR) item.uri = V_BSTR(value.Get());
    EXPECT_EQ(S_OK, result->GetProperty(title.Get(), value.Put()));
    if (value.Type() == VT_BSTR) item.title = V_BSTR(value.Get());
    outcome.results.push_back(item);
  }
  resultSet->get_AvailableCount(&outcome.finalCount);
  resultSet->get_ReadyState(&outcome.finalState);
  return outcome;
}

std::vector<std::wstring> Titles(const std::vector<Result>& results) {
  std::vector<std::wstring> titles;
  for (const Result& result : results) titles.push_back(result.title);
  return titles;
}

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

void ServiceTest::SetUpTestSuite() {
  const char* dll = std::getenv("QUORVANE_SEARCH_DLL");
  ASSERT_NE(nullptr, dll) << "QUORVANE_SEARCH_DLL is not set";
  g_service = LoadLibraryA(qv::test::HostPathToWindows(dll).c_str());
  ASSERT_NE(nullptr, g_service);
  RememberPreviousClasses();
  ASSERT_EQ(S_OK, InstallForMachine(TRUE));
}

void ServiceTest::TearDownTestSuite() {
  if (!g_service) return;
  EXPECT_EQ(S_OK, InstallForMachine(FALSE));
  RestorePreviousClasses();
  CoFreeUnusedLibraries();
  FreeLibrary(g_service);
  g_service = nullptr;
}

void ServiceTest::SetUp() { UseDataFolder(Wide(data_.Path())); }

void ServiceTest::UseDataFolder(const std::wstring& folder) {
  SetEnvironmentVariableW(kDataFolderVariable, folder.c_str());
  // Tests run their own passes; a background one would race them.
  SetRefreshIntervalMinutes(0);
}

void ServiceTest::TearDown() { SetEnvironmentVariableW(kDataFolderVariable, nullptr); }

std::wstring ServiceTest::TreePath(const std::string& relativePath) const {
  return Wide(tree_.Path() + relativePath);
}

std::wstring ServiceTest::AddFile(const std::string& relativePath, const std::string& content) {
  std::string path = tree_.Path() + relativePath;
  for (std::size_t slash = path.find('\\', tree_.Path().size()); slash != std::string::npos;
       slash = path.find('\\', slash + 1)) {
    CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  }
  qv::test::WriteFileText(path, content);
  return Wide(path);
}

void ServiceTest::IndexTree() {
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  IndexAgain();
}

void ServiceTest::IndexAgain() { Indexer().Run(); }

ToolRun RunTool(const std::string& arguments) {
  ToolRun run;
  const char* tool = std::getenv("QUORVANE_INDEX_TOOL");
  if (!tool) {
    ADD_FAILURE() << "QUORVANE_INDEX_TOOL is not set";
    return run;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  UniqueHandle reader(readEnd);
  UniqueHandle writer(writeEnd);
  SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writer.Get();
  startup.hStdError = writer.Get();
  startup.hStdInput = nullptr;
  std::string commandLine(1, '"');
  commandLine += qv::test::HostPathToWindows(tool);
  commandLine += "\" ";
  commandLine += arguments;
  std::wstring wideCommandLine = qv::ToWide(commandLine);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, wideCommandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return run;
  }
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  writer.Reset();
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(reader.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) run.output.append(buffer, read);
  WaitForSingleObject(processHandle.Get(), 60000);
  GetExitCodeProcess(processHandle.Get(), &run.exitCode);
  return run;
}

bool RunUnderWineShell(const std::wstring& folder, const std::string& command, const std::function<bool()>& done) {
  if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return false;
  std::wstring commandLine = L"sh -c \"" + Wide(command) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &process)) {
    return false;
  }
  // Wine hands back no handle for a Unix process: its work is awaited instead.
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
  return done();
}

std::string UnixPathOf(const std::wstring& path) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unixName ? unixName(path.c_str()) : nullptr;
  std::string result = name ? name : "";
  if (name) HeapFree(GetProcessHeap(), 0, name);
  return result;
}

namespace {

std::uint64_t DiskSize(const std::wstring& folder) {
  ULARGE_INTEGER total = {};
  return GetDiskFreeSpaceExW(folder.c_str(), nullptr, &total, nullptr) ? total.QuadPart : 0;
}

// A size the disk reports once mounted: tmpfs rounds to whole pages.
bool HasSize(const std::wstring& folder, std::uint64_t bytes) {
  std::uint64_t size = DiskSize(folder);
  return size >= bytes / 2 && size <= bytes + 65536;
}

std::string MountOptions(std::uint64_t bytes) { return "size=" + std::to_string(bytes / 1024) + "k"; }

}  // namespace

SmallDisk::SmallDisk(const std::wstring& folder, std::uint64_t bytes) : folder_(folder) {
  std::string unix = UnixPathOf(folder);
  if (unix.empty() || HasSize(folder, bytes)) return;
  mounted_ = RunUnderWineShell(L"C:\\", "mount -t tmpfs -o " + MountOptions(bytes) + " tmpfs '" + unix + "'",
                               [&] { return HasSize(folder, bytes); });
}

SmallDisk::~SmallDisk() {
  if (!mounted_) return;
  std::uint64_t size = DiskSize(folder_);
  // Lazily: a process may still hold a file of it open for a moment.
  RunUnderWineShell(L"C:\\", "umount -l '" + UnixPathOf(folder_) + "'", [&] { return DiskSize(folder_) != size; });
}

bool SmallDisk::Resize(std::uint64_t bytes) {
  return mounted_ && RunUnderWineShell(L"C:\\", "mount -o remount," + MountOptions(bytes) + " '" +
                                                      UnixPathOf(folder_) + "'",
                                       [&] { return HasSize(folder_, bytes); });
}

bool SmallDisk::MakeReadOnly() {
  std::wstring probe = folder_ + L"\\probe";
  auto writable = [&] {
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  };
  return mounted_ && RunUnderWineShell(L"C:\\", "mount -o remount,ro '" + UnixPathOf(folder_) + "'",
                                       [&] { return !writable(); });
}

}  // namespace qv::service::test
