#include "docgen.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace tersolite::bench {

namespace {

const char* kWords[] = {"export",    "report",  "crash",     "timezone", "webhook", "retry",   "payment", "pagination",
                        "memory",    "worker",  "shortcut",  "login",    "token",   "cache",   "latency", "database",
                        "migration", "upgrade", "dashboard", "search",   "filter",  "archive", "import",  "csv"};
const char* kNames[] = {"Maya Hartley",  "Jide Okafor", "Lena Winiarski", "Thanh Pham",
                        "Rosa González", "Aiko Kimura", "Søren Dahl",     "Zoë Laurent"};
const char* kLabels[] = {"bug", "enhancement", "documentation", "priority: high", "needs triage", "performance"};
const char* kLevels[] = {"DEBUG", "INFO", "INFO", "INFO", "WARN", "ERROR"};

class Gen {
 public:
  explicit Gen(uint64_t seed) : rng_(seed) {}
  size_t pick(size_t n) { return rng_() % n; }
  std::string words(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
      if (i) s += ' ';
      s += kWords[pick(sizeof kWords / sizeof *kWords)];
    }
    return s;
  }
  std::string markdown() {
    std::string s = "### Steps to reproduce\\n\\n";
    size_t paragraphs = 2 + pick(4);
    for (size_t p = 0; p < paragraphs; ++p) {
      s += "1. " + words(6 + pick(10)) + ".\\n2. " + words(5 + pick(8)) + " `code()`.\\n\\n";
      s += words(20 + pick(40)) + ". " + words(10 + pick(20)) + " \\\"quoted\\\".\\n\\n";
    }
    return s;
  }
  std::string person(size_t id) {
    const char* name = kNames[pick(sizeof kNames / sizeof *kNames)];
    return "{\"login\":\"user" + std::to_string(id % 997) + "\",\"id\":" + std::to_string(5000 + id % 997) +
           ",\"name\":\"" + name + "\",\"avatar_url\":\"https://avatars.example.com/u/" + std::to_string(id % 997) +
           "?v=4\",\"type\":\"User\",\"site_admin\":false}";
  }

 private:
  std::mt19937_64 rng_;
};

std::string issue(Gen& g, size_t i) {
  std::string labels = "[";
  size_t nl = g.pick(4);
  for (size_t k = 0; k < nl; ++k) {
    labels += (k ? "," : "") + std::string("{\"id\":") + std::to_string(100 + k) + ",\"name\":\"" +
              kLabels[g.pick(sizeof kLabels / sizeof *kLabels)] + "\",\"color\":\"d73a4a\",\"default\":false}";
  }
  labels += "]";
  std::string comments = "[";
  size_t nc = g.pick(3);
  for (size_t k = 0; k < nc; ++k)
    comments += (k ? "," : "") + std::string("{\"user\":") + g.person(i + k) + ",\"body\":\"" +
                g.words(15 + g.pick(30)) + ".\"}";
  comments += "]";
  return "{\"id\":" + std::to_string(2100450000 + i * 977) + ",\"number\":" + std::to_string(i + 1) + ",\"title\":\"" +
         g.words(4 + g.pick(6)) + "\",\"state\":\"" + (g.pick(3) ? "open" : "closed") +
         "\",\"html_url\":\"https://github.example.com/acme/webapp/issues/" + std::to_string(i + 1) +
         "\",\"user\":" + g.person(i) + ",\"assignee\":" + (g.pick(2) ? g.person(i * 7) : "null") +
         ",\"labels\":" + labels + ",\"comments\":" + std::to_string(nc) + ",\"created_at\":\"2026-0" +
         std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10) + "T09:00:00Z\",\"updated_at\":\"2026-11-2" +
         std::to_string(i % 10) + "T16:30:12Z\",\"closed_at\":null,\"body\":\"" + g.markdown() +
         "\",\"comment_list\":" + comments + ",\"node_id\":\"I_kwDOAbc" + std::to_string(i) + "XyZ\"}";
}

