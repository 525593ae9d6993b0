#include "service/extract/PdfText.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "service/extract/MarkupText.h"
#include "service/extract/Utf8Text.h"
#include "service/extract/PdfEncoding.h"
#include "service/extract/PdfFile.h"
#include "service/extract/PdfFont.h"

namespace qv::service {
namespace {

using pdf::Array;
using pdf::Object;

constexpr std::size_t kMaxPages = 100000;
// Forms drawn inside forms.
constexpr int kMaxFormNesting = 8;
// q without Q kept at most.
constexpr std::size_t kMaxSavedStates = 64;
constexpr std::size_t kMaxOperands = 512;
// A gap wider than this part of the font size separates words.
constexpr double kWordGap = 0.15;

struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  // this × other
  Matrix Times(const Matrix& o) const {
    return {a * o.a + b * o.c, a * o.b + b * o.d, c * o.a + d * o.c, c * o.b + d * o.d, e * o.a + f * o.c + o.e,
            e * o.b + f * o.d + o.f};
  }
  void Translate(double x, double y) {
    e += x * a + y * c;
    f += x * b + y * d;
  }
};

Matrix MatrixOf(const std::vector<Object>& operands, std::size_t first) {
  Matrix m;
  if (operands.size() < first + 6) return m;
  const Object* o = &operands[first];
  return {o[0].number, o[1].number, o[2].number, o[3].number, o[4].number, o[5].number};
}

struct TextState {
  std::shared_ptr<const pdf::Font> font;
  double size = 0;
  double charSpacing = 0;
  double wordSpacing = 0;
  double scale = 1;
  double leading = 0;
  Matrix ctm;
};

class PageReader {
 public:
  PageReader(pdf::File& file, pdf::Budget& budget, std::size_t limit, std::string& out)
      : file_(file), budget_(budget), limit_(limit), out_(out) {}

  void ReadPage(const Object& page, const Object& resources) {
    Object contents = file_.Resolve(page.Get("Contents"));
    std::string data;
    if (contents.IsStream()) {
      file_.ReadStream(contents, &data);
    } else if (contents.Is(Object::Type::Array)) {
      // Streams of one page may split anywhere between tokens.
      for (const Object& part : *contents.array) {
        std::string piece;
        Object stream = file_.Resolve(part);
        file_.ReadStream(stream, &piece);
        data += piece;
        data.push_back('\n');
      }
    }
    state_ = TextState();
    haveLast_ = false;
    Separate();
    Run(data, resources, 0);
  }

  bool Full() const { return out_.size() >= limit_ || budget_.ObjectsSpent(); }

 private:
  void Separate() {
    if (!out_.empty() && out_.back() != ' ' && out_.back() != '\n') out_.push_back(' ');
  }

  std::shared_ptr<const pdf::Font> FontNamed(const Object& resources, const std::string& name) {
    Object fonts = file_.Resolve(resources.Get("Font"));
    const Object& entry = fonts.Get(name);
    Object dictionary = file_.Resolve(entry);
    if (!dictionary.Is(Object::Type::Dictionary)) return nullptr;
    // Fonts are shared by pages: each is read once.
    const void* key = entry.Is(Object::Type::Reference) ? reinterpret_cast<const void*>(static_cast<std::uintptr_t>(entry.objectNumber) + 1)
                                                        : static_cast<const void*>(dictionary.dictionary.get());
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    auto font = std::make_shared<const pdf::Font>(file_, dictionary);
    if (!entry.Is(Object::Type::Reference)) keep_.push_back(dictionary);
    fonts_[key] = font;
    return font;
  }

  // Where text drawn now starts on the page, and how big it is there.
  void Position(double* x, double* y, double* size, double* dirX, double* dirY) const {
    Matrix m = tm_.Times(state_.ctm);
    *x = m.e;
    *y = m.f;
    double sx = m.c, sy = m.d;
    *size = std::fabs(state_.size) * std::sqrt(sx * sx + sy * sy);
    double length = std::sqrt(m.a * m.a + m.b * m.b);
    *dirX = length > 0 ? m.a / length : 1;
    *dirY = length > 0 ? m.b / length : 0;
  }

  void Append(char32_t c) {
    if (out_.size() >= limit_) return;
    // Ligatures are the letters they join, so that "file" finds "\uFB01le".
    static const char* const kLigatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    if (c >= 0xFB00 && c <= 0xFB06) {
      for (const char* letter = kLigatures[c - 0xFB00]; *letter; ++letter) Append(static_cast<char32_t>(*letter));
      return;
    }
    if (c < 0x20 || c == 0xFFFD || (c >= 0xD800 && c < 0xE000)) c = U' ';
    if (c == U' ' && (out_.empty() || out_.back() == ' ' || out_.back() == '\n')) return;
    AppendUtf8(out_, c);
  }

