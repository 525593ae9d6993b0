#include "service/extract/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace qv::service {
namespace {

constexpr std::uint32_t kEndOfDirectorySignature = 0x06054b50;
constexpr std::uint32_t kDirectoryEntrySignature = 0x02014b50;
constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::size_t kEndOfDirectorySize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
// The end record may be followed by a comment of up to 64 KB.
constexpr std::size_t kMaxEndSearch = kEndOfDirectorySize + 0xFFFF;
// Documents have tens or hundreds of members; a directory claiming more is not one.
constexpr std::size_t kMaxMembers = 20000;
constexpr std::size_t kMaxDirectoryBytes = 8 * 1024 * 1024;
constexpr std::uint16_t kEncryptedFlag = 0x0001;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
// Compressed input is read, and output made, this much at a time.
constexpr std::size_t kChunk = 64 * 1024;

std::uint16_t Read16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Read32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

bool ZipArchive::Open(const ByteSource& source) {
  source_ = &source;
  members_.clear();
  tail_.clear();
  std::uint64_t fileSize = source.Size();
  if (fileSize < kEndOfDirectorySize) return false;
  std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kMaxEndSearch));
  std::vector<unsigned char> tail(tailSize);
  if (!source.ReadAt(fileSize - tailSize, tail.data(), tailSize)) return false;
  std::size_t end = std::string::npos;
  for (std::size_t i = tailSize - kEndOfDirectorySize + 1; i-- > 0;) {
    if (Read32(&tail[i]) == kEndOfDirectorySignature) {
      end = i;
      break;
    }
  }
  if (end == std::string::npos) return false;
  std::size_t count = Read16(&tail[end + 10]);
  std::uint32_t directorySize = Read32(&tail[end + 12]);
  std::uint32_t directoryOffset = Read32(&tail[end + 16]);
  // Zip64 archives (over 4 GB or 65535 members) are not documents people keep.
  if (count > kMaxMembers || directorySize > kMaxDirectoryBytes) return false;
  tail_ = std::move(tail);
  tailOffset_ = fileSize - tailSize;
  std::vector<unsigned char> directory(directorySize);
  if (!ReadAt(directoryOffset, directory.data(), directory.size())) return false;
  std::size_t at = 0;
  members_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (at + kDirectoryEntrySize > directory.size() || Read32(&directory[at]) != kDirectoryEntrySignature) return false;
    const unsigned char* entry = &directory[at];
    Member member;
    member.flags = Read16(entry + 8);
    member.method = Read16(entry + 10);
    member.compressedSize = Read32(entry + 20);
    member.size = Read32(entry + 24);
    std::size_t nameLength = Read16(entry + 28);
    std::size_t extraLength = Read16(entry + 30);
    std::size_t commentLength = Read16(entry + 32);
    member.localHeaderOffset = Read32(entry + 42);
    if (at + kDirectoryEntrySize + nameLength > directory.size()) return false;
    member.name.assign(reinterpret_cast<const char*>(entry + kDirectoryEntrySize), nameLength);
    members_.push_back(std::move(member));
    at += kDirectoryEntrySize + nameLength + extraLength + commentLength;
  }
  return true;
}

const ZipArchive::Member* ZipArchive::Find(const std::string& name) const {
  for (const Member& member : members_) {
    if (member.name == name) return &member;
  }
  return nullptr;
}

bool ZipArchive::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (offset >= tailOffset_ && offset - tailOffset_ <= tail_.size() && size <= tail_.size() - (offset - tailOffset_)) {
    if (size) std::memcpy(buffer, tail_.data() + (offset - tailOffset_), size);
    return true;
  }
  return source_->ReadAt(offset, buffer, size);
}

ZipArchive::ReadResult ZipArchive::Read(const std::string& name, std::size_t limit, ReadBudget& budget,
                                        std::string* bytes) const {
  bytes->clear();
  const Member* member = Find(name);
  return member ? Read(*member, limit, budget, bytes) : ReadResult::Missing;
}