std::string log_event(Gen& g, size_t i) {
  return "{\"ts\":\"2026-12-08T04:" + std::to_string(10 + i % 50) + ":" + std::to_string(10 + i % 50) +
         "Z\",\"level\":\"" + kLevels[g.pick(6)] + "\",\"svc\":\"api-" + std::to_string(g.pick(8)) +
         "\",\"host\":\"ip-10-0-" + std::to_string(g.pick(255)) + "\",\"req\":" + std::to_string(i) +
         ",\"ms\":" + std::to_string(g.pick(900)) + ",\"code\":" + std::to_string(g.pick(5) ? 200 : 503) +
         ",\"msg\":\"" + g.words(3 + g.pick(4)) + "\"}";
}

// A feature whose outline has a few hundred points of seven decimals.
std::string geo_feature(Gen& g, size_t i) {
  std::string s = "{\"type\":\"Feature\",\"id\":" + std::to_string(i) + ",\"properties\":{\"name\":\"parcel " +
                  std::to_string(i) + "\",\"zone\":\"" + kWords[g.pick(sizeof kWords / sizeof *kWords)] +
                  "\"},\"geometry\":{\"type\":\"Polygon\",\"coordinates\":[[";
  size_t points = 100 + g.pick(400);
  for (size_t k = 0; k < points; ++k) {
    char point[64];
    std::snprintf(point, sizeof point, "%s[%.7f,%.7f]", k ? "," : "", 4.0 + static_cast<double>(g.pick(2000000)) / 1e7,
                  52.0 + static_cast<double>(g.pick(2000000)) / 1e7);
    s += point;
  }
  return s + "]]}}";
}

std::string catalog_node(Gen& g, size_t i, int depth) {
  std::string s = "{\"sku\":\"SKU-" + std::to_string(i) + "\",\"name\":\"Café crème " + g.words(2) +
                  " – naïve \\u00e9dition\",\"price\":{\"$numberDecimal\":\"" + std::to_string(10 + i % 90) +
                  ".99\"},\"tags\":[\"日本語\",\"emoji 😀\",\"tab\\tline\\nbreak\"]";
  if (depth < 6) {
    s += ",\"children\":[";
    for (int k = 0; k < 2; ++k) s += (k ? "," : "") + catalog_node(g, i * 2 + static_cast<size_t>(k), depth + 1);
    s += "]";
  }
  return s + "}";
}

}  // namespace

std::string_view shape_name(Shape shape) {
  switch (shape) {
    case Shape::kIssues: return "issues";
    case Shape::kLogs: return "logs";
    case Shape::kCatalog: return "catalog";
    case Shape::kWide: return "wide";
    case Shape::kStrings: return "strings";
    case Shape::kInts: return "ints";
    case Shape::kGeo: return "geo";
  }
  return "";
}

bool shape_named(std::string_view name, Shape& shape) {
  for (Shape s :
       {Shape::kIssues, Shape::kLogs, Shape::kCatalog, Shape::kWide, Shape::kStrings, Shape::kInts, Shape::kGeo}) {
    if (shape_name(s) == name) {
      shape = s;
      return true;
    }
  }
  return false;
}

std::string generate(Shape shape, size_t bytes) {
  Gen g(42);
  std::string out;
  out.reserve(bytes + 4096);
  bool object = shape == Shape::kWide;
  if (shape == Shape::kGeo) out += "{\"type\":\"FeatureCollection\",\"features\":";
  out += object ? '{' : '[';
  for (size_t i = 0; out.size() < bytes; ++i) {
    if (i) out += ',';
    switch (shape) {
      case Shape::kIssues: out += issue(g, i); break;
      case Shape::kLogs: out += log_event(g, i); break;
      case Shape::kCatalog: out += catalog_node(g, i, 0); break;
      case Shape::kWide: out += "\"field_" + std::to_string(i) + "\":\"" + g.words(1 + g.pick(3)) + "\""; break;
      case Shape::kStrings: out += "\"" + std::string(kWords[g.pick(sizeof kWords / sizeof *kWords)]) + "\""; break;
      case Shape::kInts: out += std::to_string(g.pick(30000000)); break;
      case Shape::kGeo: out += geo_feature(g, i); break;
    }
  }
  out += object ? '}' : ']';
  if (shape == Shape::kGeo) out += '}';
  return out;
}

}  // namespace tersolite::bench
