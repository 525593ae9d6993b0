#include "service/extract/PdfCrypto.h"

#include <utility>

namespace qv::service::pdf {

std::string Rc4Cipher(std::string_view key, std::string_view data) {
  if (key.empty()) return {};
  unsigned char state[256];
  for (int i = 0; i < 256; ++i) state[i] = static_cast<unsigned char>(i);
  for (std::size_t i = 0, j = 0; i < 256; ++i) {
    j = (j + state[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xFF;
    std::swap(state[i], state[j]);
  }
  std::string out(data);
  std::size_t i = 0, j = 0;
  for (char& c : out) {
    i = (i + 1) & 0xFF;
    j = (j + state[i]) & 0xFF;
    std::swap(state[i], state[j]);
    c = static_cast<char>(c ^ state[(state[i] + state[j]) & 0xFF]);
  }
  return out;
}

}  // namespace qv::service::pdf