ZipArchive::ReadResult ZipArchive::Read(const Member& member, std::size_t limit, ReadBudget& budget,
                                        std::string* bytes) const {
  bytes->clear();
  return Stream(member, limit, budget, [bytes](std::string_view chunk) {
    bytes->append(chunk);
    return true;
  });
}

ZipArchive::ReadResult ZipArchive::Stream(const Member& member, std::size_t limit, ReadBudget& budget,
                                          const Sink& sink) const {
  if (!budget.TakeMember()) return ReadResult::CutOff;
  if ((member.flags & kEncryptedFlag) || (member.method != kStored && member.method != kDeflated)) {
    return ReadResult::Damaged;
  }
  std::uint64_t fileSize = source_->Size();
  unsigned char header[kLocalHeaderSize];
  if (!ReadAt(member.localHeaderOffset, header, sizeof header) || Read32(header) != kLocalHeaderSignature) {
    return ReadResult::Damaged;
  }
  std::uint64_t dataOffset = member.localHeaderOffset + kLocalHeaderSize + Read16(header + 26) + Read16(header + 28);
  if (dataOffset > fileSize || member.compressedSize > fileSize - dataOffset) return ReadResult::Damaged;
  if (member.method == kDeflated) return Inflate(dataOffset, member.compressedSize, limit, budget, sink);

  std::unique_ptr<char[]> chunk(new char[kChunk]);
  for (std::uint64_t done = 0; done < member.compressedSize;) {
    if (done >= limit) return ReadResult::CutOff;
    std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>({member.compressedSize - done, limit - done, kChunk}));
    std::size_t granted = static_cast<std::size_t>(budget.TakeInflated(wanted));
    if (granted == 0) {
      budget.Exhausted();
      return ReadResult::CutOff;
    }
    if (!ReadAt(dataOffset + done, chunk.get(), granted)) return ReadResult::Damaged;
    done += granted;
    if (!sink(std::string_view(chunk.get(), granted))) return ReadResult::Stopped;
  }
  return ReadResult::Read;
}

ZipArchive::ReadResult ZipArchive::Inflate(std::uint64_t offset, std::uint64_t compressedSize, std::size_t limit,
                                           ReadBudget& budget, const Sink& sink) const {
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ReadResult::Damaged;
  std::unique_ptr<unsigned char[]> input(new unsigned char[kChunk]);
  std::unique_ptr<char[]> output(new char[kChunk]);
  std::uint64_t remaining = compressedSize;
  std::size_t produced = 0;
  ReadResult result = ReadResult::Damaged;
  for (;;) {
    if (stream.avail_in == 0 && remaining > 0) {
      std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunk));
      if (!ReadAt(offset, input.get(), chunk)) break;
      offset += chunk;
      remaining -= chunk;
      stream.next_in = input.get();
      stream.avail_in = static_cast<uInt>(chunk);
    }
    if (produced >= limit) {
      result = ReadResult::CutOff;
      break;
    }
    // The budget pays for each chunk before it is made.
    std::size_t granted = static_cast<std::size_t>(budget.TakeInflated(std::min(kChunk, limit - produced)));
    if (granted == 0) {
      budget.Exhausted();
      result = ReadResult::CutOff;
      break;
    }
    stream.next_out = reinterpret_cast<Bytef*>(output.get());
    stream.avail_out = static_cast<uInt>(granted);
    int status = inflate(&stream, Z_NO_FLUSH);
    std::size_t made = granted - stream.avail_out;
    budget.GiveBackInflated(stream.avail_out);
    produced += made;
    if (made > 0 && !sink(std::string_view(output.get(), made))) {
      result = ReadResult::Stopped;
      break;
    }
    if (status == Z_STREAM_END) {
      result = ReadResult::Read;
      break;
    }
    if (status != Z_OK && !(status == Z_BUF_ERROR && made == granted)) break;
    if (status == Z_OK && stream.avail_in == 0 && remaining == 0 && stream.avail_out != 0) break;  // truncated
  }
  inflateEnd(&stream);
  return result;
}

}  // namespace qv::service