  void Show(const std::string& bytes) {
    if (!state_.font) return;
    double x, y, size, dx, dy;
    Position(&x, &y, &size, &dx, &dy);
    if (haveLast_) {
      double along = (x - lastX_) * dx + (y - lastY_) * dy;
      double across = -(x - lastX_) * dy + (y - lastY_) * dx;
      double unit = std::max(size, lastSize_);
      if (unit <= 0) unit = 1;
      if (state_.font->Vertical()) std::swap(along, across), along = -along;
      if (std::fabs(across) > 0.5 * unit || along > kWordGap * unit || along < -unit) Separate();
    }
    state_.font->Decode(bytes, &glyphs_);
    if (!budget_.TakeObjects(glyphs_.size())) return;
    for (const pdf::Font::Glyph& glyph : glyphs_) {
      for (char32_t c : glyph.text) Append(c);
      double advance = glyph.width / 1000 * state_.size + state_.charSpacing + (glyph.wordSpace ? state_.wordSpacing : 0);
      if (state_.font->Vertical()) {
        tm_.Translate(0, -advance);
      } else {
        tm_.Translate(advance * state_.scale, 0);
      }
    }
    Position(&lastX_, &lastY_, &lastSize_, &dx, &dy);
    haveLast_ = true;
  }

  void NextLine() {
    tlm_.Translate(0, -state_.leading);
    tm_ = tlm_;
  }

  void Run(const std::string& data, const Object& resources, int depth) {
    pdf::Budget& budget = budget_;
    pdf::Parser parser(data, budget);
    std::vector<Object> operands;
    std::vector<TextState> saved;
    Object token;
    while (!Full() && parser.ParseObject(&token)) {
      if (!token.Is(Object::Type::Keyword)) {
        if (operands.size() >= kMaxOperands) operands.clear();
        operands.push_back(std::move(token));
        continue;
      }
      const std::string& op = token.text;
      auto number = [&](std::size_t i) { return i < operands.size() ? operands[i].number : 0.0; };
      auto last = [&]() -> const Object& { return operands.empty() ? pdf::NullObject() : operands.back(); };
      if (op == "BT") {
        tm_ = tlm_ = Matrix();
      } else if (op == "Tf" && operands.size() >= 2) {
        state_.font = FontNamed(resources, operands[operands.size() - 2].text);
        state_.size = last().number;
      } else if (op == "Td" && operands.size() >= 2) {
        tlm_.Translate(number(operands.size() - 2), number(operands.size() - 1));
        tm_ = tlm_;
      } else if (op == "TD" && operands.size() >= 2) {
        state_.leading = -number(operands.size() - 1);
        tlm_.Translate(number(operands.size() - 2), number(operands.size() - 1));
        tm_ = tlm_;
      } else if (op == "Tm" && operands.size() >= 6) {
        tm_ = tlm_ = MatrixOf(operands, operands.size() - 6);
      } else if (op == "T*") {
        NextLine();
      } else if (op == "TL") {
        state_.leading = last().number;
      } else if (op == "Tc") {
        state_.charSpacing = last().number;
      } else if (op == "Tw") {
        state_.wordSpacing = last().number;
      } else if (op == "Tz") {
        state_.scale = last().number / 100;
      } else if (op == "Tj") {
        Show(last().text);
      } else if (op == "'") {
        NextLine();
        Show(last().text);
      } else if (op == "\"" && operands.size() >= 3) {
        state_.wordSpacing = number(operands.size() - 3);
        state_.charSpacing = number(operands.size() - 2);
        NextLine();
        Show(last().text);
      } else if (op == "TJ" && last().Is(Object::Type::Array)) {
        for (const Object& item : *last().array) {
          if (item.Is(Object::Type::String)) {
            Show(item.text);
          } else if (item.Is(Object::Type::Number)) {
            double shift = -item.number / 1000 * state_.size;
            if (state_.font && state_.font->Vertical()) {
              tm_.Translate(0, shift);
            } else {
              tm_.Translate(shift * state_.scale, 0);
            }
          }
        }
      } else if (op == "cm" && operands.size() >= 6) {
        state_.ctm = MatrixOf(operands, operands.size() - 6).Times(state_.ctm);
      } else if (op == "q") {
        if (saved.size() < kMaxSavedStates) saved.push_back(state_);
      } else if (op == "Q") {
        if (!saved.empty()) {
          state_ = saved.back();
          saved.pop_back();
        }
      } else if (op == "Do" && last().Is(Object::Type::Name)) {
        DrawForm(resources, last().text, depth);
      } else if (op == "ID") {
        // An inline image's data runs to the first EI standing alone.
        std::size_t at = parser.Tokens().Position() + 1;
        for (at = data.find("EI", at); at != std::string::npos; at = data.find("EI", at + 2)) {
          bool before = pdf::IsWhitespace(data[at - 1]);
          bool after = at + 2 >= data.size() || pdf::IsWhitespace(data[at + 2]);
          if (before && after) break;
        }
        parser.Seek(at == std::string::npos ? data.size() : at + 2);
      }
      operands.clear();
    }
  }

