// Flags to Settings. CLI11 splits the command line; every message and
// status the user sees is ours.
#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "flags.h"
#include "json_text.h"
#include "settings.h"
#include "tersolite.h"

namespace tersolite_cli {

namespace {

constexpr unsigned kMaxJobs = 1024;

// The cores this process may run on (taskset and containers can allow
// fewer than the machine has).
unsigned usable_cores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "tersolite: %s (see tersolite --help)\n", message.c_str());
  return kUsage;
}

std::string dashed(const Flag& f) { return std::string("--") + f.long_name; }

bool takes_value(const Flag& f) { return f.kind != Kind::kSwitch; }

// The flag `arg` names, when it is one flag on its own ("--max-chars" or
// "-m", not "--max-chars=5" or "-m5").
const Flag* whole_flag(const std::string& arg) {
  for (const Flag& f : flags()) {
    if (arg == dashed(f) || (f.short_name && arg.size() == 2 && arg[0] == '-' && arg[1] == f.short_name)) return &f;
  }
  return nullptr;
}

// A value flag at the end of the line, or followed by another flag, is
// missing its value. Negative numbers count as values, so that they reach
// the number check and are named there.
const Flag* flag_without_value(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--") return nullptr;
    const Flag* f = whole_flag(arg);
    if (!f || !takes_value(*f)) continue;
    if (i + 1 == argc) return f;
    std::string next = argv[i + 1];
    bool looks_like_flag = next.size() > 1 && next[0] == '-' && !(next[1] >= '0' && next[1] <= '9');
    if (looks_like_flag) return f;
    ++i;
  }
  return nullptr;
}

// A whole number >= 0 that fits 64 bits, written as plain digits.
std::optional<uint64_t> parse_count(const std::string& text) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || text[0] == '+' || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

struct Parsed {
  std::vector<std::vector<std::string>> values;  // per flag row, every use in order
  std::vector<int64_t> uses;                     // per switch row
  std::vector<std::string> files;

  const std::vector<std::string>& all(const char* name) const { return values[index(name)]; }
  const std::string* last(const char* name) const {
    const auto& v = all(name);
    return v.empty() ? nullptr : &v.back();
  }
  bool on(const char* name) const { return uses[index(name)] > 0; }
  static size_t index(const char* name) { return static_cast<size_t>(find_flag(name) - flags().data()); }
};

// Splits the command line; returns a status when the run ends here.
std::optional<int> split(int argc, char** argv, Parsed& p) {
  if (const Flag* f = flag_without_value(argc, argv)) return usage_error(dashed(*f) + " needs a value");
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  p.values.resize(flags().size());
  p.uses.resize(flags().size());
  for (size_t i = 0; i < flags().size(); ++i) {
    const Flag& f = flags()[i];
    std::string names = (f.short_name ? std::string("-") + f.short_name + "," : "") + dashed(f);
    if (takes_value(f)) {
      app.add_option(names, p.values[i])
          ->expected(1)
          ->allow_extra_args(false)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    } else {
      app.add_flag(names, p.uses[i]);
    }
  }
  app.add_option("files", p.files);
  // Everything after "--" is a file; CLI11 sees only what comes before.
  int end = 1;
  while (end < argc && std::strcmp(argv[end], "--") != 0) ++end;
  try {
    app.parse(end, argv);
  } catch (const CLI::ParseError&) {
    // Rare once values are checked above, e.g. --strict=yes.
    return usage_error("cannot make sense of the arguments");
  }
  for (int i = end + 1; i < argc; ++i) p.files.push_back(argv[i]);
  if (app.remaining().empty()) return std::nullopt;
  std::string extra = app.remaining().front();
  return usage_error((extra.size() > 1 && extra[0] == '-' ? "unknown flag " : "unexpected argument ") + extra);
}

// The options object: --options, then a member for every flag that sets
// one (the library lets a later duplicate member win).
std::optional<int> build_options(const Parsed& p, Settings& s) {
  std::string members;
  auto add = [&](const char* name, const std::string& json) { members += ",\"" + std::string(name) + "\":" + json; };
  for (size_t i = 0; i < flags().size(); ++i) {
    const Flag& f = flags()[i];
    if (!f.member || p.values[i].empty()) continue;
    const std::string& value = p.values[i].back();
    if (f.kind == Kind::kText) {
      add(f.member, quote_json(value));
      continue;
    }
    std::optional<uint64_t> n = parse_count(value);
    if (!n)
      return usage_error(dashed(f) + " takes a whole number from 0 to 18446744073709551615, not \"" + value + "\"");
    add(f.member, std::to_string(*n));
  }
  if (p.on("compact") || s.lines) add("indent", "0");
  if (s.lines) add("format", "\"json\"");
  if (const std::string* q = p.last("query")) add("arguments", "{\"query\":" + quote_json(*q) + "}");
  if (!p.all("protect").empty()) {
    std::string list;
    for (const std::string& pattern : p.all("protect")) list += (list.empty() ? "" : ",") + quote_json(pattern);
    add("protect", "[" + list + "]");
  }
  if (p.on("explain")) add("explain", "true");
  if (p.on("no-keep-last")) add("keep_last_item", "false");
  const std::string* raw = p.last("options");
  s.options = merge_options(raw ? *raw : "{}", members);
  return std::nullopt;
}

std::optional<int> read_run_flags(const Parsed& p, Settings& s) {
  s.files = p.files.empty() ? std::vector<std::string>{"-"} : p.files;
  s.lines = p.on("lines");
  s.envelope = p.on("envelope");
  s.report = p.on("report");
  s.strict = p.on("strict");
  if (const std::string* out = p.last("output")) {
    if (out->empty()) return usage_error("--output needs a file name");
    s.output = *out;
  }
  if (const std::string* view = p.last("view")) {
    if (view->empty()) return usage_error("--view needs a file name");
    if (s.lines || s.files.size() != 1) return usage_error("--view shows one document: give one file, without --lines");
    s.view = *view;
  }
  s.jobs = usable_cores();
  if (const std::string* jobs = p.last("jobs")) {
    std::optional<uint64_t> n = parse_count(*jobs);
    if (!n || *n < 1 || *n > kMaxJobs)
      return usage_error("--jobs takes a whole number from 1 to " + std::to_string(kMaxJobs) + ", not \"" + *jobs +
                         "\"");
    s.jobs = static_cast<unsigned>(*n);
  }
  bool yaml =
      (p.last("format") && *p.last("format") == "yaml") || (p.last("options") && asks_for_yaml(*p.last("options")));
  if (s.lines && yaml)
    return usage_error("--lines writes JSON, one answer per line: YAML output cannot be used with it");
  return std::nullopt;
}

}  // namespace

Status worse(Status a, Status b) {
  auto rank = [](Status s) { return s == kUsage ? 3 : s == kRejected ? 2 : s == kOverBudget ? 1 : 0; };
  return rank(a) >= rank(b) ? a : b;
}

int parse_arguments(int argc, char** argv, Settings& settings) {
  Parsed p;
  if (auto status = split(argc, argv, p)) return *status;
  if (p.on("help")) {
    std::fputs(help_text().c_str(), stdout);
    return kSuccess;
  }
  if (p.on("version")) {
    std::printf("tersolite %s\n", tersolite_version());
    return kSuccess;
  }
  if (auto status = read_run_flags(p, settings)) return *status;
  if (auto status = build_options(p, settings)) return *status;
  return -1;
}

}  // namespace tersolite_cli
