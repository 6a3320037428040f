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
  // Printing needs only the answer: the input goes before it is printed,
  // so that a large document and its answer are not both held for long.
  if (!keep_input) doc.release_input();
}

// The documents between the workers and the sink, oldest first. Each is
// being shrunk or done. The worker that finishes the oldest one hands it,
// and every done one after it, to the sink, so no thread of its own waits
// to print and an answer is printed on the core that made it.
class Window {
 public:
  Window(size_t capacity, const Sink& sink) : capacity_(capacity), sink_(sink) {}

  // Waits for room, then adds `doc` as the caller's work and gives its
  // number; false when the run stops.
  bool add(std::unique_ptr<Document> doc, Document*& added, uint64_t& number);
  // Marks document `number` done, and sinks the done ones at the front
  // unless another worker is already doing so.
  void done(uint64_t number);

 private:
  struct Slot {
    std::unique_ptr<Document> doc;
    bool done;
    size_t size;  // its input, which may be released once it is shrunk
  };

  const size_t capacity_;
  const Sink& sink_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::deque<Slot> slots_;
  uint64_t first_ = 0;  // number of slots_.front()
  size_t bytes_ = 0;
  bool sinking_ = false;
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

void Window::done(uint64_t number) {
  std::unique_lock lock(mutex_);
  if (stopped_) return;
  slots_[number - first_].done = true;
  if (sinking_) return;  // whoever is sinking will reach it
  sinking_ = true;
  while (!stopped_ && !slots_.empty() && slots_.front().done) {
    std::unique_ptr<Document> doc = std::move(slots_.front().doc);
    bytes_ -= slots_.front().size;
    slots_.pop_front();
    ++first_;
    room_.notify_all();
    lock.unlock();
    bool more = sink_(*doc);
    doc.reset();
    lock.lock();
    if (!more) stopped_ = true;
  }
  sinking_ = false;
  if (stopped_) room_.notify_all();
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

void shrink_in_parallel(Source& source, const std::string& options, bool keep_input, unsigned jobs, const Sink& sink) {
  Window window(kDocumentsPerJob * jobs, sink);
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
        if (!source.next(*next) || !window.add(std::move(next), doc, number)) {
          input_done = true;
          return;
        }
      }
      shrink(*doc, options, keep_input);
      window.done(number);
    }
  };
  // The calling thread is one of the workers.
  std::vector<std::thread> others;
  for (unsigned i = 1; i < jobs; ++i) others.emplace_back(work);
  work();
  for (std::thread& t : others) t.join();
}

}  // namespace tersolite_cli
