#include "flags.h"

#include <cstring>

namespace tersolite_cli {

namespace {

constexpr Flag kFlags[] = {
    // The budget and the layout.
    {'m', "max-chars", Kind::kCount, "N", "budget: characters of each answer (default 10000)", "max_chars"},
    {'\0', "indent", Kind::kCount, "N", "spaces per level; 0 writes compact JSON (default 2)", "indent"},
    {'c', "compact", Kind::kSwitch, nullptr, "compact JSON, as --indent 0", nullptr},
    {'\0', "format", Kind::kText, "F", "output format: auto, json or yaml (default auto: as the input)", "format"},
    {'\0', "input-format", Kind::kText, "F", "input format: auto, json or yaml (default auto)", "input_format"},
    // What is kept.
    {'\0', "strategy", Kind::kText, "S", "arrays: sample or condense (default sample)", "array_strategy"},
    {'\0', "protect", Kind::kText, "PATH", "keep PATH whole, e.g. /id or items/*/title (repeatable)", nullptr},
    {'\0', "query", Kind::kText, "TEXT", "what the reader looks for; steers what is kept", nullptr},
    {'\0', "scorer", Kind::kText, "S", "field scorer: heuristic, compact or key_order", "field_scorer"},
    {'\0', "explain", Kind::kSwitch, nullptr, "record condensing's field decisions (see --report)", nullptr},
    {'\0', "no-keep-last", Kind::kSwitch, nullptr, "do not prefer the last item of a sampled array", nullptr},
    {'\0', "string-head-chars", Kind::kCount, "N", "string shortening: head allowance weight (500)",
     "string_head_chars"},
    {'\0', "string-section-chars", Kind::kCount, "N", "string shortening: head allowance divisor (100)",
     "string_section_chars"},
    {'\0', "string-min-section-chars", Kind::kCount, "N", "string shortening: smallest section cap (16)",
     "string_min_section_chars"},
    {'\0', "max-samples", Kind::kCount, "N", "array sampling: shapes offered when no item fits (3)",
     "max_samples"},
    {'\0', "min-partial-chars", Kind::kCount, "N", "array sampling: smallest room for a shortened item (40)",
     "min_partial_chars"},
    {'\0', "options", Kind::kText, "JSON", "raw options object; the flags above override its members", nullptr},
    // The run.
    {'l', "lines", Kind::kSwitch, nullptr, "JSON Lines: every non-empty line is a document, every answer a line",
     nullptr},
    {'j', "jobs", Kind::kCount, "N", "documents shrunk at once (default: the number of cores)", nullptr},
    {'o', "output", Kind::kText, "FILE", "write to FILE (replaced only when the run completes)", nullptr},
    {'\0', "envelope", Kind::kSwitch, nullptr, "print the library's JSON envelope instead of the document",
     nullptr},
    {'\0', "report", Kind::kSwitch, nullptr, "describe what was cut, on standard error", nullptr},
    {'\0', "strict", Kind::kSwitch, nullptr, "status 3 when an answer does not fit its budget", nullptr},
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
