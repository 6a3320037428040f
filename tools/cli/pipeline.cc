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

// The documents between the reader and the sink, oldest first. Each is
// queued, being shrunk, or done; the sink takes the oldest once it is done.
class Window {
 public:
  Window(size_t capacity) : capacity_(capacity) {}

  // Reader: waits for room, then adds `doc`. False when the run stops.
  bool add(std::unique_ptr<Document> doc);
  void close_input();
  // Worker: the next queued document (and its number), or null at the end.
  Document* take_work(uint64_t& number);
  void done(uint64_t number);
  // Sink: the oldest document once it is done, or null at the end.
  std::unique_ptr<Document> take_done();
  void stop();

 private:
  enum class State { kQueued, kWorking, kDone };
  struct Slot {
    std::unique_ptr<Document> doc;
    State state;
    size_t size;  // its input, which may be released once it is shrunk
  };

  std::mutex mutex_;
  std::condition_variable room_, work_, done_;
  std::deque<Slot> slots_;
  uint64_t first_ = 0;      // number of slots_.front()
  uint64_t next_work_ = 0;  // no queued slot before this number
  size_t bytes_ = 0;
  size_t capacity_;
  bool input_closed_ = false;
  bool stopped_ = false;
};

bool Window::add(std::unique_ptr<Document> doc) {
  size_t size = doc->bytes().size();
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] {
    return stopped_ || slots_.empty() || (slots_.size() < capacity_ && bytes_ + size <= kMaxBytesAhead);
  });
  if (stopped_) return false;
  State state = doc->read_error.empty() ? State::kQueued : State::kDone;
  slots_.push_back({std::move(doc), state, size});
  bytes_ += size;
  (state == State::kQueued ? work_ : done_).notify_one();
  return true;
}

void Window::close_input() {
  std::lock_guard lock(mutex_);
  input_closed_ = true;
  work_.notify_all();
  done_.notify_all();
}

Document* Window::take_work(uint64_t& number) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopped_) return nullptr;
    uint64_t end = first_ + slots_.size();
    while (next_work_ < end && slots_[next_work_ - first_].state != State::kQueued) ++next_work_;
    if (next_work_ < end) {
      Slot& slot = slots_[next_work_ - first_];
      slot.state = State::kWorking;
      number = next_work_++;
      return slot.doc.get();
    }
    if (input_closed_) return nullptr;
    work_.wait(lock);
  }
}

void Window::done(uint64_t number) {
  std::lock_guard lock(mutex_);
  slots_[number - first_].state = State::kDone;
  if (number == first_) done_.notify_one();
}

std::unique_ptr<Document> Window::take_done() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] {
    return (!slots_.empty() && slots_.front().state == State::kDone) || (slots_.empty() && input_closed_);
  });
  if (slots_.empty()) return nullptr;
  std::unique_ptr<Document> doc = std::move(slots_.front().doc);
  bytes_ -= slots_.front().size;
  slots_.pop_front();
  ++first_;
  if (next_work_ < first_) next_work_ = first_;
  room_.notify_one();
  return doc;
}

void Window::stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  room_.notify_all();
  work_.notify_all();
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
  std::thread reader([&] {
    for (;;) {
      auto doc = std::make_unique<Document>();
      if (!source.next(*doc) || !window.add(std::move(doc))) break;
    }
    window.close_input();
  });
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < jobs; ++i) {
    workers.emplace_back([&] {
      uint64_t number;
      while (Document* doc = window.take_work(number)) {
        shrink(*doc, options, keep_input);
        window.done(number);
      }
    });
  }
  while (std::unique_ptr<Document> doc = window.take_done()) {
    if (!sink(*doc)) break;
  }
  window.stop();
  reader.join();
  for (std::thread& t : workers) t.join();
}

}  // namespace tersolite_cli
