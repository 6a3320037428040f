// tersolite: shrink a JSON or YAML document from the shell.
//
//   tersolite [FILE|-] [--max-chars N] [--query TEXT] [--report] ...
//
// Built on the public C API only. Flags become members of an options object
// appended after those of --options, so a flag overrides the raw member of
// the same name (the library lets a later duplicate member win).
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#ifdef __linux__
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "envelope_reader.h"
#include "tersolite.h"
#include "view_page.h"

namespace {

using tersolite_cli::Json;

// A large file then costs a few hundred page faults instead of one for
// every 4 KiB (the memory is untouched until the file is read into it).
void advise_huge_pages(char* data, size_t size) {
#ifdef __linux__
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHuge - 1);
  if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

bool read_all(const std::string& path, std::string& out) {
  if (path == "-") {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    out = ss.str();
    return !std::cin.bad();
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0) {
      out.reserve(static_cast<size_t>(size));
      advise_huge_pages(out.data(), out.capacity());
    }
    std::rewind(f);
  }
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// The document to shrink. A regular file is mapped rather than copied: the
// page cache holds it already, and a large copy costs more than the shrink.
class Input {
 public:
  Input() = default;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() { release(); }

  bool open(const std::string& path) {
    if (map(path)) return true;
    return read_all(path, copy_);
  }
  std::string_view bytes() const { return mapped_ ? std::string_view(mapped_, mapped_size_) : std::string_view(copy_); }
  void release() {
#ifdef __linux__
    if (mapped_ != nullptr) {
      munmap(const_cast<char*>(mapped_), mapped_size_);
      signal(SIGBUS, SIG_DFL);
      mapped_ = nullptr;
    }
#endif
    copy_.clear();
    copy_.shrink_to_fit();
  }

 private:
  bool map(const std::string& path) {
#ifdef __linux__
    if (path == "-") return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    void* p = MAP_FAILED;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    }
    ::close(fd);
    if (p == MAP_FAILED) return false;
    // A file cut short while mapped faults on the missing pages: say so
    // instead of dying of the signal.
    signal(SIGBUS, [](int) {
      constexpr char kMessage[] = "tersolite: the file changed while it was read\n";
      ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
      (void)ignored;
      _exit(2);
    });
    mapped_ = static_cast<const char*>(p);
    mapped_size_ = static_cast<size_t>(st.st_size);
    return true;
#else
    (void)path;
    return false;
#endif
  }

  const char* mapped_ = nullptr;
  size_t mapped_size_ = 0;
  std::string copy_;
};

// Appends `members` (",name:value" pieces) to the raw options object text.
std::string merge_options(const std::string& raw, const std::string& members) {
  if (members.empty()) return raw;
  size_t open = raw.find_first_not_of(" \t\r\n");
  size_t close = raw.find_last_not_of(" \t\r\n");
  if (open == std::string::npos || raw[open] != '{' || raw[close] != '}') {
    return raw;  // not an object: let the library report it
  }
  std::string inner = raw.substr(open + 1, close - open - 1);
  bool empty = inner.find_first_not_of(" \t\r\n") == std::string::npos;
  return "{" + inner + (empty ? members.substr(1) : members) + "}";
}

// Writes `text` to `path` through a temporary file beside it, so that a
// failed run never leaves half a file.
bool write_file_atomically(const std::string& path, std::string_view text) {
  std::string tmp = path + ".tmp" + std::to_string(getpid());
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (std::fclose(f) == 0) && ok;
  if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
  std::remove(tmp.c_str());
  return false;
}

// The document as the library reads it, written as compact JSON: the view
// reads only JSON, and sees what the library saw (YAML included).
std::optional<std::string> document_as_json(std::string_view document, const std::string& options) {
  std::string normalise =
      merge_options(options, ",\"max_chars\":18446744073709551615,\"format\":\"json\",\"indent\":0");
  size_t len = 0;
  uint8_t* out = tersolite_shrink(reinterpret_cast<const uint8_t*>(document.data()), document.size(),
                                  reinterpret_cast<const uint8_t*>(normalise.data()), normalise.size(), &len);
  std::optional<Json> env = tersolite_cli::parse_json(std::string_view(reinterpret_cast<const char*>(out), len));
  tersolite_free(out, len);
  const Json* text = env ? env->get("text") : nullptr;
  if (text == nullptr) return std::nullopt;
  return text->text;
}

