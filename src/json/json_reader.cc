#include "json/json_reader.h"

#include <cstring>
#include <vector>

#include "json/json_cost.h"
#include "json/plain_run.h"
#include "value/element_stack.h"
#include "value/utf8.h"

namespace tersolite::json {

std::string ParseError::text() const { return message + position_text({line, column}); }

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

class Reader {
 public:
  Reader(std::string_view text, Arena* arena, std::optional<uint64_t> width = std::nullopt)
      : text_(text), arena_(arena) {
    if (arena != nullptr && width) layout_ = Layout{*width};
  }

  Expected<Value, ParseError> run() {
    skip_space();
    Value value;
    if (!read_document(value)) return unexpected(error_);
    skip_space();
    if (pos_ < text_.size()) {
      fail("unexpected trailing characters", pos_);
      return unexpected(error_);
    }
    return value;
  }

 private:
  // An open container: its items or members wait on the shared scratch
  // stacks from `start` on, and move into an exactly sized block when it
  // closes (no regrowth).
  struct Frame {
    bool object;
    size_t start;
    Text key;          // the member whose value is being read
    bool nested;       // some element is a non-empty container
    bool sizing;       // `written` is kept: this container's size is needed
    uint64_t written;  // what the elements so far write, when sizing
    size_t open;       // where its '[' or '{' is
    bool numbers;      // every element so far is a number
  };

  // Containers are noted below the top level (which is always measured
  // child by child) when they hold a non-empty container; one is sized when
  // it may be noted or its parent is. So a top-level array of flat records
  // sizes nothing, and a container starts sizing when its first non-empty
  // container opens, from the scalars and empty containers before it.
  void open_child(std::vector<Frame>& stack, const ElementStack<Value>& items, const ElementStack<Member>& members) {
    Frame& parent = stack.back();
    parent.nested = true;
    if (parent.sizing || stack.size() < 2) return;
    parent.sizing = true;
    if (parent.object) {
      for (size_t i = parent.start; i < members.size(); ++i)
        parent.written += member_key_cost(*layout_, members[i].key) + element_size(members[i].value);
    } else {
      for (size_t i = parent.start; i < items.size(); ++i) parent.written += element_size(items[i]);
    }
  }
  // The size of a scalar or an empty container (what a container holds
  // before its first non-empty container).
  static uint64_t element_size(const Value& v) { return v.is_scalar() ? scalar_written_size(v) : 2; }

  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }

  void skip_space() {
    while (pos_ < text_.size() && is_space(text_[pos_])) ++pos_;
  }

  // Records the error at byte position `at`; always returns false.
  bool fail(const char* message, size_t at) {
    error_.message = message;
    TextPosition p = position_of(text_, at);
    error_.line = p.line;
    error_.column = p.column;
    return false;
  }

  // After '{' and its whitespace, or after a member's comma: the key, the
  // colon and the whitespace before the value.
  bool read_key(Text& key) {
    if (at_end() || peek() != '"') return fail("expected string key", pos_);
    ++pos_;
    std::string_view raw;
    Read how = Read::kSlice;
    if (!read_string(raw, &how)) return false;
    if (arena_ == nullptr) {
      key = Text(raw);
    } else {
      key = how == Read::kPlainSlice ? Text::borrow_plain(raw, *arena_) : Text::borrow(raw, *arena_);
    }
    skip_space();
    if (at_end() || peek() != ':') return fail("expected ':'", pos_);
    ++pos_;
    skip_space();
    return true;
  }

