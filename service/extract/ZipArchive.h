#pragma once
// Reads members of a zip archive (the container of Office Open XML and
// OpenDocument files) through zlib, with every size bounded: a member is read
// up to a limit and no further, whatever its headers claim, so a zip bomb costs
// no more than the limit.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Holders.h"

namespace qv::service {

class ZipArchive {
 public:
  struct Member {
    std::string name;
    std::uint64_t localHeaderOffset = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
  };

  enum class ReadResult {
    Read,       // the whole member
    CutOff,     // the first `limit` bytes: the member is larger
    Missing,    // no such member
    Damaged,    // the archive or the member is damaged, encrypted or uses an unknown method
  };

  // Opens the archive in `file` (read from its start); false when it is not a
  // zip archive or its directory is damaged.
  bool Open(HANDLE file);

  const std::vector<Member>& Members() const { return members_; }
  ReadResult Read(const std::string& name, std::size_t limit, std::string* bytes) const;

 private:
  ReadResult ReadMember(const Member& member, std::size_t limit, std::string* bytes) const;
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;

  HANDLE file_ = nullptr;
  std::uint64_t fileSize_ = 0;
  std::vector<Member> members_;
};

}  // namespace qv::service
