#pragma once
// Where the search service keeps its data: the registrations, the indexed roots
// and the index itself.
//
// The folder is "quorvane\Search" in the user's local application data folder,
// unless the environment variable QUORVANE_SEARCH_DATA names another one (tests
// and side-by-side installs use it). It is read on every call, so a process can
// switch folders between queries.

#include <string>

#include "common/SearchDataFolder.h"

namespace qv::service {

constexpr const wchar_t* kDataFolderVariable = kSearchDataVariable;

// The data folder with a trailing backslash, created when missing. Empty when it
// cannot be determined or created.
std::wstring DataFolder();

// Files inside the data folder.
std::wstring ServiceDatabasePath();   // registrations, cookies, roots
std::wstring IndexDatabasePath();     // the file index
std::wstring IndexDamageMarkerPath(); // left by a query that found the index damaged
std::wstring IndexLockPath();         // held by the one index pass that may run

// A program of the service beside the module holding this code (the tool
// itself, or the search DLL's folder); empty when there is none.
std::wstring ToolBesideThisModule(const wchar_t* fileName);
// The console index tool, quorvane-index.exe, found that way.
std::wstring IndexToolPath();

// Makes a folder and any missing parents; true when it exists afterwards.
bool CreateFolderTree(const std::wstring& folder);

}  // namespace qv::service