  void DrawForm(const Object& resources, const std::string& name, int depth) {
    if (depth >= kMaxFormNesting) {
      file_.MarkDamaged();
      return;
    }
    Object xobjects = file_.Resolve(resources.Get("XObject"));
    const Object& entry = xobjects.Get(name);
    if (entry.Is(Object::Type::Reference) && drawing_.count(entry.objectNumber)) return;  // a form drawing itself
    Object form = file_.Resolve(entry);
    if (!form.IsStream() || !form.Get("Subtype").IsName("Form")) return;
    std::string data;
    file_.ReadStream(form, &data);
    Object own = file_.Resolve(form.Get("Resources"));
    TextState outer = state_;
    Matrix tm = tm_, tlm = tlm_;
    const Object& matrix = form.Get("Matrix");
    if (matrix.Is(Object::Type::Array) && matrix.array->size() == 6) {
      state_.ctm = MatrixOf(*matrix.array, 0).Times(state_.ctm);
    }
    if (entry.Is(Object::Type::Reference)) drawing_.insert(entry.objectNumber);
    Run(data, own.Is(Object::Type::Dictionary) ? own : resources, depth + 1);
    if (entry.Is(Object::Type::Reference)) drawing_.erase(entry.objectNumber);
    state_ = outer;
    tm_ = tm;
    tlm_ = tlm;
  }

  pdf::File& file_;
  pdf::Budget& budget_;
  std::size_t limit_;
  std::string& out_;
  TextState state_;
  Matrix tm_, tlm_;
  bool haveLast_ = false;
  double lastX_ = 0, lastY_ = 0, lastSize_ = 0;
  std::vector<pdf::Font::Glyph> glyphs_;
  std::unordered_map<const void*, std::shared_ptr<const pdf::Font>> fonts_;
  std::vector<Object> keep_;  // direct font dictionaries, whose address is their key
  std::unordered_set<std::uint32_t> drawing_;
};

std::string Trimmed(std::string text) {
  std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return {};
  std::size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(start, end - start + 1);
}

std::string TitleOf(pdf::File& file, const Object& catalog) {
  Object info = file.Resolve(file.Trailer().Get("Info"));
  Object title = file.Resolve(info.Get("Title"));
  if (title.Is(Object::Type::String)) {
    std::string text = Trimmed(pdf::TextStringUtf8(title.text));
    if (!text.empty()) return text;
  }
  Object metadata = file.Resolve(catalog.Get("Metadata"));
  std::string xml;
  if (!metadata.IsStream() || !file.ReadStream(metadata, &xml)) return {};
  // The markup reader takes valid UTF-8; XMP is UTF-8 by rule, but not always in fact.
  MakeValidUtf8(xml);
  return Trimmed(XmlElementText(xml, "dc:title"));
  return {};
}

}  // namespace

PdfContent PdfText(std::string_view bytes, std::size_t limit, pdf::Crypto* crypto, std::size_t maxDecodedBytes,
                   std::size_t maxObjects) {
  PdfContent content;
  pdf::Budget budget(maxDecodedBytes, maxObjects);
  pdf::File file(bytes, budget, crypto);
  pdf::File::Status status = file.Open();
  if (status == pdf::File::Status::NotPdf) return content;
  content.isPdf = true;
  if (status == pdf::File::Status::NeedsPassword) {
    content.encrypted = true;
    return content;
  }
  Object catalog = file.Resolve(file.Trailer().Get("Root"));
  content.title = TitleOf(file, catalog);
  MakeValidUtf8(content.title);  // the markup reader may cut it inside a character
  PageReader reader(file, budget, limit, content.text);
  // The page tree walked in order without recursion; each node once.
  struct Node {
    Object node;
    Object resources;
  };
  std::vector<Node> stack;
  stack.push_back({file.Resolve(catalog.Get("Pages")), Object()});
  std::unordered_set<std::uint32_t> seen;
  std::size_t pages = 0;
  while (!stack.empty() && !reader.Full() && pages < kMaxPages) {
    Node current = std::move(stack.back());
    stack.pop_back();
    if (!current.node.Is(Object::Type::Dictionary)) continue;
    Object resources = file.Resolve(current.node.Get("Resources"));
    if (!resources.Is(Object::Type::Dictionary)) resources = current.resources;
    Object kids = file.Resolve(current.node.Get("Kids"));
    if (kids.Is(Object::Type::Array) && !current.node.Get("Type").IsName("Page")) {
      for (auto kid = kids.array->rbegin(); kid != kids.array->rend(); ++kid) {
        if (kid->Is(Object::Type::Reference) && !seen.insert(kid->objectNumber).second) {
          file.MarkDamaged();
          continue;
        }
        stack.push_back({file.Resolve(*kid), resources});
      }
      continue;
    }
    ++pages;
    reader.ReadPage(current.node, resources);
  }
  if (!catalog.Is(Object::Type::Dictionary) || pages == 0) content.damaged = true;
  content.damaged = content.damaged || file.Damaged();
  content.cutOff = budget.Exhausted() || content.text.size() >= limit;
  CutUtf8(content.text, limit);  // the last character may have gone past it
  while (!content.text.empty() && (content.text.back() == ' ' || content.text.back() == '\n')) content.text.pop_back();
  return content;
}

}  // namespace qv::service