  // Long, and kept whole: one loop with its own stack instead of recursion,
  // so nesting costs no native stack, and the hot path of every request.
  bool read_document(Value& out) {
    std::vector<Frame> stack;
    ElementStack<Value> items;
    ElementStack<Member> members;
    Value value;
    uint64_t written = 0;  // what `value` writes, when its container is sizing
    while (true) {
      // A value is expected at depth stack.size().
      if (stack.size() > kMaxDepth) return fail("nesting too deep", pos_);
      if (at_end()) return fail("unexpected end of input", pos_);
      char c = peek();
      if (c == '[' || c == '{') {
        size_t open = pos_;
        ++pos_;
        skip_space();
        bool object = c == '{';
        if (!at_end() && peek() == (object ? '}' : ']')) {
          ++pos_;
          value = object ? Value::object() : Value::array();
        } else {
          if (packing_.on) [[unlikely]]
            unpack(stack.back(), items);  // it holds a container too
          bool sizing = false;
          if (layout_ && !stack.empty()) {
            open_child(stack, items, members);
            sizing = stack.back().sizing;
          }
          stack.push_back(Frame{object, object ? members.size() : items.size(), {}, false, sizing, 0, open, true});
          if (object && !read_key(stack.back().key)) return false;
          continue;
        }
      } else if (!read_scalar(value)) {
        return false;
      }
      if (!stack.empty() && stack.back().sizing) written = element_size(value);
      // Hand finished values to their containers until one expects more.
      while (true) {
        if (stack.empty()) {
          out = std::move(value);
          return true;
        }
        Frame& top = stack.back();
        if (top.sizing) top.written += written + (top.object ? member_key_cost(*layout_, top.key) : 0);
        if (top.object) {
          members.push_back(Member{std::move(top.key), std::move(value)});
        } else if (!top.numbers) {
          items.push_back(std::move(value));
        } else if (value.is_number()) {
          if (packing_.on) {
            pack(top, value.text());
          } else {
            items.push_back(std::move(value));
            if (items.size() - top.start > Value::kMaxPacked && arena_ != nullptr) [[unlikely]]
              start_packing(top, items);
          }
        } else {
          if (packing_.on) [[unlikely]]
            unpack(top, items);
          top.numbers = false;
          items.push_back(std::move(value));
        }
        skip_space();
        if (!at_end() && peek() == ',') {
          ++pos_;
          skip_space();
          if (top.object && !read_key(top.key)) return false;
          break;
        }
        if (!at_end() && peek() == (top.object ? '}' : ']')) {
          ++pos_;
          bool object = top.object;
          size_t n = packing_.on ? packing_.count : (object ? members.size() : items.size()) - top.start;
          std::optional<Value::ContainerNote> note;
          if (top.sizing) {
            uint64_t depth = stack.size() - 1;
            written = container_overhead(*layout_, n, depth) + top.written;
            // Containers of scalars alone are measured as fast as a note
            // is read, and the note would cost them memory.
            if (top.nested) note = Value::ContainerNote{written, depth, layout_->width};
          }
          if (packing_.on) [[unlikely]] {
            value = Value::indexed_numbers(*arena_, text_.data() + top.open, n, packing_.literal_bytes,
                                           packing_.offsets);
            packing_.stop();
          } else if (!object && top.numbers && n <= Value::kMaxPacked && arena_ != nullptr) {
            // A short array of numbers stays in the input: its nodes would
            // cost twice its text.
            value = Value::packed_numbers(text_.data() + top.open, n);
            items.resize(top.start);
          } else {
            value = object ? close_container(members, top.start, note) : close_container(items, top.start, note);
          }
          stack.pop_back();
          // Records of an array mostly repeat the keys of the one before:
          // say so while both are in the cache, so that sampling need not
          // read every record's keys again.
          if (object && !stack.empty() && !stack.back().object && items.size() > stack.back().start &&
              same_keys(value, items.back()))
            value.mark_repeats_previous_keys();
          continue;
        }
        return fail(top.object ? "expected ',' or '}'" : "expected ',' or ']'", pos_);
      }
    }
  }

  // An array read into an arena whose items are numbers alone leaves those
  // past Value::kMaxPacked in the text: no node per item, an offset every
  // Value::kIndexStride items. Only the innermost open array can be one.
  struct Packing {
    bool on = false;
    size_t count = 0;
    uint64_t literal_bytes = 0;
    std::vector<uint64_t> offsets;
    void stop() {
      on = false;
      count = 0;
      literal_bytes = 0;
      offsets.clear();
    }
  };

