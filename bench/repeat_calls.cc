// repeat_calls SHAPE KB CALLS [PAUSE_MS] [OPTIONS_JSON]: a host calling the
// library again and again on the same generated document, in one process.
// Prints the first call's time, the median of the rest, the page faults
// of the rest per call (fresh pages the kernel had to give; unlike times,
// not noisy) and the peak memory; with PAUSE_MS, the process sleeps that long before each call, as
// a host that shrinks a response now and then does.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "docgen.h"
#include "tersolite.h"

int main(int argc, char** argv) {
  using tersolite::bench::Shape;
  Shape shape{};
  if (argc < 4 || !tersolite::bench::shape_named(argv[1], shape)) {
    std::fprintf(stderr, "usage: repeat_calls SHAPE KB CALLS [PAUSE_MS] [OPTIONS_JSON]\n");
    return 2;
  }
  std::string doc = tersolite::bench::generate(shape, static_cast<size_t>(std::atof(argv[2]) * 1000));
  int calls = std::max(2, std::atoi(argv[3]));
  int pause_ms = argc > 4 ? std::atoi(argv[4]) : 0;
  std::string options = argc > 5 ? argv[5] : R"({"max_chars":10000,"indent":0})";
  std::vector<double> ms;
  rusage usage{};
  long faults_after_first = 0;
  for (int i = 0; i < calls; ++i) {
    if (i == 1) {
      getrusage(RUSAGE_SELF, &usage);
      faults_after_first = usage.ru_minflt;
    }
    if (pause_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    auto start = std::chrono::steady_clock::now();
    size_t len = 0;
    uint8_t* out = tersolite_shrink(reinterpret_cast<const uint8_t*>(doc.data()), doc.size(),
                                    reinterpret_cast<const uint8_t*>(options.data()), options.size(), &len);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (out == nullptr || std::string(reinterpret_cast<char*>(out), len).find("\"ok\":true") == std::string::npos) {
      std::fprintf(stderr, "the call failed\n");
      return 1;
    }
    tersolite_free(out, len);
  }
  double first = ms[0];
  std::sort(ms.begin() + 1, ms.end());
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s %s KB: first %.3f ms, median of the next %d %.3f ms, %ld page faults per call, peak %ld MiB\n",
              argv[1], argv[2], first, calls - 1, ms[1 + (calls - 2) / 2],
              (usage.ru_minflt - faults_after_first) / (calls - 1), usage.ru_maxrss / 1024);
  return 0;
}
