#include "value/value.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace tersolite {

namespace {

void* checked_malloc(size_t bytes) {
  void* p = std::malloc(bytes);
  if (p == nullptr) std::abort();  // memory exhaustion ends the process
  return p;
}

const char* copy_bytes(std::string_view text) {
  if (text.empty()) return nullptr;
  auto* p = static_cast<char*>(checked_malloc(text.size()));
  std::memcpy(p, text.data(), text.size());
  return p;
}

// Owned containers keep their capacity in a header before the elements.
struct alignas(8) BlockHeader {
  size_t capacity;
};

template <class T>
T* allocate_block(size_t capacity) {
  static_assert(alignof(T) <= alignof(BlockHeader));
  auto* header = static_cast<BlockHeader*>(checked_malloc(sizeof(BlockHeader) + capacity * sizeof(T)));
  header->capacity = capacity;
  return reinterpret_cast<T*>(header + 1);
}

// A block of `capacity` holding the moved `from`, whose places are left
// destroyed.
template <class T>
T* move_to_block(std::span<T> from, size_t capacity) {
  T* to = allocate_block<T>(capacity);
  for (size_t i = 0; i < from.size(); ++i) {
    new (to + i) T(std::move(from[i]));
    from[i].~T();
  }
  return to;
}

BlockHeader* header_of(const void* elements) { return reinterpret_cast<BlockHeader*>(const_cast<void*>(elements)) - 1; }

// The moved `from` in `arena`, after `prefix` bytes left for a note.
// Nodes keep the arena's alignment, so that none straddles two cache lines;
// members (24 bytes) straddle them anyway, and skipping the padding saves
// 4 bytes an object on average.
template <class T>
T* move_to_arena(Arena& arena, std::span<T> from, size_t prefix = 0) {
  static_assert(alignof(T) <= Arena::kGrain);
  constexpr size_t kAlignment = sizeof(T) % Arena::kAlign == 0 ? Arena::kAlign : Arena::kGrain;
  if (from.empty()) return nullptr;
  auto* to = static_cast<T*>(arena.allocate_after(prefix, from.size() * sizeof(T), kAlignment));
  for (size_t i = 0; i < from.size(); ++i) new (to + i) T(std::move(from[i]));
  return to;
}

}  // namespace

std::string_view kind_name(Kind kind) {
  switch (kind) {
    case Kind::kNull: return "null";
    case Kind::kBool: return "bool";
    case Kind::kNumber: return "number";
    case Kind::kString: return "string";
    case Kind::kArray: return "array";
    case Kind::kObject: return "object";
  }
  return "null";
}

Text Text::out_of_line(Block* block, uint64_t flags) {
  auto address = reinterpret_cast<uintptr_t>(block);
  if (address % 8 != 0) std::abort();  // the tag bits would corrupt it
  Text t;
  t.word_ = static_cast<uint64_t>(address) | kOutOfLine | flags;
  return t;
}

Text::Text(std::string_view text) {
  if (text.empty()) return;
  auto* block = static_cast<Block*>(checked_malloc(sizeof(Block) + text.size()));
  char* bytes = reinterpret_cast<char*>(block + 1);
  std::memcpy(bytes, text.data(), text.size());
  block->data = bytes;
  block->size = text.size();
  *this = out_of_line(block, kHeap);
}

Text Text::borrow_out_of_line(std::string_view text, Arena* arena, uint64_t flags) {
  void* room = arena != nullptr ? arena->allocate(sizeof(Block)) : checked_malloc(sizeof(Block));
  auto* block = new (room) Block{text.data(), text.size()};
  return out_of_line(block, arena != nullptr ? flags : flags | kHeap);
}

Text Text::clone() const {
  if (owns_bytes()) return Text(view());
  // A heap block is freed with its Text, so the copy takes its own.
  if (word_ & kHeap) return borrow(view(), nullptr, word_ & kPlain);
  Text t;
  t.word_ = word_;
  return t;
}

Value Value::owned_text(Kind kind, std::string_view text) { return Value(kind, text.size(), true, copy_bytes(text)); }

