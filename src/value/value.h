// The document tree shared by every stage.
//
// A Value is a tree without parent links. It keeps two things most document
// models throw away: the literal text of every number and the order and
// multiplicity of object members. Copies are explicit (clone()); moving is
// cheap.
//
// A node is 16 bytes and either owns its bytes and children (heap memory,
// freed with it) or borrows them: a document read for a request lives in an
// Arena, and its strings without escapes point straight into the input.
// Borrowed nodes must not outlive what they borrow. clone() copies what a
// node owns and shares what it borrows, so cloning any part of a document
// read into an arena costs nothing, and the clone lives as long as the
// document's arena and input.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "value/arena.h"

namespace tersolite {

/// The six kinds, in their fixed order (the index is part of the format).
enum class Kind : uint8_t { kNull = 0, kBool, kNumber, kString, kArray, kObject };

/// "null", "bool", "number", "string", "array" or "object".
std::string_view kind_name(Kind kind);

/// Byte equality, quick for the short texts keys mostly are (no call out
/// for up to 16 bytes).
inline bool same_text(std::string_view a, std::string_view b) {
  size_t n = a.size();
  if (n != b.size()) return false;
  if (n >= 8 && n <= 16) {
    uint64_t a1, a2, b1, b2;
    std::memcpy(&a1, a.data(), 8);
    std::memcpy(&b1, b.data(), 8);
    std::memcpy(&a2, a.data() + n - 8, 8);
    std::memcpy(&b2, b.data() + n - 8, 8);
    return a1 == b1 && a2 == b2;
  }
  if (n < 8) {
    for (size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  return std::memcmp(a.data(), b.data(), n) == 0;
}

/// An immutable string that owns its bytes or borrows them (object keys).
///
/// One word, so that a member is 24 bytes. A borrowed text whose address
/// and size fit (nearly every key a reader finds) is held in the word
/// itself; any other text sits in a small block the word points at: its
/// size and its bytes when owned, its size and address when borrowed.
class Text {
 public:
  Text() = default;
  /// An owned copy.
  Text(std::string_view text);                                     // NOLINT(google-explicit-constructor)
  Text(const std::string& text) : Text(std::string_view(text)) {}  // NOLINT
  Text(const char* text) : Text(std::string_view(text)) {}         // NOLINT
  /// Borrows `text`, which must outlive the Text. A long text takes a block
  /// from the heap, freed with the Text: keep such a Text out of arena
  /// containers, whose members are never destroyed (see the next form).
  static Text borrow(std::string_view text) { return borrow(text, nullptr, 0); }
  /// The same with any block in `arena`, for keys of a document read into it.
  static Text borrow(std::string_view text, Arena& arena) { return borrow(text, &arena, 0); }
  /// The same for text the reader found to be ASCII with nothing to escape
  /// (see is_plain_text).
  static Text borrow_plain(std::string_view text) { return borrow(text, nullptr, kPlain); }
  static Text borrow_plain(std::string_view text, Arena& arena) { return borrow(text, &arena, kPlain); }
  Text(Text&& other) noexcept : word_(other.word_) { other.word_ = 0; }
  Text& operator=(Text&& other) noexcept {
    std::swap(word_, other.word_);
    return *this;
  }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() {
    if ((word_ & (kOutOfLine | kHeap)) == (kOutOfLine | kHeap)) std::free(block());
  }

  /// An owned copy of owned bytes; borrowed bytes stay shared.
  Text clone() const;

  std::string_view view() const {
    if (!(word_ & kOutOfLine)) [[likely]]
      return {inline_data(), static_cast<size_t>(word_ >> kSizeShift)};
    return {block()->data, block()->size};
  }
  operator std::string_view() const { return view(); }  // NOLINT(google-explicit-constructor)
  const char* data() const { return word_ & kOutOfLine ? block()->data : inline_data(); }
  size_t size() const { return word_ & kOutOfLine ? block()->size : static_cast<size_t>(word_ >> kSizeShift); }
  /// True when the reader found the text to be ASCII with nothing to escape
  /// as JSON; false says nothing.
  bool is_plain_text() const { return (word_ & kPlain) != 0; }
  bool empty() const { return size() == 0; }
  std::string str() const { return std::string(view()); }

  // Compare two Texts through view(): the reversed form of this operator
  // would make `a == b` ambiguous.
  friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }

 private:
  // In line: bit 0 clear, kPlain, the address in the next 48 bits (where
  // user-space addresses of x86-64, of arm64 with 48-bit addresses and of
  // every 32-bit target fit) and the size, up to 16 KiB, above it. Zero is
  // the empty text.
  // Out of line: kOutOfLine, kPlain, kHeap when the block is ours to free,
  // and the block's address, which is aligned to 8, in the other bits.
  static constexpr uint64_t kOutOfLine = 1;
  static constexpr uint64_t kPlain = 2;
  static constexpr uint64_t kHeap = 4;
  static constexpr int kAddressShift = 2;
  static constexpr int kAddressBits = 48;
  static constexpr uint64_t kAddressMask = (uint64_t{1} << kAddressBits) - 1;
  static constexpr int kSizeShift = kAddressShift + kAddressBits;
  static constexpr uint64_t kMaxInlineSize = (uint64_t{1} << (64 - kSizeShift)) - 1;

  struct alignas(8) Block {
    const char* data;  // the bytes after the block when owned
    size_t size;
  };

  // In line when it fits, which the reader's every key asks first.
  static Text borrow(std::string_view text, Arena* arena, uint64_t flags) {
    auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(text.data()));
    if ((address >> kAddressBits) != 0 || text.size() > kMaxInlineSize) [[unlikely]]
      return borrow_out_of_line(text, arena, flags);
    Text t;
    t.word_ = address << kAddressShift | static_cast<uint64_t>(text.size()) << kSizeShift | flags;
    return t;
  }
  static Text borrow_out_of_line(std::string_view text, Arena* arena, uint64_t flags);
  static Text out_of_line(Block* block, uint64_t flags);
  const char* inline_data() const {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>((word_ >> kAddressShift) & kAddressMask));
  }
  Block* block() const { return reinterpret_cast<Block*>(static_cast<uintptr_t>(word_ & ~uint64_t{7})); }
  bool owns_bytes() const {
    return (word_ & kHeap) && (word_ & kOutOfLine) && block()->data == reinterpret_cast<const char*>(block() + 1);
  }

