#include "service/extract/PdfFile.h"

#include <algorithm>
#include <cmath>

namespace qv::service::pdf {
namespace {

// Incremental updates a document may have before the rest is taken as a loop.
constexpr int kMaxSections = 256;
// References to references followed before giving up.
constexpr int kMaxIndirection = 16;
// Filters in one chain.
constexpr std::size_t kMaxFilters = 8;

bool AsOffset(const Object& o, std::size_t limit, std::size_t* offset) {
  if (!o.Is(Object::Type::Number) || o.number < 0 || o.number >= static_cast<double>(limit)) return false;
  *offset = static_cast<std::size_t>(o.number);
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::uint64_t ReadField(std::string_view data, std::size_t position, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(data[position + static_cast<std::size_t>(i)]);
  return value;
}

}  // namespace

File::File(std::string_view bytes, Budget& budget, Crypto* crypto) : bytes_(bytes), budget_(budget), crypto_(crypto) {}

File::Status File::Open() {
  std::size_t header = bytes_.substr(0, 1024).find("%PDF-");
  if (header == std::string_view::npos) return Status::NotPdf;
  // Offsets count from the header; a few files carry junk before it.
  if (header > 0) bytes_ = bytes_.substr(header);
  std::size_t tail = bytes_.size() > 2048 ? bytes_.size() - 2048 : 0;
  std::size_t marker = bytes_.rfind("startxref");
  bool read = false;
  if (marker != std::string_view::npos && marker >= tail) {
    Lexer lexer(bytes_, marker + 9);
    Object offset;
    std::size_t position = 0;
    if (lexer.Next(&offset) && AsOffset(offset, bytes_.size(), &position)) read = ReadSections(position);
  }
  sectionsRead_ = true;
  if (!read || !trailer_.Get("Root").Is(Object::Type::Reference)) Repair();
  const Object& encrypt = trailer_.Get("Encrypt");
  if (!encrypt.Is(Object::Type::Null)) {
    encrypted_ = true;
    if (encrypt.Is(Object::Type::Reference)) encryptObject_ = encrypt.objectNumber;
    Object dictionary = Resolve(encrypt);
    const Object& ids = trailer_.Get("ID");
    std::string id = ids.Is(Object::Type::Array) && !ids.array->empty() ? (*ids.array)[0].text : std::string();
    if (!crypto_ || security_.Open(dictionary, id, *crypto_) != Security::Status::Open) return Status::NeedsPassword;
    // Objects read before the key was known (a /Length, say) are read again.
    cache_.clear();
  }
  return Status::Open;
}

bool File::ReadSections(std::size_t offset) {
  std::unordered_set<std::size_t> seen;
  bool first = true;
  for (int section = 0; section < kMaxSections; ++section) {
    if (!seen.insert(offset).second) break;
    Object trailer;
    Lexer lexer(bytes_, offset);
    Object keyword;
    bool ok = lexer.Next(&keyword) && keyword.Is(Object::Type::Keyword) && keyword.text == "xref"
                  ? ReadTable(offset, &trailer)
                  : ReadXrefStream(offset, &trailer);
    if (!ok) {
      damaged_ = true;
      return !first;
    }
    if (first) {
      trailer_ = trailer;
      first = false;
    } else if (trailer.Is(Object::Type::Dictionary)) {
      // Keys the newer trailers leave out come from the older ones.
      for (const auto& [key, value] : *trailer.dictionary) {
        if (trailer_.Get(key).Is(Object::Type::Null)) trailer_.dictionary->emplace_back(key, value);
      }
    }
    // A file written for both kinds of reader keeps its compressed objects in a
    // cross-reference stream named by the table's trailer.
    std::size_t hybrid = 0;
    if (AsOffset(trailer.Get("XRefStm"), bytes_.size(), &hybrid) && seen.insert(hybrid).second) {
      Object ignored;
      if (!ReadXrefStream(hybrid, &ignored)) damaged_ = true;
    }
    if (!AsOffset(trailer.Get("Prev"), bytes_.size(), &offset)) return true;
  }
  return true;
}

void File::AddEntry(std::uint32_t number, const Entry& entry, bool replace) {
  if (replace) {
    entries_[number] = entry;
  } else {
    entries_.emplace(number, entry);
  }
}

bool File::ReadTable(std::size_t offset, Object* trailer) {
  Parser parser(bytes_, budget_, offset);
  Lexer& lexer = parser.Tokens();
  Object token;
  lexer.Next(&token);  // xref
  while (lexer.Next(&token)) {
    if (token.Is(Object::Type::Keyword) && token.text == "trailer") {
      return parser.ParseObject(trailer) && trailer->Is(Object::Type::Dictionary);
    }
    Object count;
    if (!token.Is(Object::Type::Number) || !lexer.Next(&count) || !count.Is(Object::Type::Number) || token.number < 0 ||
        count.number < 0) {
      return false;
    }
    double start = token.number;
    // Each entry takes 20 bytes: a count past what is left is a lie.
    double entries = std::min(count.number, static_cast<double>((bytes_.size() - lexer.Position()) / 18 + 1));
    for (double i = 0; i < entries; ++i) {
      Object position, generation, kind;
      if (!lexer.Next(&position) || !lexer.Next(&generation) || !lexer.Next(&kind)) return false;
      if (!budget_.TakeObjects(1)) return false;
      if (!position.Is(Object::Type::Number) || !kind.Is(Object::Type::Keyword)) return false;
      double number = start + i;
      if (kind.text == "n" && number < 4294967295.0 && position.number > 0 && position.number < static_cast<double>(bytes_.size())) {
        Entry entry;
        entry.offset = static_cast<std::size_t>(position.number);
        AddEntry(static_cast<std::uint32_t>(number), entry);
      }
    }
  }
  return false;
}

bool File::ReadXrefStream(std::size_t offset, Object* trailer) {
  Parser parser(bytes_, budget_, offset);
  std::uint32_t number = 0, generation = 0;
  Object stream;
  if (!parser.ParseIndirect(&number, &generation, &stream) || !stream.IsStream() || !stream.Get("Type").IsName("XRef")) {
    return false;
  }
  stream.objectNumber = number;
  stream.generation = generation;
  std::string data;
  if (!ReadStream(stream, &data) && data.empty()) return false;
  const Object& widths = stream.Get("W");
  if (!widths.Is(Object::Type::Array) || widths.array->size() < 3) return false;
  int w[3];
  for (int i = 0; i < 3; ++i) {
    w[i] = (*widths.array)[static_cast<std::size_t>(i)].Int(-1);
    if (w[i] < 0 || w[i] > 8) return false;
  }
  std::size_t row = static_cast<std::size_t>(w[0] + w[1] + w[2]);
  if (row == 0) return false;
  std::vector<std::pair<double, double>> ranges;
  const Object& index = stream.Get("Index");
  if (index.Is(Object::Type::Array)) {
    for (std::size_t i = 0; i + 1 < index.array->size(); i += 2) {
      ranges.emplace_back((*index.array)[i].number, (*index.array)[i + 1].number);
    }
  } else {
    ranges.emplace_back(0, stream.Get("Size").number);
  }
  std::size_t position = 0;
  for (const auto& [start, count] : ranges) {
    for (double i = 0; i < count && position + row <= data.size(); ++i, position += row) {
      if (!budget_.TakeObjects(1)) return false;
      std::uint64_t type = w[0] == 0 ? 1 : ReadField(data, position, w[0]);
      std::uint64_t second = ReadField(data, position + static_cast<std::size_t>(w[0]), w[1]);
      std::uint64_t third = ReadField(data, position + static_cast<std::size_t>(w[0] + w[1]), w[2]);
      double objectNumber = start + i;
      if (objectNumber < 0 || objectNumber >= 4294967295.0) continue;
      Entry entry;
      if (type == 1 && second < bytes_.size()) {
        entry.offset = static_cast<std::size_t>(second);
      } else if (type == 2 && second < 4294967295u) {
        entry.compressed = true;
        entry.container = static_cast<std::uint32_t>(second);
        entry.offset = static_cast<std::size_t>(third);
      } else {
        continue;
      }
      AddEntry(static_cast<std::uint32_t>(objectNumber), entry);
    }
  }
  *trailer = stream;
  trailer->streamStart = std::string_view::npos;
  return true;
}

// Every `n g obj` in the file, the last of each number winning as an update's
// would; the trailer from the last `trailer` dictionary or the catalog found.
void File::Repair() {
  if (repaired_) return;
  repaired_ = true;
  damaged_ = true;
  entries_.clear();
  cache_.clear();
  containers_.clear();
  std::vector<std::uint32_t> found;
  for (std::size_t at = bytes_.find("obj"); at != std::string_view::npos; at = bytes_.find("obj", at + 3)) {
    if (at + 3 < bytes_.size() && !IsWhitespace(bytes_[at + 3]) && !IsDelimiter(bytes_[at + 3])) continue;
    std::size_t p = at;
    while (p > 0 && IsWhitespace(bytes_[p - 1])) --p;
    std::size_t end = p;
    while (p > 0 && IsDigit(bytes_[p - 1])) --p;
    if (p == end || p == 0) continue;
    std::size_t generationStart = p;
    while (p > 0 && IsWhitespace(bytes_[p - 1])) --p;
    if (p == generationStart) continue;
    end = p;
    while (p > 0 && IsDigit(bytes_[p - 1]) && end - p < 10) --p;
    if (p == end || (p > 0 && !IsWhitespace(bytes_[p - 1]) && !IsDelimiter(bytes_[p - 1]))) continue;
    double number = 0;
    for (std::size_t i = p; i < end; ++i) number = number * 10 + (bytes_[i] - '0');
    if (number >= 4294967295.0) continue;
    Entry entry;
    entry.offset = p;
    AddEntry(static_cast<std::uint32_t>(number), entry, true);
    found.push_back(static_cast<std::uint32_t>(number));
    if (!budget_.TakeObjects(1)) break;
  }
  Object trailer;
  for (std::size_t at = bytes_.find("trailer"); at != std::string_view::npos; at = bytes_.find("trailer", at + 7)) {
    Parser parser(bytes_, budget_, at + 7);
    Object candidate;
    if (parser.ParseObject(&candidate) && candidate.Get("Root").Is(Object::Type::Reference)) trailer = candidate;
  }
  if (!trailer.Is(Object::Type::Dictionary)) {
    trailer.type = Object::Type::Dictionary;
    trailer.dictionary = std::make_shared<Dictionary>();
  }
  // Objects kept in object streams, and the catalog when no trailer names it.
  bool needRoot = !trailer.Get("Root").Is(Object::Type::Reference);
  std::vector<std::pair<std::uint32_t, Entry>> inStreams;
  for (std::uint32_t number : found) {
    const Entry& entry = entries_[number];
    Parser parser(bytes_, budget_, entry.offset);
    std::uint32_t n = 0, g = 0;
    Object object;
    if (!parser.ParseIndirect(&n, &g, &object)) continue;
    const Object& type = object.Get("Type");
    if (needRoot && type.IsName("Catalog")) {
      Object root;
      root.type = Object::Type::Reference;
      root.objectNumber = n;
      root.generation = g;
      trailer.dictionary->emplace_back("Root", root);
      needRoot = false;
    }
    if (type.IsName("ObjStm") && object.IsStream()) {
      object.objectNumber = n;
      object.generation = g;
      ObjectStream* container = Container(n);
      if (!container) continue;
      for (const auto& [member, index] : container->offsets) {
        Entry compressed;
        compressed.compressed = true;
        compressed.container = n;
        compressed.offset = index;
        inStreams.emplace_back(member, compressed);
      }
    }
    if (budget_.Exhausted()) break;
  }
  for (const auto& [member, entry] : inStreams) AddEntry(member, entry);
  if (trailer_.Is(Object::Type::Dictionary)) {
    for (const auto& [key, value] : *trailer_.dictionary) {
      if (trailer.Get(key).Is(Object::Type::Null) && key != "Prev" && key != "XRefStm") trailer.dictionary->emplace_back(key, value);
    }
  }
  trailer_ = std::move(trailer);
}

Object File::Resolve(const Object& object) {
  Object current = object;
  for (int i = 0; i < kMaxIndirection && current.Is(Object::Type::Reference); ++i) {
    Object next;
    if (!Load(current.objectNumber, &next)) return Object();
    current = std::move(next);
  }
  return current.Is(Object::Type::Reference) ? Object() : current;
}

bool File::Load(std::uint32_t number, Object* out) {
  auto cached = cache_.find(number);
  if (cached != cache_.end()) {
    *out = cached->second;
    return true;
  }
  if (!loading_.insert(number).second) return false;  // a cycle
  bool loaded = false;
  auto entry = entries_.find(number);
  if (entry != entries_.end()) {
    Entry where = entry->second;
    loaded = where.compressed ? LoadCompressed(where, number, out) : LoadAt(where.offset, number, out);
  }
  if (!loaded && !repaired_ && sectionsRead_) {
    // The cross-reference pointed astray: look for the objects themselves.
    Repair();
    entry = entries_.find(number);
    if (entry != entries_.end()) {
      Entry where = entry->second;
      loaded = where.compressed ? LoadCompressed(where, number, out) : LoadAt(where.offset, number, out);
    }
  }
  loading_.erase(number);
  if (loaded) cache_[number] = *out;
  return loaded;
}

bool File::LoadAt(std::size_t offset, std::uint32_t number, Object* out) {
  Parser parser(bytes_, budget_, offset);
  std::uint32_t n = 0, g = 0;
  if (!parser.ParseIndirect(&n, &g, out) || n != number) return false;
  out->objectNumber = n;
  out->generation = g;
  if (encrypted_ && n != encryptObject_) DecryptStrings(*out, n, g, 0);
  return true;
}

void File::DecryptStrings(Object& object, std::uint32_t number, std::uint32_t generation, int depth) {
  if (depth > 64) return;
  if (object.Is(Object::Type::String)) {
    if (!security_.DecryptString(number, generation, &object.text)) object.text.clear();
  } else if (object.Is(Object::Type::Array)) {
    for (Object& item : *object.array) DecryptStrings(item, number, generation, depth + 1);
  } else if (object.Is(Object::Type::Dictionary)) {
    for (auto& [key, value] : *object.dictionary) DecryptStrings(value, number, generation, depth + 1);
  }
}

File::ObjectStream* File::Container(std::uint32_t number) {
  auto known = containers_.find(number);
  if (known != containers_.end()) return known->second.get();
  containers_[number] = nullptr;  // a container inside itself finds nothing
  Object stream = Resolve([&] {
    Object reference;
    reference.type = Object::Type::Reference;
    reference.objectNumber = number;
    return reference;
  }());
  if (!stream.IsStream()) return nullptr;
  auto container = std::make_unique<ObjectStream>();
  if (!ReadStream(stream, &container->data) && container->data.empty()) return nullptr;
  int count = stream.Get("N").Int(0);
  std::size_t first = 0;
  if (count <= 0 || !AsOffset(stream.Get("First"), container->data.size() + 1, &first)) return nullptr;
  Lexer lexer(container->data);
  for (int i = 0; i < count; ++i) {
    Object member, offset;
    if (!lexer.Next(&member) || !lexer.Next(&offset) || !member.Is(Object::Type::Number) ||
        !offset.Is(Object::Type::Number) || lexer.Position() > first || !budget_.TakeObjects(1)) {
      break;
    }
    std::size_t at = 0;
    if (member.number >= 0 && member.number < 4294967295.0 && AsOffset(offset, container->data.size() - first + 1, &at)) {
      container->offsets.emplace(static_cast<std::uint32_t>(member.number), first + at);
    }
  }
  ObjectStream* result = container.get();
  containers_[number] = std::move(container);
  return result;
}

bool File::LoadCompressed(const Entry& entry, std::uint32_t number, Object* out) {
  ObjectStream* container = Container(entry.container);
  if (!container) return false;
  auto at = container->offsets.find(number);
  if (at == container->offsets.end()) return false;
  Parser parser(container->data, budget_, at->second);
  if (!parser.ParseObject(out)) return false;
  out->streamStart = std::string_view::npos;
  out->objectNumber = number;
  out->generation = 0;
  return true;
}

// Where a stream's data ends: its /Length when `endstream` follows it, the
// next `endstream` otherwise.
std::size_t File::StreamEnd(std::size_t start, const Object& dictionary) {
  Object length = Resolve(dictionary.Get("Length"));
  if (length.Is(Object::Type::Number) && length.number >= 0 && length.number <= static_cast<double>(bytes_.size() - start)) {
    std::size_t end = start + static_cast<std::size_t>(length.number);
    Lexer lexer(bytes_, end);
    Object keyword;
    if (lexer.Next(&keyword) && keyword.Is(Object::Type::Keyword) &&
        (keyword.text == "endstream" || keyword.text.compare(0, 9, "endstream") == 0)) {
      return end;
    }
  }
  damaged_ = true;
  if (!streamEndsFound_) {
    streamEndsFound_ = true;
    for (std::size_t at = bytes_.find("endstream"); at != std::string_view::npos; at = bytes_.find("endstream", at + 9)) {
      streamEnds_.push_back(at);
    }
  }
  auto next = std::lower_bound(streamEnds_.begin(), streamEnds_.end(), start);
  std::size_t end = next == streamEnds_.end() ? bytes_.size() : *next;
  if (end > start && bytes_[end - 1] == '\n') --end;
  if (end > start && bytes_[end - 1] == '\r') --end;
  return end;
}

std::vector<Filter> File::FiltersOf(const Object& dictionary) {
  std::vector<Filter> filters;
  Object names = Resolve(dictionary.Get("Filter"));
  Object parms = Resolve(dictionary.Get("DecodeParms"));
  if (names.Is(Object::Type::Name)) {
    filters.emplace_back(names.text, parms.Is(Object::Type::Array) && !parms.array->empty() ? Resolve((*parms.array)[0]) : parms);
  } else if (names.Is(Object::Type::Array)) {
    for (std::size_t i = 0; i < names.array->size() && i < kMaxFilters; ++i) {
      Object name = Resolve((*names.array)[i]);
      Object parm = parms.Is(Object::Type::Array) && i < parms.array->size() ? Resolve((*parms.array)[i]) : Object();
      filters.emplace_back(name.text, parm);
    }
  }
  return filters;
}

bool File::ReadStream(const Object& stream, std::string* out) {
  out->clear();
  if (!stream.IsStream() || stream.streamStart > bytes_.size()) return false;
  std::size_t end = StreamEnd(stream.streamStart, stream);
  std::string_view raw = bytes_.substr(stream.streamStart, end - stream.streamStart);
  std::vector<Filter> filters = FiltersOf(stream);
  std::string decrypted;
  bool crypt = encrypted_ && !stream.Get("Type").IsName("XRef") &&
               !(stream.Get("Type").IsName("Metadata") && !security_.EncryptsMetadata()) &&
               std::none_of(filters.begin(), filters.end(), [](const Filter& f) { return f.first == "Crypt"; });
  if (crypt) {
    if (!budget_.TakeBytes(raw.size())) return false;
    decrypted.assign(raw);
    if (!security_.DecryptStream(stream.objectNumber, stream.generation, &decrypted)) {
      damaged_ = true;
      return false;
    }
    raw = decrypted;
  }
  DecodeResult result = DecodeFilters(raw, filters, budget_, out);
  if (result == DecodeResult::Damaged) damaged_ = true;  // a cut-off is the budget's, not the file's
  return result == DecodeResult::Decoded || (result == DecodeResult::Damaged && !out->empty());
}

}  // namespace qv::service::pdf