  // Notes the next number of the array being packed.
  void pack(const Frame& top, std::string_view literal) {
    if (packing_.count % Value::kIndexStride == 0)
      packing_.offsets.push_back(static_cast<uint64_t>(literal.data() - (text_.data() + top.open)));
    ++packing_.count;
    packing_.literal_bytes += literal.size();
  }

  // Packs the numbers waiting on the stack for the array `top`. Once an
  // array, and apart, so that the reader's loop stays lean (as unpack).
  [[gnu::noinline]] void start_packing(const Frame& top, ElementStack<Value>& items) {
    packing_.on = true;
    for (size_t i = top.start; i < items.size(); ++i) pack(top, items[i].text());
    items.resize(top.start);
  }

  // The array being packed turns out to hold more than numbers: its items
  // so far become nodes again, from the text already checked.
  [[gnu::noinline]] void unpack(const Frame& top, ElementStack<Value>& items) {
    const char* p = text_.data() + top.open;
    for (size_t i = 0; i < packing_.count; ++i) items.push_back(Value::borrowed_number(next_packed_number(p)));
    packing_.stop();
  }

  // The container of the elements on `scratch` from `start` on. One whose
  // elements are the whole stack and take a good deal of memory (mostly
  // the top level of a large document) keeps the stack's block instead of
  // a copy, so that its elements are never held twice.
  template <class T>
  Value close_container(ElementStack<T>& scratch, size_t start, const std::optional<Value::ContainerNote>& note) {
    constexpr size_t kKeepInPlace = size_t{1} << 20;
    if (arena_ == nullptr || start != 0 || scratch.bytes() < kKeepInPlace)
      return take_container(scratch, start, arena_, note);
    if constexpr (std::is_same_v<T, Member>) {
      return Value::placed_object(scratch.hand_to(*arena_), note);
    } else {
      return Value::placed_array(scratch.hand_to(*arena_), note);
    }
  }

  bool read_scalar(Value& out) {
    switch (peek()) {
      case '"': {
        ++pos_;
        std::string_view raw;
        Read how = Read::kSlice;
        if (!read_string(raw, &how)) return false;
        if (arena_ == nullptr) {
          out = Value::string(raw);
        } else if (how == Read::kPlainSlice) {
          out = Value::borrowed_plain_string(raw);
        } else {
          out = how == Read::kDecoded ? Value::noted_string(raw) : Value::borrowed_string(raw);
        }
        return true;
      }
      case 'n': return read_literal("null", out, Value());
      case 't': return read_literal("true", out, Value::boolean(true));
      case 'f': return read_literal("false", out, Value::boolean(false));
      default:
        if (peek() == '-' || is_digit(peek())) return read_number(out);
        return fail("unexpected character", pos_);
    }
  }

  bool read_literal(std::string_view word, Value& out, Value value) {
    if (text_.substr(pos_, word.size()) != word) return fail("invalid literal", pos_);
    pos_ += word.size();
    out = std::move(value);
    return true;
  }

  // On a local position: the member would be stored at every digit.
  bool read_number(Value& out) {
    const char* s = text_.data();
    const size_t end = text_.size();
    const size_t start = pos_;
    size_t p = pos_;
    auto digit_at = [&](size_t at) { return at < end && is_digit(s[at]); };
    auto digits = [&] {
      while (digit_at(p)) ++p;
    };
    if (s[p] == '-') ++p;
    if (!digit_at(p)) return fail("invalid number", p);
    if (s[p] == '0') {
      ++p;
    } else {
      digits();
    }
    if (p < end && s[p] == '.') {
      ++p;
      if (!digit_at(p)) return fail("invalid number", p);
      digits();
    }
    if (p < end && (s[p] == 'e' || s[p] == 'E')) {
      ++p;
      if (p < end && (s[p] == '+' || s[p] == '-')) ++p;
      if (!digit_at(p)) return fail("invalid number", p);
      digits();
    }
    pos_ = p;
    std::string_view literal = text_.substr(start, p - start);
    out = arena_ != nullptr ? Value::borrowed_number(literal) : Value::number(literal);
    return true;
  }

