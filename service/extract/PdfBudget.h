#pragma once
// One budget for all the work a PDF document may cost: bytes decoded
// (inflated, decrypted) and objects parsed (content operators included). The
// reader takes from it as it goes and stops when either runs out; the
// document is then cut off. (The text it may produce is the caller's limit.)

#include <cstddef>

namespace qv::service::pdf {

class Budget {
 public:
  Budget(std::size_t bytes, std::size_t objects) : bytes_(bytes), objects_(objects) {}

  // False (and the budget spent) when `count` more would go past it.
  bool TakeBytes(std::size_t count) { return Take(bytes_, count, bytesSpent_); }
  bool TakeObjects(std::size_t count) { return Take(objects_, count, objectsSpent_); }

  std::size_t BytesLeft() const { return bytes_; }
  bool Exhausted() const { return bytesSpent_ || objectsSpent_; }
  // No more may be parsed (what was decoded can still be read).
  bool ObjectsSpent() const { return objectsSpent_; }

 private:
  static bool Take(std::size_t& left, std::size_t count, bool& spent) {
    if (count > left) {
      left = 0;
      spent = true;
      return false;
    }
    left -= count;
    return true;
  }

  std::size_t bytes_;
  std::size_t objects_;
  bool bytesSpent_ = false;
  bool objectsSpent_ = false;
};

}  // namespace qv::service::pdf
