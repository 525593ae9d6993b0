#pragma once
// The bytes of a document as its reader sees them: a file, or memory (tests
// and the fuzzing build). Readers are functions of these bytes.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qv::service {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Exactly `size` bytes at `offset`; false when they are not all there or
  // cannot be read.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const = 0;
  // All the bytes at once where the source holds them so (memory, a mapped
  // file); empty otherwise.
  virtual std::string_view View() const { return {}; }
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    if (size) std::memcpy(buffer, bytes_.data() + offset, size);
    return true;
  }
  std::string_view View() const override { return bytes_; }

 private:
  std::string_view bytes_;
};

}  // namespace qv::service
