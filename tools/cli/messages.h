// Standard error: messages, and the progress line that shows on a
// terminal once a run takes more than about a second.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace tersolite_cli {

class Messages {
 public:
  /// `progress`: draw the progress line (standard error is a terminal).
  explicit Messages(bool progress);
  Messages(const Messages&) = delete;
  Messages& operator=(const Messages&) = delete;
  ~Messages();

  /// Writes "tersolite: " + `line` on a line of its own.
  void say(const std::string& line);
  /// Writes `text` as it is.
  void write(const std::string& text);
  /// One more document done, of `bytes` bytes.
  void count(uint64_t bytes);
  /// Stops the progress line and clears it.
  void finish();

 private:
  void draw_loop();
  void clear_locked();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread drawer_;
  bool stop_ = false;
  bool drawn_ = false;
  std::atomic<uint64_t> documents_{0};
  std::atomic<uint64_t> bytes_{0};
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace tersolite_cli
