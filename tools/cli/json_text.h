// Small JSON texts the tool writes or looks into: option members, the
// options object, and the library's envelope (read with RapidJSON).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

namespace tersolite_cli {

/// `text` as a JSON string literal.
std::string quote_json(std::string_view text);

/// `raw` (an options object) with `members` (",\"name\":value" pieces)
/// appended inside it; `raw` as it is when it is not an object, for the
/// library to report.
std::string merge_options(const std::string& raw, const std::string& members);

/// Whether the options object `raw` asks for YAML output.
bool asks_for_yaml(const std::string& raw);

/// The answer of one tersolite_shrink() call, owned.
class Envelope {
 public:
  Envelope() = default;
  Envelope(Envelope&& other) noexcept;
  Envelope& operator=(Envelope&& other) noexcept;
  ~Envelope();

  static Envelope shrink(std::string_view input, const std::string& options);

  /// The envelope as the library wrote it; only until parse().
  std::string_view raw() const { return {reinterpret_cast<const char*>(data_), size_}; }
  /// Reads the envelope in place (its strings are decoded where they lie,
  /// so raw() is spent). False when it is not the expected object.
  bool parse();

  bool ok() const;
  std::string_view error() const { return string_member("error"); }
  std::string_view text() const { return string_member("text"); }
  const rapidjson::Value& report() const { return (*doc_)["report"]; }

  /// A string, number or boolean member of `object`, as text; "?" when
  /// it is missing.
  static std::string member_text(const rapidjson::Value& object, const char* key);

 private:
  std::string_view string_member(const char* key) const {
    const rapidjson::Value& v = (*doc_)[key];
    return {v.GetString(), v.GetStringLength()};
  }

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::unique_ptr<rapidjson::Document> doc_;
};

}  // namespace tersolite_cli
