#include "value/large_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "value/arena.h"
#include "value/element_stack.h"

#ifdef __linux__
#include <unistd.h>
#endif

namespace tersolite {
namespace {

// Large blocks are made present a step at a time as they fill, so what an
// arena hands out must never overlap, however allocations and growing
// texts cross the steps and the blocks.
TEST(LargeMemory, ArenaKeepsEveryAllocationAcrossPresentSteps) {
  struct Piece {
    const char* at;
    size_t bytes;
    char fill;
  };
  Arena arena;
  std::mt19937_64 rng(7);
  std::vector<Piece> pieces;
  for (int i = 0; i < 3000; ++i) {
    char fill = static_cast<char>('a' + i % 26);
    if (rng() % 4 == 0) {
      // A text that grows in pieces, past a step now and then.
      size_t used = 0;
      char* start = arena.open_text(64);
      for (int k = 0, parts = 1 + static_cast<int>(rng() % 6); k < parts; ++k) {
        size_t more = 1 + rng() % (rng() % 8 == 0 ? 3 * kPresentStep / 2 : 4096);
        start = arena.grow_text(start, used, more);
        std::memset(start + used, fill, more);
        used += more;
      }
      arena.close_text(start, used);
      pieces.push_back({start, used, fill});
    } else {
      size_t bytes = 1 + rng() % (rng() % 16 == 0 ? 2 * kPresentStep : 2000);
      auto* p = static_cast<char*>(arena.allocate(bytes));
      std::memset(p, fill, bytes);
      pieces.push_back({p, bytes, fill});
    }
  }
  for (const Piece& piece : pieces) {
    ASSERT_EQ(std::string(piece.bytes, piece.fill), std::string(piece.at, piece.bytes));
  }
}

// A text that takes a block of its own to its last byte, at an odd length:
// closed, it is rounded up to a grain, which must not pass the block's end
// (what comes next would be written past it).
TEST(LargeMemory, TextFillingItsBlockToAnOddEndLeavesRoomAfterIt) {
  for (size_t bytes : {size_t{300001}, (size_t{3} << 20) + 1}) {
    Arena arena;
    char* start = arena.grow_text(arena.open_text(16), 0, bytes);
    std::memset(start, 't', bytes);
    arena.close_text(start, bytes);
    auto* after = static_cast<char*>(arena.allocate(64));
    std::memset(after, 'a', 64);
    EXPECT_TRUE(after >= start + bytes || after + 64 <= start) << bytes;
    EXPECT_EQ(std::string(bytes, 't'), std::string(start, bytes));
  }
}

TEST(LargeMemory, ElementStackKeepsItsElementsAsItGrows) {
  for (size_t n : {size_t{1}, size_t{255}, size_t{256}, size_t{257}, size_t{300000}, size_t{3000001}}) {
    ElementStack<uint64_t> stack;
    for (uint64_t i = 0; i < n; ++i) stack.push_back(i * 2654435761u);
    ASSERT_EQ(n, stack.size());
    Arena arena;
    std::span<uint64_t> kept = stack.hand_to(arena);
    ASSERT_EQ(n, kept.size());
    for (uint64_t i = 0; i < n; ++i) ASSERT_EQ(i * 2654435761u, kept[i]) << "item " << i << " of " << n;
    EXPECT_TRUE(stack.empty());
  }
}

#ifdef __linux__
// Pages of [from, from + bytes) present in memory.
size_t resident_bytes(const void* from, size_t bytes) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  auto first = reinterpret_cast<uintptr_t>(from) & ~(page - 1);
  size_t pages = (reinterpret_cast<uintptr_t>(from) + bytes - first + page - 1) / page;
  std::vector<unsigned char> in(pages);
  if (mincore(reinterpret_cast<void*>(first), pages * page, in.data()) != 0) return SIZE_MAX;
  size_t resident = 0;
  for (unsigned char c : in) resident += (c & 1) * page;
  return resident;
}

// Making pages present ahead of use must stay a step ahead: a block's
// unused end (half of a stack's last doubling) takes no memory.
TEST(LargeMemory, UnusedEndOfABlockTakesNoPages) {
  ElementStack<uint64_t> stack;
  const size_t n = (size_t{1} << 20) + 1;  // just past a doubling to 16 MiB
  for (uint64_t i = 0; i < n; ++i) stack.push_back(uint64_t{i});
  size_t used = n * sizeof(uint64_t);
  size_t resident = resident_bytes(stack.data(), 2 * used);
  EXPECT_GE(resident, used);
  EXPECT_LE(resident, used + kPresentStep + 2 * 4096);

  Arena arena;
  // Blocks double from 64 KiB; this one fills part of a 16 MiB block.
  for (size_t sum = 0; sum < (size_t{20} << 20); sum += 1000) std::memset(arena.allocate(1000), 1, 1000);
  auto* last = static_cast<char*>(arena.allocate(8));
  // The rest of the 16 MiB block (about 12 MiB) is untouched.
  EXPECT_LE(resident_bytes(last + 4096, size_t{10} << 20), kPresentStep);
}
#endif

}  // namespace
}  // namespace tersolite