  uint64_t word_ = 0;
};

struct Member;

class Value {
 public:
  using Items = std::span<const Value>;
  using Members = std::span<const Member>;

  /// A null value.
  Value() = default;
  Value(Value&& other) noexcept : head_(other.head_), ptr_(other.ptr_) { other.head_ = 0; }
  Value& operator=(Value&& other) noexcept {
    std::swap(head_, other.head_);
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  // Deep copies are explicit: see clone().
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value() {
    if (head_ & kOwned) destroy();
  }

  static Value boolean(bool b) { return Value(Kind::kBool, b ? 1 : 0, false, nullptr); }
  /// REQUIRES: `text` is a valid JSON number literal.
  static Value number(std::string_view text) { return owned_text(Kind::kNumber, text); }
  static Value string(std::string_view text) { return owned_text(Kind::kString, text); }
  /// Empty containers that own what is added to them.
  static Value array() { return Value(Kind::kArray, 0, true, nullptr); }
  static Value object() { return Value(Kind::kObject, 0, true, nullptr); }
  /// An owned array of the moved `items`.
  static Value array(std::vector<Value>&& items);

  /// Nodes that borrow: `text` must outlive them, and so must `arena`, which
  /// holds the moved items or members.
  static Value borrowed_number(std::string_view text) { return Value(Kind::kNumber, text.size(), false, text.data()); }
  static Value borrowed_string(std::string_view text) { return Value(Kind::kString, text.size(), false, text.data()); }
  /// A borrowed string whose bytes are printable ASCII other than the
  /// double quote and the backslash (see is_plain_text).
  static Value borrowed_plain_string(std::string_view text) {
    Value v = borrowed_string(text);
    v.head_ |= kPlain;
    return v;
  }
  /// A borrowed string whose JSON sizes were noted by its reader in the
  /// eight bytes before its text (see noted_sizes).
  static Value noted_string(std::string_view text) {
    Value v = borrowed_string(text);
    v.head_ |= kNoted;
    return v;
  }
  static Value arena_array(Arena& arena, std::span<Value> items);
  /// Arrays of at most this many numbers are left in their JSON text
  /// alone; longer ones keep an index beside it.
  static constexpr size_t kMaxPacked = 8;
  /// An array of `count` numbers (1 to kMaxPacked) left in the JSON text
  /// that starts with its '[' at `open`, which must outlive it: a read
  /// document keeps a short array of numbers (a coordinate pair, a bounding
  /// box) in its parent's node alone. See ItemWindow.
  static Value packed_numbers(const char* open, size_t count) {
    return Value(Kind::kArray, count, false, open, kPacked);
  }
  /// What a longer array of numbers left in its text keeps: where it is,
  /// the bytes of its literals, and after this the offset from `open` of
  /// every kIndexStride-th item's literal (0, kIndexStride, ...).
  struct PackedIndex {
    const char* open;
    uint64_t literal_bytes;
    const uint64_t* offsets() const { return reinterpret_cast<const uint64_t*>(this + 1); }
  };
  static constexpr size_t kIndexStride = 16;
  /// An array of `count` (more than kMaxPacked) numbers left in the JSON
  /// text from its '[' at `open`, with its index in `arena`: a node of its
  /// own for each item would cost twice the text. `offsets` as in
  /// PackedIndex, one per kIndexStride items.
  static Value indexed_numbers(Arena& arena, const char* open, size_t count, uint64_t literal_bytes,
                               std::span<const uint64_t> offsets);
  static Value arena_object(Arena& arena, std::span<Member> members);
  /// What a reader notes before a container's elements: its size written
  /// as JSON with `width` spaces per level (0: compact) at `depth`.
  struct ContainerNote {
    uint64_t written;
    uint64_t depth;
    uint64_t width;
  };
  /// The same as arena_array() or arena_object(), with `note` kept in the
  /// eight bytes before the elements; left without it when it does not fit
  /// there (depths from 1024, widths from 64, sizes from 2^48).
  /// REQUIRES: at least one element.
  static Value noted_array(Arena& arena, std::span<Value> items, const ContainerNote& note);
  static Value noted_object(Arena& arena, std::span<Member> members, const ContainerNote& note);
  /// An array of `items` (or an object of `members`) that stay where they
  /// are, in memory an arena owns (see ElementStack::hand_to); with `note`
  /// in the eight bytes before them when there is one.
  static Value placed_array(std::span<Value> items, const std::optional<ContainerNote>& note);
  static Value placed_object(std::span<Member> members, const std::optional<ContainerNote>& note);
  /// An array of the moved `items` (or an object of the moved `members`):
  /// in `arena` when there is one, else owned.
  static Value array_of(std::span<Value> items, Arena* arena);
  static Value object_of(std::span<Member> members, Arena* arena);

  Kind kind() const { return static_cast<Kind>((head_ >> kKindShift) & 7); }
  bool is_null() const { return kind() == Kind::kNull; }
  bool is_bool() const { return kind() == Kind::kBool; }
  bool is_number() const { return kind() == Kind::kNumber; }
  bool is_string() const { return kind() == Kind::kString; }
  bool is_array() const { return kind() == Kind::kArray; }
  bool is_object() const { return kind() == Kind::kObject; }
  bool is_scalar() const { return kind() < Kind::kArray; }

  /// REQUIRES: is_bool().
  bool as_bool() const { return count() != 0; }
  /// The literal of a number or the text of a string.
  /// REQUIRES: is_number() or is_string().
  std::string_view text() const { return {static_cast<const char*>(ptr_), count()}; }
  /// True when the reader found the string's text to be ASCII with nothing
  /// to escape: as JSON it is its bytes in quotes, one character each.
  /// False says nothing.
  bool is_plain_text() const { return (head_ & kPlain) != 0; }
  /// The string's size written as a JSON string literal (quotes included)
  /// and its characters, when the reader noted them while decoding it.
  struct NotedSizes {
    uint32_t written;
    uint32_t chars;
  };
  bool has_noted_sizes() const { return (head_ & kNoted) != 0; }
  /// REQUIRES: has_noted_sizes().
  NotedSizes noted_sizes() const {
    NotedSizes s;
    std::memcpy(&s, static_cast<const char*>(ptr_) - sizeof s, sizeof s);
    return s;
  }
  /// True for an object that its reader found to have the keys of the item
  /// before it in their array, in the same order. Moves keep the mark; a
  /// clone, which may end up after another item, does not.
  bool repeats_previous_keys() const { return (head_ & kRepeatsKeys) != 0; }
  /// REQUIRES: is_object(), and the item before it in its array has the
  /// same keys in the same order.
  void mark_repeats_previous_keys() { head_ |= kRepeatsKeys; }
  /// A container's written size, when its reader noted one for this depth
  /// and width.
  std::optional<uint64_t> noted_written_size(uint64_t depth, uint64_t width) const {
    if (!(head_ & kNoted) || is_scalar()) return std::nullopt;
    uint64_t packed;
    std::memcpy(&packed, static_cast<const char*>(ptr_) - sizeof packed, sizeof packed);
    if (depth >= kNoteDepths || width >= kNoteWidths || (packed & 0xFFFF) != depth * kNoteWidths + width)
      return std::nullopt;
    return packed >> 16;
  }
  /// True for an array left in its JSON text (see packed_numbers and
  /// indexed_numbers).
  bool is_packed() const { return (head_ & kPacked) != 0; }
  /// REQUIRES: is_packed(). The array's text, from its '['.
  const char* packed_text() const { return has_index() ? packed_index()->open : static_cast<const char*>(ptr_); }
  /// REQUIRES: is_packed(). Whether it keeps an index (see indexed_numbers).
  bool has_index() const { return count() > kMaxPacked; }
  /// REQUIRES: has_index().
  const PackedIndex* packed_index() const { return static_cast<const PackedIndex*>(ptr_); }
  /// REQUIRES: is_packed(). The bytes of its numbers' literals.
  uint64_t packed_literal_bytes() const;
  /// REQUIRES: is_array() and not is_packed(); ItemWindow takes any array.
  Items items() const { return {static_cast<const Value*>(elements()), count()}; }
  std::span<Value> items() { return {static_cast<Value*>(const_cast<void*>(elements())), count()}; }
  /// REQUIRES: is_object().
  Members members() const;
  std::span<Member> members();

  /// Items of an array or members of an object; 0 for scalars.
  size_t size() const { return is_array() || is_object() ? count() : 0; }
  /// True for "", [] and {} (and only those).
  bool is_empty_container_or_string() const {
    return (kind() == Kind::kString || kind() == Kind::kArray || kind() == Kind::kObject) && count() == 0;
  }

  /// Makes room for `n` items or members in all.
  /// REQUIRES: is_array() or is_object(), built by array() or object().
  void reserve(size_t n);
  /// REQUIRES: is_array(), built by array().
  void push_back(Value item);
  /// REQUIRES: is_object(), built by object(). Duplicates are appended like
  /// any other key.
  void add_member(Text key, Value value);

  /// A copy of the whole subtree: owned parts copied, borrowed ones shared
  /// (see the note above).
  Value clone() const;

  /// Structural equality: same kinds, texts byte for byte, same order.
  friend bool operator==(const Value& a, const Value& b);

 private:
  static constexpr int kKindShift = 56;
  static constexpr uint64_t kCountMask = (uint64_t{1} << kKindShift) - 1;
  static constexpr uint64_t kPacked = uint64_t{1} << 59;
  static constexpr uint64_t kOwned = uint64_t{1} << 60;
  static constexpr uint64_t kPlain = uint64_t{1} << 61;
  static constexpr uint64_t kNoted = uint64_t{1} << 62;
  static constexpr uint64_t kRepeatsKeys = uint64_t{1} << 63;
  // A container's note packs its size above 16 bits of depth and width.
  static constexpr uint64_t kNoteDepths = 1024, kNoteWidths = 64;

  Value(Kind kind, uint64_t count, bool owned, const void* ptr, uint64_t flags = 0)
      : head_(count | (static_cast<uint64_t>(kind) << kKindShift) | (owned ? kOwned : 0) | flags), ptr_(ptr) {}
  // A packed array's text is no array of nodes: reading it as one is a
  // broken invariant, stopped here rather than read as garbage.
  const void* elements() const {
    if (head_ & kPacked) [[unlikely]]
      items_of_packed();
    return ptr_;
  }
  [[noreturn]] static void items_of_packed();
  static Value owned_text(Kind kind, std::string_view text);
  // Another handle on what this borrowed node borrows, flags and all.
  Value shared() const {
    Value v;
    v.head_ = head_;
    v.ptr_ = ptr_;
    return v;
  }
  static bool packs(const ContainerNote& note) {
    return note.depth < kNoteDepths && note.width < kNoteWidths && note.written < (uint64_t{1} << 48);
  }
  static uint64_t pack(const ContainerNote& note) {
    return note.written << 16 | (note.depth * kNoteWidths + note.width);
  }
  // Writes `packed` in the eight bytes before the elements, which the
  // caller has left free, and says so.
  void put_note(uint64_t packed);
  size_t count() const { return static_cast<size_t>(head_ & kCountMask); }
  void set_count(size_t n) { head_ = (head_ & ~kCountMask) | n; }
  size_t capacity() const;
  void grow(size_t n);
  void destroy();

  // count (bytes, items or members, or the bool), kind, kPacked, kOwned, kPlain,
  // kNoted for strings and containers with a note before their bytes, and
  // kRepeatsKeys
  uint64_t head_ = 0;
  const void* ptr_ = nullptr;
};

struct Member {
  Text key;
  Value value;
};

/// The number literal after `p` in a packed array's text (past the '['
/// or a comma and spaces before it); `p` moves to its end.
std::string_view next_packed_number(const char*& p);

/// The items of any array, read a window at a time: an array of nodes is
/// one window of its own nodes; a packed array's numbers are unpacked here,
/// at most kWindow at a time, into nodes that borrow its text. A reference
/// it gives lasts until an item of another window is asked for, so walks
/// go in index order. The room makes it large: recursive walks take it in
/// a call of its own for packed arrays alone (their items are never
/// containers), so that their frames per level stay small.
class ItemWindow {
 public:
  static constexpr size_t kWindow = 256;
  static_assert(kWindow % Value::kIndexStride == 0, "windows start at an indexed item");

