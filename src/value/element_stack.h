// The reader's stack of elements waiting for their container to close.
//
// It grows by grow_block() rather than by copying into a new block: a large
// block's pages are moved instead of copied, so growing never holds the old
// and the new block at once. Values and Members hold no pointer into
// themselves, so their bytes may move as they are.
//
// A container whose elements are the whole stack (mostly the document's
// top level, which can be most of its memory) can keep the stack's block
// as its own, handed to the arena, instead of being copied out of it.
#pragma once

#include <cstddef>
#include <new>
#include <span>
#include <utility>

#include "value/arena.h"
#include "value/large_memory.h"

namespace tersolite {

template <class T>
class ElementStack {
 public:
  using value_type = T;

  ElementStack() = default;
  ElementStack(const ElementStack&) = delete;
  ElementStack& operator=(const ElementStack&) = delete;
  ~ElementStack() {
    resize(0);
    if (block_ != nullptr) release_large(block_, block_bytes());
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return elements(); }
  const T* data() const { return const_cast<ElementStack*>(this)->elements(); }
  T& operator[](size_t i) { return elements()[i]; }
  const T& operator[](size_t i) const { return data()[i]; }
  T& back() { return elements()[size_ - 1]; }

  void push_back(T&& element) {
    if (size_ == capacity_) grow();
    new (elements() + size_) T(std::move(element));
    ++size_;
  }

  /// Drops the elements from `n` on. REQUIRES: n <= size().
  void resize(size_t n) {
    for (size_t i = n; i < size_; ++i) elements()[i].~T();
    size_ = n;
  }

  /// Bytes the elements take.
  size_t bytes() const { return size_ * sizeof(T); }

  /// Gives the block to `arena`, which frees it with its own blocks, and
  /// returns the elements where they are; the stack is left empty. The
  /// eight bytes before the elements are free for a note.
  std::span<T> hand_to(Arena& arena) {
    std::span<T> out(elements(), size_);
    arena.adopt(block_, block_bytes());
    block_ = nullptr;
    size_ = capacity_ = reserved_ = 0;
    return out;
  }

 private:
  // Before the elements: room for a container's note, keeping them aligned
  // as the arena aligns its own.
  static constexpr size_t kPrefix = Arena::kAlign;
  static_assert(alignof(T) <= kPrefix);

  T* elements() { return reinterpret_cast<T*>(static_cast<char*>(block_) + kPrefix); }

  size_t block_bytes() const { return kPrefix + reserved_ * sizeof(T); }

  // A mapped block is made present a step at a time as the stack fills
  // (capacity_ is where that stands), so the end of its last doubling
  // costs no pages it does not use.
  void grow() {
    if (capacity_ == reserved_) {
      size_t old_bytes = block_ == nullptr ? 0 : block_bytes();
      reserved_ = reserved_ < 256 ? 256 : 2 * reserved_;
      block_ = grow_block(block_, old_bytes, block_bytes());
      if (!is_mapped(block_bytes())) {
        capacity_ = reserved_;
        return;
      }
    }
    constexpr size_t kSize = sizeof(T);
    auto* from = reinterpret_cast<char*>(elements());
    capacity_ = present_through(from, capacity_ * kSize, (capacity_ + 1) * kSize, reserved_ * kSize, kSize) / kSize;
  }

  void* block_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;  // elements that fit in the room made present
  size_t reserved_ = 0;  // elements the block holds
};

}  // namespace tersolite
