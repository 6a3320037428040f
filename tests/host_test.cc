// A host's view of the library: load the shared object at run time, resolve
// the four functions by name, and call them with hostile arguments.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using ShrinkFn = uint8_t* (*)(const uint8_t*, size_t, const uint8_t*, size_t, size_t*);
using AllocFn = uint8_t* (*)(size_t);
using FreeFn = void (*)(uint8_t*, size_t);
using VersionFn = const char* (*)();

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(TERSOLITE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, handle_) << dlerror();
    shrink_ = reinterpret_cast<ShrinkFn>(dlsym(handle_, "tersolite_shrink"));
    alloc_ = reinterpret_cast<AllocFn>(dlsym(handle_, "tersolite_alloc"));
    free_ = reinterpret_cast<FreeFn>(dlsym(handle_, "tersolite_free"));
    version_ = reinterpret_cast<VersionFn>(dlsym(handle_, "tersolite_version"));
    ASSERT_TRUE(shrink_ && alloc_ && free_ && version_);
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }

  std::string call(const void* input, size_t input_len, const void* options, size_t options_len) {
    size_t len = 12345;
    uint8_t* out =
        shrink_(static_cast<const uint8_t*>(input), input_len, static_cast<const uint8_t*>(options), options_len, &len);
    EXPECT_NE(nullptr, out);
    std::string env(reinterpret_cast<char*>(out), len);
    free_(out, len);
    return env;
  }
  std::string call(const std::string& input, const std::string& options) {
    return call(input.data(), input.size(), options.data(), options.size());
  }

  void* handle_ = nullptr;
  ShrinkFn shrink_ = nullptr;
  AllocFn alloc_ = nullptr;
  FreeFn free_ = nullptr;
  VersionFn version_ = nullptr;
};

TEST_F(Host, ReadsNullAndZeroLengthAsEmptyText) {
  const std::string empty_input =
      R"({"ok":false,"error":"invalid JSON input: unexpected end of input at line 1, column 1"})";
  EXPECT_EQ(empty_input, call(nullptr, 99, "{}", 2));
  EXPECT_EQ(empty_input, call("[1]", 0, "{}", 2));
  EXPECT_EQ(R"({"ok":false,"error":"invalid options JSON: unexpected end of input at line 1, column 1"})",
            call("[1]", 3, nullptr, 7));
}

TEST_F(Host, ChecksInputBeforeOptions) {
  EXPECT_EQ(R"({"ok":false,"error":"input is not valid UTF-8"})", call("\xED\xA0\x80", "\xFF"));
  EXPECT_EQ(R"({"ok":false,"error":"options are not valid UTF-8"})", call("1", "{\"a\xF5\":1}"));
}

TEST_F(Host, EnvelopeHasExactLength) {
  std::string input = "{\"caf\xC3\xA9\":\"\\u0000\"}";
  std::string env = call(input, R"({"indent":0})");
  EXPECT_EQ("{\"ok\":true,\"text\":\"{\\\"caf\xC3\xA9\\\":\\\"\\\\u0000\\\"}\",\"report\":{\"input_chars\":17,",
            env.substr(0, env.find("\"output_chars\"")));
  EXPECT_EQ('}', env.back());
  EXPECT_EQ(nullptr, shrink_(nullptr, 0, nullptr, 0, nullptr));
}

TEST_F(Host, AllocatesZeroFilledAndFreesSafely) {
  EXPECT_EQ(reinterpret_cast<uint8_t*>(uintptr_t{1}), alloc_(0));
  uint8_t* buf = alloc_(64);
  ASSERT_NE(nullptr, buf);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(0, buf[i]);
  free_(buf, 64);
  free_(nullptr, 64);
  free_(reinterpret_cast<uint8_t*>(uintptr_t{1}), 0);
  EXPECT_STREQ("0.2.1", version_());
}

}  // namespace
