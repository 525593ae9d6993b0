#pragma once
// Where each user's files of the component live: the folder definition document,
// the registration cookie and the like, in the user's roaming application data
// (%APPDATA%\quorvane\), which a standard user can write and which roams with the
// profile. The DLL's own directory (Program Files for an all-users install) is
// only ever read: a quorvane.xml there seeds a user's first document.

#include <string>

namespace qv {

// Names a directory to use instead of the per-user one (a portable setup, or a
// test that must keep away from the real profile).
constexpr wchar_t kDataDirectoryVariable[] = L"QUORVANE_DATA_DIR";
constexpr wchar_t kUserDataFolderName[] = L"quorvane";

// The module file's directory with its trailing backslash; empty when it cannot
// be determined. Paths of any length.
std::wstring ModuleDirectoryPath();

// The user's data directory with its trailing backslash, created when missing
// (the variable's directory when it is set); empty when there is none.
std::wstring UserDataDirectory();

// Gives the data directory its first quorvane.xml: a copy of the one in the seed
// directory, when the data directory has none yet and the seed directory has
// one. The copy appears whole or not at all, and an existing document is never
// replaced. True when the data directory holds a document afterwards.
bool SeedUserDocument(const std::wstring& dataDirectory, const std::wstring& seedDirectory);

// The directory of the component's data files (quorvane.xml, the cookie file)
// with its trailing backslash: the one named by SetDataDirectory (the module
// objects name theirs while they live), else the user's data directory. Empty
// when it cannot be determined.
std::wstring DataDirectory();
// Empty returns to the user's data directory.
void SetDataDirectory(const std::wstring& directory);

}  // namespace qv
