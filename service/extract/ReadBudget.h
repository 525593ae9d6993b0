#pragma once
// What one document may cost, however it is built: the bytes inflated across
// all its members, the members read and the text produced. A reader that meets
// a limit stops there; the document is indexed as far as it was read and
// counted as cut off.

#include <cstddef>
#include <cstdint>

namespace qv::service {

struct ReadBudget {
  std::size_t text = 1024 * 1024;           // bytes of UTF-8 text
  std::uint64_t inflated = 32 * 1024 * 1024;  // bytes decompressed, all members together
  std::size_t members = 2000;               // members of a package read
  bool cutOff = false;                      // a limit was met

  // Takes one member; false (and cut off) when none is left.
  bool TakeMember() {
    if (members == 0) return Exhausted();
    --members;
    return true;
  }
  // Takes up to `wanted` bytes of decompressed data; returns how many may be made.
  std::uint64_t TakeInflated(std::uint64_t wanted) {
    std::uint64_t granted = wanted < inflated ? wanted : inflated;
    inflated -= granted;
    return granted;
  }
  void GiveBackInflated(std::uint64_t unused) { inflated += unused; }
  bool Exhausted() {
    cutOff = true;
    return false;
  }
};

}  // namespace qv::service
