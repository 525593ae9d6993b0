#pragma once
// The structure of a PDF file: its cross-reference sections (tables and
// streams, the newest update first, /Prev chains followed a bounded number of
// times), object streams, a repair scan of `obj` markers when the
// cross-reference is damaged, and encryption with an empty user password.
// Objects are read when first asked for; reference cycles are cut off.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "service/extract/PdfCrypto.h"
#include "service/extract/PdfFilters.h"
#include "service/extract/PdfObject.h"
#include "service/extract/PdfSecurity.h"
#include "service/extract/PdfBudget.h"

namespace qv::service::pdf {

class File {
 public:
  enum class Status { Open, NotPdf, NeedsPassword };

  // `crypto` may be null: then encrypted documents cannot be read.
  File(std::string_view bytes, Budget& budget, Crypto* crypto);
  Status Open();

  const Object& Trailer() const { return trailer_; }
  // The object a reference names (the object itself otherwise); null for a
  // missing object or one whose reading is already under way (a cycle).
  Object Resolve(const Object& object);
  // The decoded data of a stream object from Resolve. False when there is
  // none (an image filter, damaged data); `out` may still hold a part.
  bool ReadStream(const Object& stream, std::string* out);
  // Something was malformed, missing or cut off on the way.
  bool Damaged() const { return damaged_; }
  void MarkDamaged() { damaged_ = true; }
  // The document's budget, for what is read from the objects (fonts' maps).
  Budget& DocumentBudget() { return budget_; }

 private:
  struct Entry {
    bool compressed = false;
    std::size_t offset = 0;        // in the file, or the index in its object stream
    std::uint32_t container = 0;   // the object stream holding it
  };
  struct ObjectStream {
    std::string data;
    std::unordered_map<std::uint32_t, std::size_t> offsets;
  };

  bool ReadSections(std::size_t offset);
  bool ReadTable(std::size_t offset, Object* trailer);
  bool ReadXrefStream(std::size_t offset, Object* trailer);
  void Repair();
  void AddEntry(std::uint32_t number, const Entry& entry, bool replace = false);
  bool Load(std::uint32_t number, Object* out);
  bool LoadAt(std::size_t offset, std::uint32_t number, Object* out);
  bool LoadCompressed(const Entry& entry, std::uint32_t number, Object* out);
  ObjectStream* Container(std::uint32_t number);
  std::size_t StreamEnd(std::size_t start, const Object& dictionary);
  std::vector<Filter> FiltersOf(const Object& dictionary);
  void DecryptStrings(Object& object, std::uint32_t number, std::uint32_t generation, int depth);

  std::string_view bytes_;
  Budget& budget_;
  Crypto* crypto_;
  Security security_;
  bool encrypted_ = false;
  std::uint32_t encryptObject_ = 0;
  bool damaged_ = false;
  bool repaired_ = false;
  bool sectionsRead_ = false;
  Object trailer_;
  std::unordered_map<std::uint32_t, Entry> entries_;
  std::unordered_map<std::uint32_t, Object> cache_;
  std::unordered_set<std::uint32_t> loading_;
  std::unordered_map<std::uint32_t, std::unique_ptr<ObjectStream>> containers_;
  std::vector<std::size_t> streamEnds_;  // where each `endstream` stands, found once when needed
  bool streamEndsFound_ = false;
};

}  // namespace qv::service::pdf