Value Value::array(std::vector<Value>&& items) {
  Value out = array_of(items, nullptr);
  items.clear();
  return out;
}

Value Value::array_of(std::span<Value> items, Arena* arena) {
  if (arena != nullptr) return arena_array(*arena, items);
  Value out = array();
  out.reserve(items.size());
  for (Value& item : items) out.push_back(std::move(item));
  return out;
}

Value Value::object_of(std::span<Member> members, Arena* arena) {
  if (arena != nullptr) return arena_object(*arena, members);
  Value out = object();
  out.reserve(members.size());
  for (Member& m : members) out.add_member(std::move(m.key), std::move(m.value));
  return out;
}

Value Value::arena_array(Arena& arena, std::span<Value> items) {
  return Value(Kind::kArray, items.size(), false, move_to_arena(arena, items));
}

Value Value::arena_object(Arena& arena, std::span<Member> members) {
  return Value(Kind::kObject, members.size(), false, move_to_arena(arena, members));
}

Value Value::noted_array(Arena& arena, std::span<Value> items, const ContainerNote& note) {
  if (!packs(note)) return arena_array(arena, items);
  Value v(Kind::kArray, items.size(), false, move_to_arena(arena, items, sizeof(uint64_t)));
  v.put_note(pack(note));
  return v;
}

Value Value::noted_object(Arena& arena, std::span<Member> members, const ContainerNote& note) {
  if (!packs(note)) return arena_object(arena, members);
  Value v(Kind::kObject, members.size(), false, move_to_arena(arena, members, sizeof(uint64_t)));
  v.put_note(pack(note));
  return v;
}

Value Value::placed_array(std::span<Value> items, const std::optional<ContainerNote>& note) {
  Value v(Kind::kArray, items.size(), false, items.data());
  if (note && packs(*note)) v.put_note(pack(*note));
  return v;
}

Value Value::placed_object(std::span<Member> members, const std::optional<ContainerNote>& note) {
  Value v(Kind::kObject, members.size(), false, members.data());
  if (note && packs(*note)) v.put_note(pack(*note));
  return v;
}

void Value::put_note(uint64_t packed) {
  std::memcpy(static_cast<char*>(const_cast<void*>(ptr_)) - sizeof packed, &packed, sizeof packed);
  head_ |= kNoted;
}

size_t Value::capacity() const { return ptr_ == nullptr ? 0 : header_of(ptr_)->capacity; }

void Value::grow(size_t n) {
  if (!(head_ & kOwned)) std::abort();  // borrowed containers are never added to
  size_t cap = capacity();
  if (n <= cap) return;
  size_t next = cap < 4 ? 4 : cap * 2;
  if (next < n) next = n;
  const void* old = ptr_;
  ptr_ = is_array() ? static_cast<void*>(move_to_block(items(), next)) : move_to_block(members(), next);
  if (old != nullptr) std::free(header_of(old));
}

void Value::reserve(size_t n) { grow(n); }

void Value::push_back(Value item) {
  size_t n = count();
  if (n == capacity()) grow(n + 1);
  new (items().data() + n) Value(std::move(item));
  set_count(n + 1);
}

void Value::add_member(Text key, Value value) {
  size_t n = count();
  if (n == capacity()) grow(n + 1);
  new (members().data() + n) Member{std::move(key), std::move(value)};
  set_count(n + 1);
}

void Value::destroy() {
  switch (kind()) {
    case Kind::kNumber:
    case Kind::kString: std::free(const_cast<void*>(ptr_)); break;
    case Kind::kArray:
      if (ptr_ == nullptr) break;
      for (Value& item : items()) item.~Value();
      std::free(header_of(ptr_));
      break;
    case Kind::kObject:
      if (ptr_ == nullptr) break;
      for (Member& m : members()) m.~Member();
      std::free(header_of(ptr_));
      break;
    default: break;
  }
}

