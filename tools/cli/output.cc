#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tersolite_cli {

namespace {
// Answers leave in large writes; stdio takes the size only with a buffer.
constexpr size_t kBufferSize = size_t{1} << 20;
char stdout_buffer[kBufferSize];
}  // namespace

Output::~Output() {
  if (!finished_) finish(false);
}

std::string Output::open(const std::string& path) {
  if (path.empty()) {
    std::setvbuf(stdout, stdout_buffer, _IOFBF, kBufferSize);
    return {};
  }
  path_ = path;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  // Beside the target, so that the rename stays within one file system.
  std::vector<char> name(path.begin(), path.end());
  for (char c : std::string_view(".tmp-XXXXXX")) name.push_back(c);
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return std::strerror(errno);
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);  // as a newly created file, not mkstemp's 0600
  temp_ = name.data();
  file_ = fdopen(fd, "wb");
  if (!file_) {
    int error = errno;
    ::close(fd);
    unlink(temp_.c_str());
    return std::strerror(error);
  }
  buffer_ = std::make_unique<char[]>(kBufferSize);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
  return {};
}

void Output::write(std::string_view bytes) {
  if (error_ != 0 || bytes.empty()) return;
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) error_ = errno ? errno : EIO;
}

void Output::flush() {
  if (error_ == 0 && std::fflush(file_) != 0) error_ = errno ? errno : EIO;
}

std::string Output::failure() const { return error_ == 0 ? std::string() : std::strerror(error_); }

std::string Output::finish(bool keep) {
  finished_ = true;
  flush();
  if (temp_.empty()) return keep ? failure() : std::string();
  if (keep && error_ == 0 && fsync(fileno(file_)) != 0) error_ = errno;
  if (std::fclose(file_) != 0 && error_ == 0) error_ = errno;
  file_ = nullptr;
  if (keep && error_ == 0 && std::rename(temp_.c_str(), path_.c_str()) != 0) error_ = errno;
  if (!keep || error_ != 0) unlink(temp_.c_str());
  return keep ? failure() : std::string();
}

}  // namespace tersolite_cli
