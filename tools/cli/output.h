// Where answers go: standard output, or a file written through a temporary
// one that replaces it only when the run completes.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tersolite_cli {

class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  /// Opens `path` (empty: standard output); on failure returns the reason.
  std::string open(const std::string& path);
  void write(std::string_view bytes);
  void flush();
  /// Writing failed: the run should stop.
  bool failed() const { return error_ != 0; }
  /// The reader went away (a closed pipe): the run should stop quietly.
  bool closed() const { return error_ == EPIPE; }
  /// Why writing failed, or empty.
  std::string failure() const;
  /// Flushes, then keeps the file (`keep`) or removes it. Returns the
  /// reason when keeping failed.
  std::string finish(bool keep);
  /// Output's name in messages.
  std::string name() const { return path_.empty() ? "standard output" : path_; }

 private:
  FILE* file_ = stdout;
  std::string path_;
  std::string temp_;
  std::unique_ptr<char[]> buffer_;  // the temporary file's, until it is closed
  int error_ = 0;
  bool finished_ = false;
};

}  // namespace tersolite_cli