std::string count_text(const Json* j) { return j ? j->text : "?"; }

void print_report(const Json& report) {
  auto num = [&](const char* key) { return count_text(report.get(key)); };
  auto flag = [&](const char* key) {
    const Json* j = report.get(key);
    return j && j->boolean;
  };
  std::fprintf(stderr, "tersolite: %s -> %s chars (budget %s, %s), %s output from %s input\n",
               num("input_chars").c_str(), num("output_chars").c_str(), num("max_chars").c_str(),
               flag("fits") ? "fits" : "does not fit", report.get("format")->text.c_str(),
               report.get("input_format")->text.c_str());
  if (!flag("pruned")) {
    std::fprintf(stderr, "  nothing cut: the document fits as written\n");
    return;
  }
  static const char* kCounters[] = {"strings_truncated", "arrays_sampled",  "items_omitted",
                                    "objects_trimmed",   "keys_omitted",    "containers_collapsed",
                                    "arrays_condensed",  "protected_omitted", "fields_dropped"};
  std::string cut;
  for (const char* key : kCounters) {
    std::string n = num(key);
    if (n == "0") continue;
    if (!cut.empty()) cut += ", ";
    cut += n + " " + key;
  }
  std::fprintf(stderr, "  cut: %s\n", cut.empty() ? "nothing" : cut.c_str());
  if (const Json* dropped = report.get("dropped_fields"); dropped && !dropped->items.empty()) {
    std::fprintf(stderr, "  dropped fields:\n");
    for (const Json& d : dropped->items)
      std::fprintf(stderr, "    %s (in %s items)\n", d.get("path")->text.c_str(),
                   d.get("items")->text.c_str());
  }
  if (const Json* decisions = report.get("field_decisions"); decisions && !decisions->items.empty()) {
    std::fprintf(stderr, "  field decisions (score, relevance):\n");
    for (const Json& d : decisions->items)
      std::fprintf(stderr, "    %s %s  %s  %s\n", d.get("kept")->boolean ? "kept   " : "dropped",
                   d.get("score")->text.c_str(), d.get("relevance")->text.c_str(),
                   d.get("path")->text.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Shrink a JSON or YAML document to a budget of characters, saying in place what "
               "was cut.\nReads FILE (or standard input), writes the shrunk document to standard "
               "output."};
  app.set_version_flag("--version", std::string("tersolite ") + tersolite_version());

  std::string file = "-";
  std::string raw_options = "{}";
  std::optional<uint64_t> max_chars, indent, head, section, min_section, max_samples, min_partial;
  std::optional<std::string> format, input_format, strategy, query, scorer;
  std::vector<std::string> protect;
  bool explain = false, no_keep_last = false, report = false, envelope = false;
  std::string view_path;

  app.add_option("file", file, "Document to read, or - for standard input")->capture_default_str();
  app.add_option("--max-chars", max_chars, "Budget: characters of the written output (default 10000)");
  app.add_option("--indent", indent, "Spaces per level; 0 writes compact JSON (default 2)");
  app.add_option("--format", format, "Output format: auto, json or yaml (default auto: as the input)");
  app.add_option("--input-format", input_format, "Input format: auto, json or yaml (default auto)");
  app.add_option("--strategy", strategy, "Array strategy: sample or condense (default sample)");
  app.add_option("--protect", protect, "Path pattern to keep whole, e.g. /id or items/*/title (repeatable)")
      ->take_all();
  app.add_option("--query", query, "What the reader looks for; steers what is kept (becomes arguments)");
  app.add_option("--scorer", scorer, "Field scorer: heuristic, compact or key_order (default heuristic)");
  app.add_flag("--explain", explain, "Record condensing's field decisions (shown with --report)");
  app.add_flag("--no-keep-last", no_keep_last, "Do not prefer the last item of a sampled array");
  app.add_option("--string-head-chars", head, "String shortening: head allowance weight (default 500)");
  app.add_option("--string-section-chars", section, "String shortening: head allowance divisor (default 100)");
  app.add_option("--string-min-section-chars", min_section,
                 "String shortening: smallest per-section cap (default 16)");
  app.add_option("--max-samples", max_samples, "Array sampling: shapes offered when no item fits (default 3)");
  app.add_option("--min-partial-chars", min_partial,
                 "Array sampling: smallest room for a shortened item (default 40)");
  app.add_option("--options", raw_options, "Raw options object as JSON; flags override its members")
      ->capture_default_str();
  app.add_flag("--report", report, "Print a short report of what was cut to standard error");
  app.add_flag("--envelope", envelope, "Print the raw JSON envelope instead of the document");
  app.add_option("--view", view_path,
                 "Also write FILE.html: a page showing the original beside the answer, what was cut marked");
  CLI11_PARSE(app, argc, argv);

  std::string members;
  auto add = [&](const char* name, const std::string& json) {
    members += ",\"" + std::string(name) + "\":" + json;
  };
  auto add_count = [&](const char* name, const std::optional<uint64_t>& v) {
    if (v) add(name, std::to_string(*v));
  };
  auto add_text = [&](const char* name, const std::optional<std::string>& v) {
    if (v) add(name, tersolite_cli::quote_json(*v));
  };
  add_count("max_chars", max_chars);
  add_count("indent", indent);
  add_count("string_head_chars", head);
  add_count("string_section_chars", section);
  add_count("string_min_section_chars", min_section);
  add_count("max_samples", max_samples);
  add_count("min_partial_chars", min_partial);
  add_text("format", format);
  add_text("input_format", input_format);
  add_text("array_strategy", strategy);
  add_text("field_scorer", scorer);
  if (query) add("arguments", "{\"query\":" + tersolite_cli::quote_json(*query) + "}");
  if (!protect.empty()) {
    std::string list = "[";
    for (size_t i = 0; i < protect.size(); ++i)
      list += (i ? "," : "") + tersolite_cli::quote_json(protect[i]);
    add("protect", list + "]");
  }
  if (explain) add("explain", "true");
  if (no_keep_last) add("keep_last_item", "false");
  std::string options = merge_options(raw_options, members);

  Input input;
  if (!input.open(file)) {
    std::fprintf(stderr, "tersolite: cannot read %s\n", file.c_str());
    return 2;
  }

  size_t len = 0;
  std::string_view document = input.bytes();
  uint8_t* out = tersolite_shrink(reinterpret_cast<const uint8_t*>(document.data()), document.size(),
                                  reinterpret_cast<const uint8_t*>(options.data()), options.size(),
                                  &len);
  std::string_view env(reinterpret_cast<const char*>(out), len);
  // The page is built while the input and the envelope are at hand, and
  // written once the answer is out.
  std::optional<std::string> page;
  constexpr std::string_view kSuccess = "{\"ok\":true,\"text\":";
  bool ok = env.substr(0, kSuccess.size()) == kSuccess;
  if (!view_path.empty() && ok) {
    if (std::optional<std::string> original_json = document_as_json(document, options))
      page = tersolite_cli::view_page(*original_json, env, options, file == "-" ? "standard input" : file);
  }
  input.release();
  if (envelope) {
    std::fwrite(env.data(), 1, env.size(), stdout);
    std::fputc('\n', stdout);
  }
  // A success envelope starts with its text, which may be the whole
  // document: it is decoded straight to standard output, and only the
  // report after it is parsed.
  std::optional<tersolite_cli::Json> parsed;
  if (ok) {
    std::string_view literal = env.substr(kSuccess.size());
    size_t used = tersolite_cli::decode_string_to(literal, envelope ? nullptr : stdout);
    if (used != std::string_view::npos) parsed = tersolite_cli::parse_json("{" + std::string(literal.substr(used + 1)));
  } else {
    parsed = tersolite_cli::parse_json(env);
  }
  tersolite_free(out, len);
  if (!parsed || (!ok && !parsed->get("error"))) {
    std::fprintf(stderr, "tersolite: unreadable envelope\n");
    return 3;
  }
  if (!ok) {
    std::fprintf(stderr, "tersolite: %s\n", parsed->get("error")->text.c_str());
    return 1;
  }
  std::fflush(stdout);  // the document before the report, on a shared terminal
  if (!view_path.empty() && (!page || !write_file_atomically(view_path, *page))) {
    std::fprintf(stderr, "tersolite: cannot write %s: %s\n", view_path.c_str(), std::strerror(errno));
    return 2;
  }
  if (report) print_report(*parsed->get("report"));
  return 0;
}
