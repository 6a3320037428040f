// Benchmarks of every phase and of whole calls, on generated documents of
// 1, 10 and 100 MB (the argument, in MB). Each case checks its output once
// before it reports a time.
//
//   Utf8Check/MB        UTF-8 validation of the document
//   JsonRead/MB         the JSON reader
//   Measure/MB          size measurement of the parsed tree
//   PruneOnce/MB        one attempt of the shrink driver to 10,000 characters
//   JsonWrite/MB        the JSON writer, compact
//   YamlRead/MB         the YAML reader on the document written as YAML
//   YamlWrite/MB        the YAML writer
//   JsonReadWide/KEYS   the JSON reader on one object of KEYS members
//   YamlReadWide/KEYS   the YAML reader on the same object as YAML (its
//                       duplicate-key check must stay linear)
//   ShrinkFits/MB       a whole call whose document fits as written
//   ShrinkSample/MB     a whole call shrinking to 10,000 characters with sample
//   ShrinkCondense/MB   the same with condense
//   ShrinkCondenseQuery/MB   condense with a query
//   ShrinkYaml/MB       sample with YAML output
//   ShrinkLogs/MB       sample on flat log events
//   ShrinkCondenseWide/MB    condense on one object of very many members
//   ShrinkSampleInts/MB sample on one array of small integers
//   SearchWorstCase     all 24 attempts: everything protected, budget one
//                       character short, so each attempt copies and writes
//                       the whole document
//   SearchManyAttempts  the search on YAML output where it makes the most
//                       attempts found among the generated documents (14 of
//                       at most 24): a deep catalog, width 8, 10,000 chars
//   RapidRoundtrip/MB   anchor: RapidJSON parse (UTF-8 validation, full
//                       precision) + compact write of the same document
//   RapidWorstCase/MB   anchor for SearchWorstCase: RapidJSON parses once,
//                       then copies and writes the document 24 times
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "docgen.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "lib/shrink_search.h"
#include "prune/prune.h"
#include "tersolite.h"
#include "value/utf8.h"
#include "yaml/yaml_reader.h"
#include "yaml/yaml_writer.h"

#ifdef TERSOLITE_BENCH_RAPIDJSON
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#endif

