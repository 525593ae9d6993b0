#pragma once
// The class IDs of the tests' own filters (TestFilter.cpp), built as three
// DLLs: one whose filters return known chunks (one loads through IPersistFile,
// one through IPersistStream), one whose filter crashes in GetChunk and one
// whose filter never returns from it. Each Load is noted, one line a file, in
// the file named by QUORVANE_TEST_FILTER_LOG.

#include <windows.h>

namespace qv::service::test {

// {6A3C1E20-5B7D-4F2A-9C11-0E4D2B7A8F01} and on.
constexpr CLSID kWordsFileFilter = {0x6a3c1e20, 0x5b7d, 0x4f2a, {0x9c, 0x11, 0x0e, 0x4d, 0x2b, 0x7a, 0x8f, 0x01}};
constexpr CLSID kWordsStreamFilter = {0x6a3c1e20, 0x5b7d, 0x4f2a, {0x9c, 0x11, 0x0e, 0x4d, 0x2b, 0x7a, 0x8f, 0x02}};
constexpr CLSID kCrashingFilter = {0x6a3c1e20, 0x5b7d, 0x4f2a, {0x9c, 0x11, 0x0e, 0x4d, 0x2b, 0x7a, 0x8f, 0x03}};
constexpr CLSID kHangingFilter = {0x6a3c1e20, 0x5b7d, 0x4f2a, {0x9c, 0x11, 0x0e, 0x4d, 0x2b, 0x7a, 0x8f, 0x04}};

constexpr wchar_t kFilterLogVariable[] = L"QUORVANE_TEST_FILTER_LOG";

}  // namespace qv::service::test
