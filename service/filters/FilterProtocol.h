#pragma once
// What the indexer and its filter host say to each other over their pipe, in
// both directions checked before it is believed. The host first says it is
// ready; then, for each file, the indexer sends a request (the filter's class,
// the most text it wants and the file's path) and the host answers with a
// status and that much UTF-8 text at most.
//
//   ready:   u32 kHostReady
//   request: u32 kRequestMagic, u32 text limit, u32 path length (UTF-16 units),
//            16 bytes filter class, the path
//   reply:   u32 kReplyMagic, u32 status, u32 text length (bytes), the text
//
// Numbers are little-endian, as both ends are the same machine.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::service {

constexpr std::uint32_t kHostReady = 0x48465651;     // "QVFH"
constexpr std::uint32_t kRequestMagic = 0x52465651;  // "QVFR"
constexpr std::uint32_t kReplyMagic = 0x41465651;    // "QVFA"
constexpr std::size_t kRequestHeaderBytes = 28;
constexpr std::size_t kReplyHeaderBytes = 12;
// Windows paths are at most this long; a request naming a longer one is refused.
constexpr std::uint32_t kMaxFilterPathChars = 32767;
// No request asks for more text than this.
constexpr std::uint32_t kMaxFilterTextBytes = 16 * 1024 * 1024;

// How a file went in the host.
enum class FilterStatus : std::uint32_t {
  Read = 0,        // the text is the file's
  CutOff = 1,      // the text is the file's first part, up to the limit
  Damaged = 2,     // the filter refused the file (not of its format, damaged)
  Encrypted = 3,   // the file needs a password
  Unreadable = 4,  // locked or access denied: try again later
  NoFilter = 5,    // the filter's class cannot be made (its DLL is gone or refuses to load)
};

struct FilterRequest {
  CLSID filter = {};
  std::uint32_t textLimit = 0;
  std::wstring path;
};

struct FilterReplyHeader {
  FilterStatus status = FilterStatus::Damaged;
  std::uint32_t textBytes = 0;
};

std::string EncodeFilterRequest(const FilterRequest& request);
// The request's class and limit, and how many path units follow; none when the
// header is not a valid request.
std::optional<FilterRequest> DecodeFilterRequestHeader(const char* header, std::uint32_t* pathChars);

std::string EncodeFilterReplyHeader(FilterStatus status, std::uint32_t textBytes);
// None when the header is not a valid reply to a request for `textLimit` bytes.
std::optional<FilterReplyHeader> DecodeFilterReplyHeader(const char* header, std::uint32_t textLimit);

}  // namespace qv::service