  // Reads four hex digits after "\u" (pos_ is just after the u).
  bool read_hex4(uint32_t& unit) {
    size_t after_u = pos_;
    if (text_.size() - pos_ < 4) return fail("truncated \\u escape", after_u);
    unit = 0;
    for (size_t k = 0; k < 4; ++k) {
      int h = hex_value(text_[pos_ + k]);
      if (h < 0) return fail("invalid \\u escape", after_u);
      unit = (unit << 4) | static_cast<uint32_t>(h);
    }
    pos_ += 4;
    return true;
  }

  // How a string came out of read_string().
  enum class Read { kSlice, kPlainSlice, kDecoded };

  // After the opening quote. `result` is a slice of the input when the
  // string has no escapes (kPlainSlice when it is ASCII as well), and
  // otherwise the decoded text (kDecoded): kept in the arena when there is
  // one, the eight bytes before it holding its noted sizes, else in scratch
  // that the next string overwrites.
  bool read_string(std::string_view& result, Read* how = nullptr) {
    size_t start = pos_;
    uint64_t seen = 0;
    size_t run = end_of_plain_run(text_.data(), pos_, text_.size(), seen);
    if (run < text_.size() && text_[run] == '"') {
      result = text_.substr(start, run - start);
      pos_ = run + 1;
      if (how != nullptr) *how = seen_ascii_only(seen) ? Read::kPlainSlice : Read::kSlice;
      return true;
    }
    open_output(run - start + 16);
    uint64_t written = 2;
    uint64_t chars = 0;
    for (;; seen = 0, run = end_of_plain_run(text_.data(), pos_, text_.size(), seen)) {
      size_t length = run - pos_;
      uint64_t run_chars = seen_ascii_only(seen) ? length : char_count(text_.substr(pos_, length));
      written += run_chars;
      chars += run_chars;
      reserve_output(length + 4);  // a code point after the run
      std::memcpy(out_ + used_, text_.data() + pos_, length);
      used_ += length;
      pos_ = run;
      if (at_end()) return fail("unterminated string", pos_);
      char c = peek();
      if (c == '"') {
        ++pos_;
        bool noted = close_output(result, written, chars);
        if (how != nullptr) *how = noted ? Read::kDecoded : Read::kSlice;
        return true;
      }
      if (c != '\\') return fail("control character in string", pos_);
      ++pos_;
      if (at_end()) return fail("unterminated escape", pos_);
      char e = peek();
      uint32_t unit = 0;
      switch (e) {
        case '"':
        case '\\':
        case '/': unit = static_cast<uint32_t>(e); break;
        case 'b': unit = '\b'; break;
        case 'f': unit = '\f'; break;
        case 'n': unit = '\n'; break;
        case 'r': unit = '\r'; break;
        case 't': unit = '\t'; break;
        case 'u': break;
        default: pos_ += utf8_sequence_length(static_cast<unsigned char>(e)); return fail("invalid escape", pos_);
      }
      ++pos_;
      if (e == 'u' && !read_code_point(unit)) return false;
      written += unit < 0x80 ? kWrittenChars.size[unit] : 1;  // the writer's escapes
      ++chars;
      used_ += encode_utf8(out_ + used_, unit);
    }
  }

