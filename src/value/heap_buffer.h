// A growable byte buffer on the process heap (malloc and realloc) whose
// memory can be handed to the host as is: growing a large buffer remaps it
// rather than copying, and the answer needs no final copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "value/large_memory.h"

namespace tersolite {

class HeapBuffer {
 public:
  HeapBuffer() = default;
  HeapBuffer(HeapBuffer&& other) noexcept : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  HeapBuffer& operator=(HeapBuffer&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
  }
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  ~HeapBuffer() { std::free(data_); }

  size_t size() const { return size_; }
  const char* data() const { return data_; }
  std::string_view view() const { return {data_, size_}; }

  void reserve(size_t n) {
    if (n > capacity_) grow_to(n);
  }
  void push_back(char c) {
    if (size_ == capacity_) grow_to(size_ + 1);
    data_[size_++] = c;
  }
  void append(const char* p, size_t n) {
    if (n == 0) return;
    if (capacity_ - size_ < n) grow_to(size_ + n);
    std::memcpy(data_ + size_, p, n);
    size_ += n;
  }
  void append(std::string_view s) { append(s.data(), s.size()); }
  void append(size_t n, char c) {
    if (capacity_ - size_ < n) grow_to(size_ + n);
    std::memset(data_ + size_, c, n);
    size_ += n;
  }

  /// Gives up the bytes, shrunk to their exact length, to the caller, who
  /// frees them with free(). REQUIRES: size() > 0.
  uint8_t* release(size_t* length) {
    auto* p = static_cast<uint8_t*>(std::realloc(data_, size_));
    if (p == nullptr) std::abort();
    *length = size_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    return p;
  }

 private:
  void grow_to(size_t need) {
    size_t cap = capacity_ < 64 ? 64 : capacity_ * 2;
    if (cap < need) cap = need;
    auto* p = static_cast<char*>(std::realloc(data_, cap));
    if (p == nullptr) std::abort();  // memory exhaustion ends the process
    data_ = p;
    capacity_ = cap;
  }

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace tersolite
