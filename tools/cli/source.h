// Where documents come from: whole files (or standard input), or every
// non-empty line of them with --lines.
#pragma once

#include <sys/types.h>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "json_text.h"

namespace tersolite_cli {

/// A file's bytes: mapped when it is a regular file, read otherwise.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();
  /// Reads `path` ("-": standard input); on failure returns the system's reason.
  std::string open(const std::string& path);
  std::string_view bytes() const { return mapped_ ? std::string_view(mapped_, size_) : std::string_view(copy_); }

 private:
  const char* mapped_ = nullptr;
  size_t size_ = 0;
  std::string copy_;
};

/// One document on its way through a run. Until it is printed, `bytes()`,
/// the run's options and `envelope.raw()` are all there, for anything that
/// wants to see all three.
struct Document {
  std::string name;                     // the file name; "<stdin>" for standard input
  uint64_t line = 0;                    // its line with --lines, else 0
  std::string read_error;               // why it could not be read; then it is not shrunk
  std::unique_ptr<FileBytes> file;      // a whole file, or
  std::shared_ptr<const char[]> chunk;  // one line, in a block of them
  std::string_view line_bytes;
  Envelope envelope;
  size_t input_size = 0;  // the length of bytes(), also once they are released

  std::string_view bytes() const { return file ? file->bytes() : line_bytes; }
  void release_input() {
    file.reset();
    chunk.reset();
    line_bytes = {};
  }
};

class Source {
 public:
  Source(std::vector<std::string> files, bool lines);
  ~Source();
  /// Fills `doc` with the next document; false when there are no more.
  bool next(Document& doc);

 private:
  bool next_line(Document& doc);
  bool open_next_file(Document& doc);
  ssize_t read_more();

  std::vector<std::string> files_;
  bool lines_;
  size_t next_file_ = 0;
  // --lines: the file being read, and the block it is read into. Lines are
  // handed out as views of the block, which their documents share, so that
  // no byte is copied while the other workers wait for their turn to read.
  int fd_ = -1;
  std::string name_;
  uint64_t line_ = 0;
  std::shared_ptr<char[]> chunk_;
  size_t capacity_ = 0;
  size_t filled_ = 0;
  size_t start_ = 0;    // where the next line starts
  size_t scanned_ = 0;  // no line feed before this
  bool eof_ = false;
};

/// The name a file goes by in messages.
std::string display_name(const std::string& path);

}  // namespace tersolite_cli