  // After "\u": the code point of one escape, or of a surrogate pair; a
  // lone surrogate reads as U+FFFD.
  bool read_code_point(uint32_t& code) {
    uint32_t unit = 0;
    if (!read_hex4(unit)) return false;
    code = unit;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      code = 0xFFFD;
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
      code = 0xFFFD;
      if (text_.substr(pos_, 2) != "\\u") return true;
      size_t second = pos_;
      pos_ += 2;
      uint32_t low = 0;
      if (!read_hex4(low)) return false;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + (unit - 0xD800) * 0x400 + (low - 0xDC00);
      } else {
        pos_ = second;  // read the second escape again on its own
      }
    }
    return true;
  }

  // The decoded text is written straight where it is kept: the arena's
  // open end (after room for its sizes), or scratch without an arena.
  static constexpr size_t kNotedBytes = sizeof(Value::NotedSizes);

  void open_output(size_t bytes) {
    used_ = 0;
    if (arena_ != nullptr) {
      out_ = arena_->open_text(kNotedBytes + bytes) + kNotedBytes;
    } else {
      decoded_.resize(bytes);
      out_ = decoded_.data();
    }
    room_ = bytes;
  }

  void reserve_output(size_t bytes) {
    if (room_ - used_ >= bytes) return;
    size_t room = 2 * used_ + bytes;
    if (arena_ != nullptr) {
      out_ = arena_->grow_text(out_ - kNotedBytes, kNotedBytes + used_, room - used_) + kNotedBytes;
    } else {
      decoded_.resize(room);
      out_ = decoded_.data();
    }
    room_ = room;
  }

  // The decoded text in `text`; whether its sizes were noted (not without
  // an arena, nor past what the note holds: measured again when needed).
  bool close_output(std::string_view& text, uint64_t written, uint64_t chars) {
    text = {out_, used_};
    if (arena_ == nullptr) return false;
    std::string_view* seen = used_ <= kMaxShared ? &seen_slot(text) : nullptr;
    if (seen != nullptr && same_text(*seen, text)) {
      text = *seen;  // its sizes are noted already; the open text is dropped
      return true;
    }
    arena_->close_text(out_ - kNotedBytes, kNotedBytes + used_);
    if (written > UINT32_MAX) return false;
    Value::NotedSizes sizes{static_cast<uint32_t>(written), static_cast<uint32_t>(chars)};
    std::memcpy(out_ - kNotedBytes, &sizes, kNotedBytes);
    if (seen != nullptr) *seen = text;
    return true;
  }

  // Documents repeat their strings (a status, a category, a name), and each
  // with an escape costs a decoded copy: a short one equal to the last
  // decoded string of its slot shares that one's bytes. A collision only
  // costs a copy, so the hash needs no seed.
  static constexpr size_t kMaxShared = 128;
  static constexpr int kSeenBits = 10;
  std::string_view& seen_slot(std::string_view text) {
    if (seen_.empty()) seen_.resize(size_t{1} << kSeenBits);
    uint64_t head = 0, tail = 0;
    size_t n = text.size() < 8 ? text.size() : 8;
    std::memcpy(&head, text.data(), n);
    std::memcpy(&tail, text.data() + text.size() - n, n);
    uint64_t h = (head * 0x9E3779B97F4A7C15u) ^ (tail * 0xC2B2AE3D27D4EB4Fu) ^ text.size();
    return seen_[(h * 0x165667B19E3779F9u) >> (64 - kSeenBits)];
  }

  std::string_view text_;
  Arena* arena_;
  std::optional<Layout> layout_;  // set when noting containers' sizes
  size_t pos_ = 0;
  std::string decoded_;  // scratch for decoded strings without an arena
  std::vector<std::string_view> seen_;  // see seen_slot()
  char* out_ = nullptr;  // the decoded string being written
  size_t used_ = 0;
  size_t room_ = 0;
  ParseError error_;
  Packing packing_;
};

}  // namespace

Expected<Value, ParseError> read_json(std::string_view text, Arena* arena, std::optional<uint64_t> noted_width) {
  return Reader(without_bom(text), arena, noted_width).run();
}

}  // namespace tersolite::json
