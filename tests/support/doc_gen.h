// Deterministic random documents for property tests: every kind, escapes,
// non-ASCII text, duplicate keys, long multi-line strings and records.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "value/value.h"

namespace tersolite::testing {

class DocGen {
 public:
  /// `yaml_safe` avoids what YAML cannot keep: duplicate keys and -0.
  explicit DocGen(uint64_t seed, bool yaml_safe = false) : rng_(seed), yaml_safe_(yaml_safe) {}

  Value value(int depth = 0) {
    int pick = static_cast<int>(next(depth > 4 ? 5 : 8));
    switch (pick) {
      case 0: return Value();
      case 1: return Value::boolean(next(2) == 0);
      case 2: return Value::number(number());
      case 3:
      case 4: return Value::string(text(next(3) == 0 ? 400 : 30));
      case 5: return Value::string(words_text());
      case 6: {
        Value a = Value::array();
        size_t n = next(7);
        bool records = next(2) == 0;
        for (size_t i = 0; i < n; ++i) a.push_back(records ? record(depth + 1) : value(depth + 1));
        return a;
      }
      default: return record(depth + 1);
    }
  }

  Value record(int depth) {
    static const char* kKeys[] = {"id",          "title", "name", "status",      "body",   "created_at",
                                  "url",         "user",  "tags", "count",       "etag",   "a\"b",
                                  "caf\xC3\xA9", "",      "\x01", "description", "_links", "price"};
    Value o = Value::object();
    size_t n = next(6);
    for (size_t i = 0; i < n; ++i) {
      std::string key = kKeys[next(sizeof kKeys / sizeof *kKeys)];
      if (yaml_safe_) {
        bool taken = false;
        for (const Member& m : o.members()) taken = taken || m.key == key;
        if (taken) continue;
      }
      o.add_member(key, depth > 5 ? Value::number("1") : value(depth));
    }
    return o;
  }

  std::string number() {
    static const char* kNumbers[] = {"0", "-0", "1.50", "1E+2", "12345", "-3.25e-7", "18446744073709551616"};
    std::string n = kNumbers[next(sizeof kNumbers / sizeof *kNumbers)];
    return yaml_safe_ && n == "-0" ? "0" : n;
  }

  std::string text(size_t max_len) {
    static const char* kPieces[] = {"a",
                                    "b",
                                    " ",
                                    "\n",
                                    "\n\n",
                                    "\t",
                                    "\"",
                                    "\\",
                                    "\x01",
                                    "\x1F",
                                    "\xC3\xA9",
                                    "\xE2\x80\xA6",
                                    "\xF0\x9F\x98\x80",
                                    ". ",
                                    "x",
                                    "yz",
                                    "\r\n",
                                    "\x7F",
                                    "\xE2\x80\xA8"};
    size_t len = next(max_len + 1);
    std::string s;
    for (size_t i = 0; i < len; ++i) s += kPieces[next(sizeof kPieces / sizeof *kPieces)];
    return s;
  }

  std::string words_text() {
    static const char* kWords[] = {"open", "bug", "crash", "export", "report", "timezone", "the", "invoice"};
    size_t n = next(60);
    std::string s;
    for (size_t i = 0; i < n; ++i) {
      s += kWords[next(sizeof kWords / sizeof *kWords)];
      s += next(9) == 0 ? ".\n\n" : next(7) == 0 ? ".\n" : next(5) == 0 ? ". " : " ";
    }
    return s;
  }

  uint64_t next(uint64_t bound) { return bound == 0 ? 0 : rng_() % bound; }

 private:
  std::mt19937_64 rng_;
  bool yaml_safe_;
};

}  // namespace tersolite::testing
