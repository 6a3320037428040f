#include "messages.h"

#include <cstdio>

namespace tersolite_cli {

namespace {
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedraw = std::chrono::milliseconds(250);
}  // namespace

Messages::Messages(bool progress) {
  if (progress) drawer_ = std::thread([this] { draw_loop(); });
}

Messages::~Messages() { finish(); }

void Messages::say(const std::string& line) { write("tersolite: " + line + "\n"); }

void Messages::write(const std::string& text) {
  std::lock_guard lock(mutex_);
  clear_locked();
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void Messages::count(uint64_t bytes) {
  documents_.fetch_add(1, std::memory_order_relaxed);
  bytes_.fetch_add(bytes, std::memory_order_relaxed);
}

void Messages::finish() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (drawer_.joinable()) drawer_.join();
  std::lock_guard lock(mutex_);
  clear_locked();
}

void Messages::clear_locked() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void Messages::draw_loop() {
  std::unique_lock lock(mutex_);
  if (wake_.wait_for(lock, kQuietStart, [this] { return stop_; })) return;
  while (!stop_) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double mb = static_cast<double>(bytes_.load(std::memory_order_relaxed)) / 1e6;
    std::fprintf(stderr, "\r\x1b[Ktersolite: %llu documents, %.1f MB, %.1f MB/s, %.0f s",
                 static_cast<unsigned long long>(documents_.load(std::memory_order_relaxed)), mb, mb / seconds,
                 seconds);
    std::fflush(stderr);
    drawn_ = true;
    wake_.wait_for(lock, kRedraw, [this] { return stop_; });
  }
}

}  // namespace tersolite_cli
