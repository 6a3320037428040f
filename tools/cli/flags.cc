#include "flags.h"

#include <cstring>

namespace tersolite_cli {

namespace {

constexpr Flag kFlags[] = {
    // The budget and the layout.
    {'m', "max-chars", Kind::kCount, "N", "budget: characters per answer (default 10000)", "max_chars"},
    {'\0', "indent", Kind::kCount, "N", "spaces per level; 0: compact JSON (default 2)", "indent"},
    {'c', "compact", Kind::kSwitch, nullptr, "compact JSON, as --indent 0", nullptr},
    {'\0', "format", Kind::kText, "F", "output: auto (as the input), json or yaml", "format"},
    {'\0', "input-format", Kind::kText, "F", "input: auto, json or yaml (default auto)", "input_format"},
    // What is kept.
    {'\0', "strategy", Kind::kText, "S", "arrays: sample or condense (default sample)", "array_strategy"},
    {'\0', "protect", Kind::kText, "PATH", "keep PATH whole: /id, items/*/title (repeatable)", nullptr},
    {'\0', "query", Kind::kText, "TEXT", "what the reader looks for; steers what is kept", nullptr},
    {'\0', "scorer", Kind::kText, "S", "field scorer: heuristic, compact or key_order", "field_scorer"},
    {'\0', "explain", Kind::kSwitch, nullptr, "record condensing's decisions (see --report)", nullptr},
    {'\0', "no-keep-last", Kind::kSwitch, nullptr, "do not prefer a sampled array's last item", nullptr},
    {'\0', "string-head-chars", Kind::kCount, "N", "strings: head allowance weight (500)", "string_head_chars"},
    {'\0', "string-section-chars", Kind::kCount, "N", "strings: head allowance divisor (100)", "string_section_chars"},
    {'\0', "string-min-section-chars", Kind::kCount, "N", "strings: smallest section cap (16)",
     "string_min_section_chars"},
    {'\0', "max-samples", Kind::kCount, "N", "sampling: shapes offered when none fits (3)", "max_samples"},
    {'\0', "min-partial-chars", Kind::kCount, "N", "sampling: least room for a shortened item (40)",
     "min_partial_chars"},
    {'\0', "options", Kind::kText, "JSON", "raw options object; flags override its members", nullptr},
    // The run.
    {'l', "lines", Kind::kSwitch, nullptr, "JSON Lines: a document and an answer per line", nullptr},
    {'j', "jobs", Kind::kCount, "N", "documents shrunk at once (default: one per core)", nullptr},
    {'o', "output", Kind::kText, "FILE", "write to FILE, replaced when the run completes", nullptr},
    {'\0', "envelope", Kind::kSwitch, nullptr, "print the library's envelope, not the document", nullptr},
    {'\0', "report", Kind::kSwitch, nullptr, "describe what was cut, on standard error", nullptr},
    {'\0', "strict", Kind::kSwitch, nullptr, "status 3 when an answer does not fit its budget", nullptr},
    {'\0', "view", Kind::kText, "FILE", "also write FILE, a page: the original beside the answer", nullptr},
    {'h', "help", Kind::kSwitch, nullptr, "show this help", nullptr},
    {'V', "version", Kind::kSwitch, nullptr, "show the version", nullptr},
};

}  // namespace

std::span<const Flag> flags() { return kFlags; }

const Flag* find_flag(const char* long_name) {
  for (const Flag& f : kFlags)
    if (std::strcmp(f.long_name, long_name) == 0) return &f;
  return nullptr;
}

}  // namespace tersolite_cli
