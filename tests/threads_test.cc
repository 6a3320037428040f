// Many concurrent requests from many threads give exactly the answers of
// single-threaded calls: no shared state, and the per-thread hash seeds
// change nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "json/json_writer.h"
#include "lib/pipeline.h"
#include "support/doc_gen.h"

namespace tersolite {
namespace {

TEST(Threads, ConcurrentRequestsMatchSingleThreadedAnswers) {
  struct Request {
    std::string input, options, answer;
  };
  std::vector<Request> requests;
  const char* options[] = {R"({"max_chars":300})", R"({"max_chars":500,"array_strategy":"condense","explain":true})",
                           R"({"max_chars":400,"format":"yaml","arguments":"open bug title"})",
                           R"({"max_chars":200,"indent":0,"protect":["id","/*/title"]})"};
  for (uint64_t seed = 1; seed <= 16; ++seed) {
    testing::DocGen gen(seed);
    Value doc = Value::array();
    for (int i = 0; i < 10; ++i) doc.push_back(gen.record(1));
    for (const char* o : options) requests.push_back({json::to_json(doc), o, {}});
  }
  requests.push_back({"name: x\nlist: [1, 2, 3]\nnested: {a: [b, c]}\n", R"({"max_chars":20})", {}});
  for (Request& r : requests) r.answer = run_request(r.input, r.options);

  constexpr int kThreads = 8, kRounds = 3;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        for (size_t k = 0; k < requests.size(); ++k) {
          const Request& r =
              requests[(k * 7 + static_cast<size_t>(t) * 13 + static_cast<size_t>(round)) % requests.size()];
          if (run_request(r.input, r.options) != r.answer) ++mismatches;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(0, mismatches.load());
}

}  // namespace
}  // namespace tersolite
