// The deepest accepted documents shrink with every strategy on a thread
// with a 256 KiB stack. The stack is painted before the call and scanned
// after it, which gives the high-water mark and the cost per level.
#include <pthread.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "lib/pipeline.h"

namespace tersolite {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define TERSOLITE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TERSOLITE_ASAN 1
#endif
#endif

// Sanitizers and unoptimised code use far bigger frames; they get room to
// measure in, and only optimised builds are held to 256 KiB.
#if defined(__OPTIMIZE__) && !defined(TERSOLITE_ASAN)
constexpr size_t kStack = 256 * 1024;
#else
constexpr size_t kStack = 16 * 1024 * 1024;
#endif
constexpr unsigned char kPaint = 0xA5;

// Runs `work` on a thread whose stack is `kStack` bytes; returns the bytes used.
size_t stack_used(const std::function<void()>& work) {
  std::vector<unsigned char> stack(kStack, kPaint);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstack(&attr, stack.data(), stack.size());
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  EXPECT_EQ(0, pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)));
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  size_t untouched = 0;
  while (untouched < stack.size() && stack[untouched] == kPaint) ++untouched;
  return stack.size() - untouched;
}

std::string nested_arrays(int levels) {
  return std::string(static_cast<size_t>(levels), '[') + "\"" + std::string(300, 'x') + "\"" +
         std::string(static_cast<size_t>(levels), ']');
}

std::string nested_objects(int levels) {
  std::string s;
  for (int i = 0; i < levels; ++i) s += "{\"k\":";
  s += "\"" + std::string(300, 'x') + "\"";
  for (int i = 0; i < levels; ++i) s += ",\"pad\":\"" + std::string(20, 'p') + "\"}";
  return s;
}

// Flow sequences: block indentation of 512 levels would be megabytes.
std::string nested_yaml(int levels) {
  std::string s;
  for (int i = 0; i < levels; ++i) s += "[";
  s += std::string(300, 'y');
  for (int i = 0; i < levels; ++i) s += "]";
  return s;
}

TEST(Stack, DeepestDocumentsShrinkOnASmallStack) {
  struct Case {
    std::string name, input;
  } cases[] = {{"arrays", nested_arrays(512)}, {"objects", nested_objects(512)}, {"yaml", nested_yaml(512)}};
  const char* strategies[] = {R"({"max_chars":2000,"indent":1})",
                              R"({"max_chars":2000,"indent":0,"array_strategy":"condense"})",
                              R"({"max_chars":5000,"format":"yaml","array_strategy":"condense","arguments":"x"})"};
  for (const Case& c : cases) {
    for (const char* options : strategies) {
      std::string env;
      std::string o = options;
      if (c.name == "yaml") o.insert(1, R"("input_format":"yaml",)");
      size_t used = stack_used([&] { env = run_request(c.input, o); });
      EXPECT_EQ(0u, env.rfind("{\"ok\":true,", 0)) << c.name << " " << options << ": " << env.substr(0, 200);
      EXPECT_LT(used, kStack) << c.name;
      std::printf("%s %s: %zu bytes of stack, %zu per level\n", c.name.c_str(), options, used, used / 512);
    }
  }
}

TEST(Stack, DeeperDocumentsAreRefusedNotOverflowed) {
  std::string env;
  stack_used([&] { env = run_request(nested_arrays(513), "{}"); });
  EXPECT_EQ(R"({"ok":false,"error":"invalid JSON input: nesting too deep at line 1, column 514"})", env);
  stack_used([&] { env = run_request(nested_yaml(513), R"({"input_format":"yaml"})"); });
  EXPECT_EQ(R"({"ok":false,"error":"invalid YAML input: nesting deeper than 512 levels"})", env);
  stack_used([&] { env = run_request(std::string(1000000, '['), R"({"input_format":"yaml"})"); });
  EXPECT_EQ(R"({"ok":false,"error":"invalid YAML input: nesting deeper than 512 levels"})", env);
}

}  // namespace
}  // namespace tersolite
