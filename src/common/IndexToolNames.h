#pragma once
// The bundled search service's index tool, installed beside both DLLs. It is
// built twice from the same sources: a console program for prompts and
// scripts, and its windowless twin (the same program for the windows
// subsystem) for whatever starts it where no console may appear: the Start
// menu's Indexing options, the watcher at logon and in the background, the
// root folder's Properties.

namespace qv {

constexpr wchar_t kIndexToolFileName[] = L"quorvane-index.exe";
constexpr wchar_t kWindowlessIndexToolFileName[] = L"quorvane-indexw.exe";

}  // namespace qv
