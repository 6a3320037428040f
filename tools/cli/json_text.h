// Small JSON texts the tool writes or looks into: option members, the
// options object, and the library's envelope (read with simdjson).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tersolite_cli {

/// `text` as a JSON string literal.
std::string quote_json(std::string_view text);

/// `raw` (an options object) with `members` (",\"name\":value" pieces)
/// appended inside it; `raw` as it is when it is not an object, for the
/// library to report.
std::string merge_options(const std::string& raw, const std::string& members);

/// Whether the options object `raw` asks for YAML output.
bool asks_for_yaml(const std::string& raw);

/// The members of a JSON object whose values are strings, numbers (as
/// written), booleans or null, as text.
class Fields {
 public:
  void add(std::string name, std::string text) { members_.emplace_back(std::move(name), std::move(text)); }
  /// The member's text; "?" when it is missing.
  const std::string& get(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, std::string>> members_;
};

/// The envelope's report: its scalar members, and its arrays of objects.
struct Report {
  Fields scalars;
  std::vector<std::pair<std::string, std::vector<Fields>>> lists;

  const std::string& get(std::string_view name) const { return scalars.get(name); }
  /// The array member `name`; empty when it is missing.
  const std::vector<Fields>& list(std::string_view name) const;
};

/// The answer of one tersolite_shrink() call, owned.
class Envelope {
 public:
  Envelope() = default;
  Envelope(Envelope&& other) noexcept;
  Envelope& operator=(Envelope&& other) noexcept;
  ~Envelope();

  static Envelope shrink(std::string_view input, const std::string& options);
  /// `bytes` in the library's memory, as if it had answered them.
  static Envelope copy_of(std::string_view bytes);
  /// The envelope as the library wrote it.
  std::string_view raw() const { return {reinterpret_cast<const char*>(data_), size_}; }
  /// Releases it.
  void clear();

 private:
  friend class EnvelopeReader;  // decodes the text where it lies

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

/// Reads envelopes; what it returns stays valid until the next read().
class EnvelopeReader {
 public:
  EnvelopeReader();
  ~EnvelopeReader();

  /// Reads `envelope`, taking it: the text is decoded where it lies, so
  /// that a large answer is never held twice. False when it is not the
  /// expected object.
  bool read(Envelope& envelope);

  bool ok() const { return ok_; }
  std::string_view error() const { return error_; }
  std::string_view text() const { return text_; }
  const Report& report() const { return report_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool ok_ = false;
  std::string_view error_, text_;
  Report report_;
};

}  // namespace tersolite_cli
