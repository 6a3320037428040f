// A bump allocator for trees that die all at once: a document read for one
// request. Allocation is a pointer increment; nothing is freed before the
// arena itself, which releases every block in its destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "value/large_memory.h"

namespace tersolite {

class Arena {
 public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() {
    while (blocks_ != nullptr) {
      Block* next = blocks_->next;
      release_large(blocks_, blocks_->bytes);
      blocks_ = next;
    }
    for (const Adopted& a : adopted_) release_large(a.block, a.bytes);
  }

  /// Takes a block of `bytes` from grow_block(), to free it with the arena.
  void adopt(void* block, size_t bytes) { adopted_.push_back({block, bytes}); }

  /// The alignment of what allocate() returns: all the tree's types need,
  /// and elements then straddle as few cache lines as they can.
  static constexpr size_t kAlign = 16;
  /// Every allocation's size is rounded to this, so it is the least
  /// alignment there is.
  static constexpr size_t kGrain = 8;

  /// `bytes` of uninitialised memory aligned to kAlign.
  void* allocate(size_t bytes) { return allocate_after(0, bytes); }

  /// `bytes` of uninitialised memory aligned to `align` (kGrain or
  /// kAlign), after `prefix` bytes (a multiple of kGrain) for a note about
  /// them: any padding goes before the note, so that the note is right
  /// before the bytes.
  void* allocate_after(size_t prefix, size_t bytes, size_t align = kAlign) {
    size_t need = prefix + round_up(bytes, kGrain);
    size_t pad = padding(prefix, align);
    if (static_cast<size_t>(end_ - next_) < pad + need) {
      refill(need + kAlign);
      pad = padding(prefix, align);
    }
    char* p = next_ + pad + prefix;
    next_ += pad + need;
    return p;
  }

  /// Text built in place at the end of the current block, for a reader
  /// that does not know its length in advance: open_text() gives room for
  /// `bytes`; grow_text() more room after the `used` bytes written from
  /// `start` (moving them when the block is full, so `start` may change);
  /// close_text() keeps the `used` bytes. Nothing else may be allocated
  /// while a text is open.
  char* open_text(size_t bytes) {
    if (static_cast<size_t>(end_ - next_) < bytes) refill(bytes);
    return next_;
  }
  char* grow_text(char* start, size_t used, size_t bytes) {
    if (static_cast<size_t>(end_ - start) - used >= bytes || extend(used + bytes)) return start;
    new_block(2 * used + bytes);  // geometric, so a long text is copied O(1) times per byte
    std::memcpy(next_, start, used);
    return next_;
  }
  void close_text(char* start, size_t used) { next_ = start + round_up(used, kGrain); }

  /// A copy of `text` that lives as long as the arena.
  std::string_view copy(std::string_view text) {
    if (text.empty()) return {};
    auto* p = static_cast<char*>(allocate(text.size()));
    std::memcpy(p, text.data(), text.size());
    return {p, text.size()};
  }

 private:
  static size_t round_up(size_t n, size_t to) { return (n + to - 1) & ~(to - 1); }
  // Bytes to skip so that what follows a prefix at next_ is aligned.
  size_t padding(size_t prefix, size_t align) const {
    return (align - (reinterpret_cast<uintptr_t>(next_) + prefix) % align) % align;
  }

  struct alignas(kAlign) Block {
    Block* next;
    size_t bytes;  // with this header
  };

  // Moves end_ within the block so that `bytes` from next_ fit, a present
  // step at a time; false when the block has not that much room.
  bool extend(size_t bytes) {
    size_t room = static_cast<size_t>(block_end_ - next_);
    if (bytes > room) return false;
    end_ = next_ + present_through(next_, static_cast<size_t>(end_ - next_), bytes, room, kGrain);
    return true;
  }

  // Blocks double from 64 KiB up to 32 MiB, so a small request stays small
  // and a large document costs few allocations with little slack at the end.
  // A mapped block is made present a step at a time as it fills (end_ is
  // where that stands), so its unused end costs no pages.
  void refill(size_t bytes) {
    if (!extend(bytes)) new_block(bytes);
  }

  void new_block(size_t bytes) {
    size_t size = block_size_;
    if (block_size_ < (size_t{32} << 20)) block_size_ *= 2;
    // A whole number of grains, so that a text closed at the block's end
    // (rounded up to a grain) never passes it.
    if (size < bytes) size = round_up(bytes, kGrain);
    auto* block = static_cast<Block*>(allocate_large(sizeof(Block) + size));
    block->next = blocks_;
    block->bytes = sizeof(Block) + size;
    blocks_ = block;
    next_ = reinterpret_cast<char*>(block + 1);
    block_end_ = next_ + size;
    end_ = block_end_;
    if (is_mapped(block->bytes)) {
      end_ = next_;
      extend(bytes);
    }
  }

  Block* blocks_ = nullptr;
  struct Adopted {
    void* block;
    size_t bytes;
  };
  std::vector<Adopted> adopted_;
  char* next_ = nullptr;
  char* end_ = nullptr;        // of the room ready for use
  char* block_end_ = nullptr;  // of the current block
  size_t block_size_ = size_t{64} << 10;
};

}  // namespace tersolite