Value Value::clone() const {
  if (!(head_ & kOwned)) {
    Value v = shared();
    v.head_ &= ~kRepeatsKeys;
    return v;
  }
  switch (kind()) {
    case Kind::kNull:
    case Kind::kBool: return shared();
    case Kind::kNumber:
    case Kind::kString: return owned_text(kind(), text());
    case Kind::kArray: {
      Value copy = array();
      copy.reserve(count());
      for (const Value& item : items()) copy.push_back(item.clone());
      return copy;
    }
    case Kind::kObject: {
      Value copy = object();
      copy.reserve(count());
      for (const Member& m : members()) copy.add_member(m.key.clone(), m.value.clone());
      return copy;
    }
  }
  return Value();
}

void Value::items_of_packed() {
#if __cpp_exceptions
  throw std::logic_error("the nodes of a packed array were asked for");
#else
  __builtin_trap();  // the host turns the trap into the error envelope
#endif
}

Value Value::indexed_numbers(Arena& arena, const char* open, size_t count, uint64_t literal_bytes,
                             std::span<const uint64_t> offsets) {
  void* room = arena.allocate(sizeof(PackedIndex) + offsets.size_bytes());
  auto* index = new (room) PackedIndex{open, literal_bytes};
  std::memcpy(index + 1, offsets.data(), offsets.size_bytes());
  return Value(Kind::kArray, count, false, index, kPacked);
}

uint64_t Value::packed_literal_bytes() const {
  if (has_index()) return packed_index()->literal_bytes;
  const char* p = packed_text();
  uint64_t sum = 0;
  for (size_t i = 0; i < count(); ++i) sum += next_packed_number(p).size();
  return sum;
}

std::string_view next_packed_number(const char*& p) {
  // The reader packed only valid JSON numbers, so the scan needs no checks:
  // JSON's spaces are the only bytes up to ' ' between them.
  auto at = [&] { return static_cast<unsigned char>(*p); };
  while (at() <= ' ' || at() == ',' || at() == '[') ++p;
  const char* start = p;
  while (at() > ' ' && at() != ',' && at() != ']') ++p;
  return {start, static_cast<size_t>(p - start)};
}

ItemWindow::ItemWindow(const Value& array) : size_(array.size()) {
  if (!array.is_packed()) {
    window_ = array.items();
    return;
  }
  text_ = array.packed_text();
  if (array.has_index()) offsets_ = array.packed_index()->offsets();
  load(0);
}

void ItemWindow::load(size_t i) {
  first_ = i / kWindow * kWindow;
  size_t n = std::min(kWindow, size_ - first_);
  const char* p = offsets_ != nullptr ? text_ + offsets_[first_ / Value::kIndexStride] : text_;
  auto* out = reinterpret_cast<Value*>(room_);
  for (size_t k = 0; k < n; ++k) new (out + k) Value(Value::borrowed_number(next_packed_number(p)));
  window_ = {std::launder(out), n};
}

bool same_keys(const Value& a, const Value& b) {
  if (!a.is_object() || !b.is_object() || a.size() != b.size()) return false;
  auto x = a.members();
  auto y = b.members();
  for (size_t i = 0; i < x.size(); ++i) {
    if (!same_text(x[i].key, y[i].key)) return false;
  }
  return true;
}

namespace {

template <class X, class Y>
bool same_items(X&& x, Y&& y) {
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (!(x[i] == y[i])) return false;
  }
  return true;
}

// Apart, so that comparing nested arrays keeps small frames.
[[gnu::noinline]] bool same_packed_items(const Value& a, const Value& b) {
  ItemWindow x(a);
  ItemWindow y(b);
  return same_items(x, y);
}

}  // namespace

bool operator==(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Kind::kNull: return true;
    case Kind::kBool: return a.as_bool() == b.as_bool();
    case Kind::kNumber:
    case Kind::kString: return a.text() == b.text();
    case Kind::kArray:
      if (a.is_packed() || b.is_packed()) return same_packed_items(a, b);
      return same_items(a.items(), b.items());
    case Kind::kObject: {
      auto x = a.members();
      auto y = b.members();
      if (x.size() != y.size()) return false;
      for (size_t i = 0; i < x.size(); ++i) {
        if (x[i].key.view() != y[i].key.view() || !(x[i].value == y[i].value)) return false;
      }
      return true;
    }
  }
  return false;
}

}  // namespace tersolite