namespace tersolite::bench {
namespace {

const std::string& document(Shape shape, int64_t mb) {
  static std::map<std::pair<Shape, int64_t>, std::unique_ptr<std::string>> cache;
  auto& slot = cache[{shape, mb}];
  if (!slot) slot = std::make_unique<std::string>(generate(shape, static_cast<size_t>(mb) * 1000000));
  return *slot;
}

// Read into an arena, as a request reads its document.
const Value& parsed(Shape shape, int64_t mb) {
  static Arena arena;
  static std::map<std::pair<Shape, int64_t>, std::unique_ptr<Value>> cache;
  auto& slot = cache[{shape, mb}];
  if (!slot) slot = std::make_unique<Value>(std::move(*json::read_json(document(shape, mb), &arena)));
  return *slot;
}

void report_bytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

std::string shrink(const std::string& doc, const std::string& options) {
  size_t len = 0;
  uint8_t* out = tersolite_shrink(reinterpret_cast<const uint8_t*>(doc.data()), doc.size(),
                                  reinterpret_cast<const uint8_t*>(options.data()), options.size(), &len);
  std::string env(reinterpret_cast<char*>(out), len);
  tersolite_free(out, len);
  return env;
}

void BM_Utf8Check(benchmark::State& state) {
  const std::string& doc = document(Shape::kIssues, state.range(0));
  if (!is_valid_utf8(doc)) state.SkipWithError("generated document is not UTF-8");
  for (auto _ : state) benchmark::DoNotOptimize(is_valid_utf8(doc));
  report_bytes(state, doc.size());
}

void BM_JsonRead(benchmark::State& state) {
  const std::string& doc = document(Shape::kIssues, state.range(0));
  if (!json::read_json(doc)) state.SkipWithError("generated document does not parse");
  for (auto _ : state) {
    Arena arena;  // as a request reads its document
    benchmark::DoNotOptimize(json::read_json(doc, &arena));
  }
  report_bytes(state, doc.size());
}

// A compact JSON request with the default options, as one attempt sees it.
const ShrinkRequest& compact_request() {
  static const Options options = [] {
    Options o;
    o.indent = 0;
    return o;
  }();
  static const ShrinkRequest request(options);
  return request;
}

void BM_Measure(benchmark::State& state) {
  const Value& v = parsed(Shape::kIssues, state.range(0));
  PruneContext ctx(compact_request());
  PathStack path;
  if (measure(ctx.measure_settings(), v, 0, path, false).full != char_count(json::to_json(v)))
    state.SkipWithError("measurement disagrees with the writer");
  for (auto _ : state) benchmark::DoNotOptimize(measure(ctx.measure_settings(), v, 0, path, false));
  report_bytes(state, document(Shape::kIssues, state.range(0)).size());
}

void BM_PruneOnce(benchmark::State& state) {
  const Value& v = parsed(Shape::kIssues, state.range(0));
  PruneContext ctx(compact_request());
  PathStack path;
  SizeNode root = measure(ctx.measure_settings(), v, 0, path, false);
  if (prune(ctx, v, root, 10000, 0).size > 10000) state.SkipWithError("prune overshoots");
  for (auto _ : state) {
    PruneContext attempt(compact_request());
    benchmark::DoNotOptimize(prune(attempt, v, root, 10000, 0));
  }
  report_bytes(state, document(Shape::kIssues, state.range(0)).size());
}

void BM_JsonWrite(benchmark::State& state) {
  const Value& v = parsed(Shape::kIssues, state.range(0));
  if (json::to_json(v) != document(Shape::kIssues, state.range(0))) state.SkipWithError("writer changes the text");
  // Into a buffer like the envelope, with the room it makes.
  size_t room = document(Shape::kIssues, state.range(0)).size() * 5 / 4;
  for (auto _ : state) {
    HeapBuffer out;
    out.reserve(room);
    json::write_json(out, v, 0, 0);
    benchmark::DoNotOptimize(out.data());
  }
  report_bytes(state, document(Shape::kIssues, state.range(0)).size());
}

void BM_YamlRead(benchmark::State& state) {
  std::string text = yaml::write_yaml(parsed(Shape::kIssues, state.range(0)), 2);
  if (!yaml::read_yaml(text)) state.SkipWithError("YAML does not read back");
  for (auto _ : state) benchmark::DoNotOptimize(yaml::read_yaml(text));
  report_bytes(state, text.size());
}

void BM_YamlWrite(benchmark::State& state) {
  const Value& v = parsed(Shape::kIssues, state.range(0));
  size_t bytes = yaml::write_yaml(v, 2).size();
  // With the room a request makes for it (twice the document).
  size_t room = 2 * document(Shape::kIssues, state.range(0)).size() + 4096;
  for (auto _ : state) benchmark::DoNotOptimize(yaml::write_yaml(v, 2, room));
  report_bytes(state, bytes);
}

// One object with `keys` members, as JSON.
const std::string& wide_document(int64_t keys) {
  static std::map<int64_t, std::string> cache;
  std::string& doc = cache[keys];
  if (doc.empty()) {
    doc = "{";
    for (int64_t i = 0; i < keys; ++i) {
      if (i) doc += ',';
      doc += "\"field_" + std::to_string(i) + "\":\"value " + std::to_string(i % 977) + "\"";
    }
    doc += '}';
  }
  return doc;
}

void BM_JsonReadWide(benchmark::State& state) {
  const std::string& doc = wide_document(state.range(0));
  auto v = json::read_json(doc);
  if (!v || v->members().size() != static_cast<size_t>(state.range(0))) state.SkipWithError("wrong member count");
  for (auto _ : state) {
    Arena arena;
    benchmark::DoNotOptimize(json::read_json(doc, &arena));
  }
  report_bytes(state, doc.size());
}

void BM_YamlReadWide(benchmark::State& state) {
  std::string text = yaml::write_yaml(*json::read_json(wide_document(state.range(0))), 2);
  auto v = yaml::read_yaml(text);
  if (!v || v->members().size() != static_cast<size_t>(state.range(0))) state.SkipWithError("wrong member count");
  for (auto _ : state) benchmark::DoNotOptimize(yaml::read_yaml(text));
  report_bytes(state, text.size());
}

void whole_call(benchmark::State& state, Shape shape, const std::string& options, const char* expect) {
  const std::string& doc = document(shape, state.range(0));
  std::string env = shrink(doc, options);
  if (env.find(expect) == std::string::npos || env.find("\"fits\":true") == std::string::npos)
    state.SkipWithError(("unexpected answer: " + env.substr(0, 300)).c_str());
  // Timed as a host calls it: the answer is freed, not copied.
  for (auto _ : state) {
    size_t len = 0;
    uint8_t* out = tersolite_shrink(reinterpret_cast<const uint8_t*>(doc.data()), doc.size(),
                                    reinterpret_cast<const uint8_t*>(options.data()), options.size(), &len);
    benchmark::DoNotOptimize(out);
    tersolite_free(out, len);
  }
  report_bytes(state, doc.size());
}

void BM_ShrinkFits(benchmark::State& state) {
  whole_call(state, Shape::kIssues, R"({"max_chars":18446744073709551615,"indent":0})", "\"pruned\":false");
}
void BM_ShrinkSample(benchmark::State& state) {
  whole_call(state, Shape::kIssues, R"({"max_chars":10000,"indent":0})", "\"pruned\":true");
}
void BM_ShrinkCondense(benchmark::State& state) {
  whole_call(state, Shape::kIssues, R"({"max_chars":10000,"indent":0,"array_strategy":"condense"})",
             "\"arrays_condensed\":");
}
void BM_ShrinkCondenseQuery(benchmark::State& state) {
  whole_call(
      state, Shape::kIssues,
      R"({"max_chars":10000,"indent":0,"array_strategy":"condense","arguments":{"q":"open crash reports by priority"}})",
      "\"pruned\":true");
}
void BM_ShrinkYaml(benchmark::State& state) {
  whole_call(state, Shape::kIssues, R"({"max_chars":10000,"format":"yaml"})", "\"format\":\"yaml\"");
}
void BM_ShrinkLogs(benchmark::State& state) {
  whole_call(state, Shape::kLogs, R"({"max_chars":10000,"indent":0})", "\"pruned\":true");
}
void BM_ShrinkCondenseWide(benchmark::State& state) {
  whole_call(state, Shape::kWide, R"({"max_chars":10000,"indent":0,"array_strategy":"condense"})", "keys omitted");
}
void BM_ShrinkSampleInts(benchmark::State& state) {
  whole_call(state, Shape::kInts, R"({"max_chars":10000,"indent":0})", "items omitted");
}

void BM_SearchWorstCase(benchmark::State& state) {
  Value v = Value::object();
  v.add_member("data", parsed(Shape::kIssues, state.range(0)).clone());
  Options o;
  o.protect = {"/data"};
  o.max_chars = char_count(json::to_json(v)) - 1;
  o.indent = 0;
  SearchResult r = shrink_search(v, ShrinkRequest(o));
  if (r.attempts != 24 || r.fits) state.SkipWithError("the search did not make 24 attempts");
  for (auto _ : state) benchmark::DoNotOptimize(shrink_search(v, ShrinkRequest(o)));
  report_bytes(state, document(Shape::kIssues, state.range(0)).size());
}

// YAML output keeps searching while the slack exceeds a two-hundredth of
// the budget, so it makes the most attempts.
void BM_SearchManyAttempts(benchmark::State& state) {
  const Value& v = parsed(Shape::kCatalog, state.range(0));
  Options o;
  o.max_chars = 10000;
  o.indent = 8;
  auto search = [&] { return shrink_search(v, ShrinkRequest(o, Format::kYaml, scorer_for(o.field_scorer))); };
  SearchResult r = search();
  if (!r.fits) state.SkipWithError("the search found nothing that fits");
  state.counters["attempts"] = r.attempts;
  for (auto _ : state) benchmark::DoNotOptimize(search());
  report_bytes(state, document(Shape::kCatalog, state.range(0)).size());
}

#ifdef TERSOLITE_BENCH_RAPIDJSON
constexpr unsigned kRapidParseFlags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag;
using RapidWriter = rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>,
                                      rapidjson::CrtAllocator, rapidjson::kWriteValidateEncodingFlag>;

size_t rapid_write(const rapidjson::Value& v) {
  rapidjson::StringBuffer out;
  RapidWriter writer(out);
  v.Accept(writer);
  return out.GetSize();
}

// RapidJSON parses `doc`, then writes it, or when `copies` > 0 copies and
// writes it that many times: the bytes last written, 0 when it does not parse.
size_t rapid_parse_and_write(const std::string& doc, int copies) {
  rapidjson::Document d;
  d.Parse<kRapidParseFlags>(doc.data(), doc.size());
  if (d.HasParseError()) return 0;
  if (copies == 0) return rapid_write(d);
  size_t written = 0;
  for (int i = 0; i < copies; ++i) {
    rapidjson::Document copy;
    copy.CopyFrom(d, copy.GetAllocator());
    written = rapid_write(copy);
  }
  return written;
}

void rapid_case(benchmark::State& state, int copies) {
  const std::string& doc = document(Shape::kIssues, state.range(0));
  if (rapid_parse_and_write(doc, copies) != doc.size()) state.SkipWithError("RapidJSON changes the text");
  for (auto _ : state) benchmark::DoNotOptimize(rapid_parse_and_write(doc, copies));
  report_bytes(state, doc.size());
}

void BM_RapidRoundtrip(benchmark::State& state) { rapid_case(state, 0); }
void BM_RapidWorstCase(benchmark::State& state) { rapid_case(state, 24); }
#endif

#define TERSOLITE_SIZES ->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->MinTime(0.5)
BENCHMARK(BM_Utf8Check) TERSOLITE_SIZES;
BENCHMARK(BM_JsonRead) TERSOLITE_SIZES;
BENCHMARK(BM_Measure) TERSOLITE_SIZES;
BENCHMARK(BM_PruneOnce) TERSOLITE_SIZES;
BENCHMARK(BM_JsonWrite) TERSOLITE_SIZES;
BENCHMARK(BM_YamlRead) TERSOLITE_SIZES;
BENCHMARK(BM_YamlWrite) TERSOLITE_SIZES;
BENCHMARK(BM_JsonReadWide)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YamlReadWide)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShrinkFits) TERSOLITE_SIZES;
BENCHMARK(BM_ShrinkSample) TERSOLITE_SIZES;
BENCHMARK(BM_ShrinkCondense) TERSOLITE_SIZES;
BENCHMARK(BM_ShrinkCondenseQuery) TERSOLITE_SIZES;
BENCHMARK(BM_ShrinkYaml) TERSOLITE_SIZES;
BENCHMARK(BM_ShrinkLogs) TERSOLITE_SIZES;
BENCHMARK(BM_ShrinkCondenseWide) TERSOLITE_SIZES;
BENCHMARK(BM_ShrinkSampleInts) TERSOLITE_SIZES;
BENCHMARK(BM_SearchWorstCase)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchManyAttempts)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
#ifdef TERSOLITE_BENCH_RAPIDJSON
BENCHMARK(BM_RapidRoundtrip) TERSOLITE_SIZES;
BENCHMARK(BM_RapidWorstCase)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace tersolite::bench

BENCHMARK_MAIN();