  explicit ItemWindow(const Value& array);
  ItemWindow(const ItemWindow&) = delete;
  ItemWindow& operator=(const ItemWindow&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const Value& operator[](size_t i) {
    if (i - first_ >= window_.size()) [[unlikely]]
      load(i);
    return window_[i - first_];
  }

  class Iterator {
   public:
    Iterator(ItemWindow& items, size_t i) : items_(&items), i_(i) {}
    const Value& operator*() const { return (*items_)[i_]; }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return i_ != other.i_; }

   private:
    ItemWindow* items_;
    size_t i_;
  };
  Iterator begin() { return {*this, 0}; }
  Iterator end() { return {*this, size_}; }

 private:
  // Unpacks the window of item i.
  void load(size_t i);
  const char* text_ = nullptr;         // a packed array's, from its '['
  const uint64_t* offsets_ = nullptr;  // its index's, when it has one
  size_t size_ = 0;
  size_t first_ = 0;  // the window's first item
  Value::Items window_;
  // Numbers that borrow their text need no destructor.
  alignas(Value) unsigned char room_[kWindow * sizeof(Value)];
};

/// True when `a` and `b` are objects with the same keys in the same order.
bool same_keys(const Value& a, const Value& b);

/// Moves the items or members that wait on a reader's scratch stack from
/// `start` on into a finished container (see array_of), noted when there is
/// a note and an arena, and drops them from the stack.
template <class Scratch>
Value take_container(Scratch& scratch, size_t start, Arena* arena,
                     const std::optional<Value::ContainerNote>& note = std::nullopt) {
  std::span elements(scratch.data() + start, scratch.size() - start);
  Value out;
  constexpr bool kObject = std::is_same_v<typename Scratch::value_type, Member>;
  if (note && arena != nullptr && !elements.empty()) {
    if constexpr (kObject) {
      out = Value::noted_object(*arena, elements, *note);
    } else {
      out = Value::noted_array(*arena, elements, *note);
    }
  } else if constexpr (kObject) {
    out = Value::object_of(elements, arena);
  } else {
    out = Value::array_of(elements, arena);
  }
  scratch.resize(start);
  return out;
}

// Large documents are mostly nodes: keep them small.
static_assert(sizeof(Text) == 8 && sizeof(Value) == 16 && sizeof(Member) == 24);

inline Value::Members Value::members() const { return {static_cast<const Member*>(ptr_), count()}; }
inline std::span<Member> Value::members() { return {static_cast<Member*>(const_cast<void*>(ptr_)), count()}; }

}  // namespace tersolite
