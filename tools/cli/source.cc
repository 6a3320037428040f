#include "source.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace tersolite_cli {

namespace {

constexpr size_t kReadChunk = size_t{1} << 20;

std::string system_reason(int error) { return std::strerror(error); }

// A file cut short while it is mapped faults on the missing pages: say so
// instead of dying of the signal.
void catch_truncated_files() {
  static std::once_flag once;
  std::call_once(once, [] {
    signal(SIGBUS, [](int) {
      constexpr char kMessage[] = "tersolite: a file changed while it was read\n";
      ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
      (void)ignored;
      _exit(2);
    });
  });
}

// Appends up to `limit` bytes read from `fd`; returns the count, 0 at the
// end, -1 on error (with errno set).
ssize_t read_some(int fd, std::string& out, size_t limit) {
  size_t old = out.size();
  out.resize(old + limit);
  ssize_t n;
  do {
    n = ::read(fd, out.data() + old, limit);
  } while (n < 0 && errno == EINTR);
  out.resize(old + static_cast<size_t>(n > 0 ? n : 0));
  return n;
}

std::string read_all(int fd, std::string& out) {
  for (;;) {
    ssize_t n = read_some(fd, out, kReadChunk);
    if (n == 0) return {};
    if (n < 0) return system_reason(errno);
  }
}

bool blank(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

}  // namespace

std::string display_name(const std::string& path) { return path == "-" ? "<stdin>" : path; }

FileBytes::~FileBytes() {
  if (mapped_) munmap(const_cast<char*>(mapped_), size_);
}

// A regular file is mapped rather than copied: the page cache holds it
// already, and a large copy costs more than the shrink.
std::string FileBytes::open(const std::string& path) {
  if (path == "-") return read_all(STDIN_FILENO, copy_);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return system_reason(errno);
  struct stat st {};
  std::string reason;
  if (fstat(fd, &st) != 0) {
    reason = system_reason(errno);
  } else if (S_ISDIR(st.st_mode)) {
    reason = system_reason(EISDIR);
  } else {
    void* p = MAP_FAILED;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
      catch_truncated_files();
      p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    }
    if (p != MAP_FAILED) {
      mapped_ = static_cast<const char*>(p);
      size_ = static_cast<size_t>(st.st_size);
    } else {
      reason = read_all(fd, copy_);
    }
  }
  ::close(fd);
  return reason;
}

Source::Source(std::vector<std::string> files, bool lines) : files_(std::move(files)), lines_(lines) {}

Source::~Source() {
  if (fd_ > STDIN_FILENO) ::close(fd_);
}

bool Source::next(Document& doc) {
  for (;;) {
    if (lines_ && fd_ >= 0) {
      if (next_line(doc)) return true;
      continue;
    }
    if (next_file_ == files_.size()) return false;
    if (lines_) {
      if (open_next_file(doc)) continue;
      return true;  // it could not be opened: `doc` says why
    }
    const std::string& path = files_[next_file_++];
    doc.name = display_name(path);
    doc.file = std::make_unique<FileBytes>();
    doc.read_error = doc.file->open(path);
    if (!doc.read_error.empty()) doc.file.reset();
    return true;
  }
}

bool Source::open_next_file(Document& doc) {
  const std::string& path = files_[next_file_++];
  name_ = display_name(path);
  line_ = 0;
  chunk_.reset();
  capacity_ = filled_ = 0;
  start_ = 0;
  scanned_ = 0;
  eof_ = false;
  fd_ = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  int error = fd_ < 0 ? errno : fstat(fd_, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (error == 0) return true;
  if (fd_ > STDIN_FILENO) ::close(fd_);
  fd_ = -1;
  doc.name = name_;
  doc.read_error = system_reason(error);
  return false;
}

// Reads more of the open file after what the block holds. A full block is
// followed by a new one that starts with the line it cut short, twice that
// line's size, so a long line is copied a bounded number of times.
ssize_t Source::read_more() {
  if (filled_ == capacity_) {
    size_t leftover = filled_ - start_;
    size_t capacity = std::max(kReadChunk, 2 * leftover);
    std::shared_ptr<char[]> next = std::make_shared_for_overwrite<char[]>(capacity);
    if (leftover > 0) std::memcpy(next.get(), chunk_.get() + start_, leftover);
    chunk_ = std::move(next);
    capacity_ = capacity;
    filled_ = leftover;
    scanned_ = scanned_ > start_ ? scanned_ - start_ : 0;
    start_ = 0;
  }
  ssize_t n;
  do {
    n = ::read(fd_, chunk_.get() + filled_, capacity_ - filled_);
  } while (n < 0 && errno == EINTR);
  if (n > 0) filled_ += static_cast<size_t>(n);
  return n;
}

// The next non-blank line of the open file; false when the file is done
// (then it is closed) unless a read failed, which `doc` reports.
bool Source::next_line(Document& doc) {
  for (;;) {
    const char* block = chunk_.get();
    size_t from = std::max(start_, scanned_);
    const void* feed = from < filled_ ? std::memchr(block + from, '\n', filled_ - from) : nullptr;
    size_t end = feed ? static_cast<size_t>(static_cast<const char*>(feed) - block) : std::string::npos;
    if (!feed) scanned_ = filled_;  // a long line is scanned once
    if (!feed && eof_) end = filled_;
    if (end != std::string::npos && start_ < filled_) {
      std::string_view line(block + start_, end - start_);
      start_ = std::min(end + 1, filled_);
      ++line_;
      if (blank(line)) continue;
      doc.name = name_;
      doc.line = line_;
      doc.chunk = chunk_;
      doc.line_bytes = line;
      return true;
    }
    if (eof_) break;
    ssize_t n = read_more();
    if (n > 0) continue;
    eof_ = true;
    if (n < 0) {
      doc.name = name_;
      doc.line = line_ + 1;
      doc.read_error = system_reason(errno);
      break;
    }
  }
  chunk_.reset();
  capacity_ = filled_ = 0;
  if (fd_ > STDIN_FILENO) ::close(fd_);
  fd_ = -1;
  return !doc.read_error.empty();
}

}  // namespace tersolite_cli
