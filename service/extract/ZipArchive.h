#pragma once
// Reads members of a zip archive (the container of Office Open XML and
// OpenDocument files) through zlib, with every size bounded: a member is
// inflated in chunks up to a limit and no further, whatever its headers claim,
// and every byte inflated is taken from the document's budget, so neither a zip
// bomb nor a directory listing one member thousands of times costs more than
// the budget.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "service/extract/ByteSource.h"
#include "service/extract/ReadBudget.h"

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
    CutOff,     // the first `limit` bytes (or what the budget allowed): the member is larger
    Missing,    // no such member
    Damaged,    // the archive or the member is damaged, encrypted or uses an unknown method
    Stopped,    // the sink wanted no more
  };
  // Takes the next bytes of a member; false when it wants no more.
  using Sink = std::function<bool(std::string_view bytes)>;

  // Opens the archive in `source`; false when it is not a zip archive or its
  // directory is damaged. The source must outlive the archive.
  bool Open(const ByteSource& source);

  const std::vector<Member>& Members() const { return members_; }
  const Member* Find(const std::string& name) const;
  // Reads at most `limit` bytes of the member, within the budget (which also
  // pays one member per read).
  ReadResult Read(const Member& member, std::size_t limit, ReadBudget& budget, std::string* bytes) const;
  ReadResult Read(const std::string& name, std::size_t limit, ReadBudget& budget, std::string* bytes) const;
  // Hands at most `limit` bytes of the member to `sink` as they are inflated,
  // a chunk at a time, each paid from the budget before it is made: reading
  // stops where the sink, the limit or the budget says.
  ReadResult Stream(const Member& member, std::size_t limit, ReadBudget& budget, const Sink& sink) const;

 private:
  ReadResult Inflate(std::uint64_t offset, std::uint64_t compressedSize, std::size_t limit, ReadBudget& budget,
                     const Sink& sink) const;
  // The source's bytes, from the end of the file read by Open where they lie in it.
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;

  const ByteSource* source_ = nullptr;
  std::vector<Member> members_;
  // The end of the file, read to find the directory: all of a small file.
  std::vector<unsigned char> tail_;
  std::uint64_t tailOffset_ = 0;
};

}  // namespace qv::service
