#pragma once
// Reads a fixed-size text field of a record. Items come back from the shell and
// may have lost their terminating zero, so a field is never read past its size.

#include <cstddef>
#include <cstring>
#include <string>

namespace qv {

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// Stores text in a field, cut so that the field keeps its terminating zero.
template <std::size_t N>
void SetFieldText(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N - 1);
}

}  // namespace qv
