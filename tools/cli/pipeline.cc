#include "pipeline.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tersolite_cli {

namespace {

constexpr size_t kDocumentsPerJob = 4;
constexpr size_t kMaxBytesAhead = size_t{64} << 20;

void shrink(Document& doc, const std::string& options, bool keep_input) {
  doc.input_size = doc.bytes().size();
  if (doc.read_error.empty()) doc.envelope = Envelope::shrink(doc.bytes(), options);
  // Printing needs only the answer: the input goes before its envelope is
  // read, which for a document that fits takes as much memory again.
  if (!keep_input) doc.release_input();
}

// The documents between the workers and the sink, oldest first. Each is
// being shrunk or done; the sink takes the oldest once it is done.
class Window {
 public:
  Window(size_t capacity) : capacity_(capacity) {}

  // Worker: waits for room, then adds `doc` as its own work and gives its
  // number; false when the run stops.
  bool add(std::unique_ptr<Document> doc, Document*& added, uint64_t& number);
  void close_input();
  void done(uint64_t number);
  // Sink: the oldest document once it is done, or null at the end.
  std::unique_ptr<Document> take_done();
  void stop();

 private:
  struct Slot {
    std::unique_ptr<Document> doc;
    bool done;
    size_t size;  // its input, which may be released once it is shrunk
  };

  std::mutex mutex_;
  std::condition_variable room_, done_;
  std::deque<Slot> slots_;
  uint64_t first_ = 0;  // number of slots_.front()
  size_t bytes_ = 0;
  size_t capacity_;
  bool input_closed_ = false;
  bool stopped_ = false;
};

bool Window::add(std::unique_ptr<Document> doc, Document*& added, uint64_t& number) {
  size_t size = doc->bytes().size();
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] {
    return stopped_ || slots_.empty() || (slots_.size() < capacity_ && bytes_ + size <= kMaxBytesAhead);
  });
  if (stopped_) return false;
  added = doc.get();
  number = first_ + slots_.size();
  slots_.push_back({std::move(doc), false, size});
  bytes_ += size;
  return true;
}

void Window::close_input() {
  std::lock_guard lock(mutex_);
  input_closed_ = true;
  done_.notify_all();
}

void Window::done(uint64_t number) {
  std::lock_guard lock(mutex_);
  slots_[number - first_].done = true;
  if (number == first_) done_.notify_one();
}

std::unique_ptr<Document> Window::take_done() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return (!slots_.empty() && slots_.front().done) || (slots_.empty() && input_closed_); });
  if (slots_.empty()) return nullptr;
  std::unique_ptr<Document> doc = std::move(slots_.front().doc);
  bytes_ -= slots_.front().size;
  slots_.pop_front();
  ++first_;
  room_.notify_all();
  return doc;
}

void Window::stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  room_.notify_all();
}

}  // namespace

void shrink_in_turn(Source& source, const std::string& options, bool keep_input, const Sink& sink) {
  for (;;) {
    Document doc;
    if (!source.next(doc)) return;
    shrink(doc, options, keep_input);
    if (!sink(doc)) return;
  }
}

void shrink_in_parallel(Source& source, const std::string& options, bool keep_input, unsigned jobs,
                        const Sink& sink) {
  Window window(kDocumentsPerJob * jobs);
  // Each worker reads the document it shrinks, in turn with the others, so
  // that its bytes are still in that core's cache when they are parsed.
  std::mutex reading;
  bool input_done = false;
  auto work = [&] {
    for (;;) {
      Document* doc = nullptr;
      uint64_t number = 0;
      {
        std::lock_guard lock(reading);
        if (input_done) return;
        auto next = std::make_unique<Document>();
        if (!source.next(*next)) {
          input_done = true;
          window.close_input();
          return;
        }
        if (!window.add(std::move(next), doc, number)) {
          input_done = true;
          return;
        }
      }
      shrink(*doc, options, keep_input);
      window.done(number);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < jobs; ++i) workers.emplace_back(work);
  while (std::unique_ptr<Document> doc = window.take_done()) {
    if (!sink(*doc)) break;
  }
  window.stop();
  for (std::thread& t : workers) t.join();
}

}  // namespace tersolite_cli
