#include "json_text.h"

#include <charconv>
#include <cstring>
#include <optional>

#include <simdjson.h>

#include "json_string.h"
#include "tersolite.h"

namespace tersolite_cli {

namespace dom = simdjson::dom;
using simdjson::error_code;

namespace {

// A scalar as text: strings unescaped, numbers in their shortest exact form.
error_code scalar_text(dom::element value, std::string& out) {
  switch (value.type()) {
    case dom::element_type::STRING: out.assign(std::string_view(value)); return simdjson::SUCCESS;
    case dom::element_type::BOOL: out = bool(value) ? "true" : "false"; return simdjson::SUCCESS;
    case dom::element_type::INT64: out = std::to_string(int64_t(value)); return simdjson::SUCCESS;
    case dom::element_type::UINT64: out = std::to_string(uint64_t(value)); return simdjson::SUCCESS;
    case dom::element_type::DOUBLE: {
      char digits[32];
      auto [end, ec] = std::to_chars(digits, digits + sizeof digits, double(value));
      out.assign(digits, end);
      return simdjson::SUCCESS;
    }
    case dom::element_type::NULL_VALUE: out = "null"; return simdjson::SUCCESS;
    default: return simdjson::INCORRECT_TYPE;
  }
}

error_code read_fields(dom::element value, Fields& fields) {
  dom::object object;
  if (error_code e = value.get_object().get(object)) return e;
  for (auto [key, v] : object) {
    std::string text;
    if (error_code e = scalar_text(v, text)) return e;
    fields.add(std::string(key), std::move(text));
  }
  return simdjson::SUCCESS;
}

error_code read_report(dom::element value, Report& report) {
  dom::object object;
  if (error_code e = value.get_object().get(object)) return e;
  for (auto [key, v] : object) {
    if (!v.is_array()) {
      std::string text;
      if (error_code e = scalar_text(v, text)) return e;
      report.scalars.add(std::string(key), std::move(text));
      continue;
    }
    std::vector<Fields> items;
    for (dom::element item : dom::array(v))
      if (error_code e = read_fields(item, items.emplace_back())) return e;
    report.lists.emplace_back(std::string(key), std::move(items));
  }
  return simdjson::SUCCESS;
}

}  // namespace

std::string quote_json(std::string_view text) {
  static const char* kHex = "0123456789abcdef";
  std::string out = "\"";
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string merge_options(const std::string& raw, const std::string& members) {
  if (members.empty()) return raw;
  size_t open = raw.find_first_not_of(" \t\r\n");
  size_t close = raw.find_last_not_of(" \t\r\n");
  if (open == std::string::npos || raw[open] != '{' || raw[close] != '}') return raw;
  std::string inner = raw.substr(open + 1, close - open - 1);
  bool empty = inner.find_first_not_of(" \t\r\n") == std::string::npos;
  return "{" + inner + (empty ? members.substr(1) : members) + "}";
}

bool asks_for_yaml(const std::string& raw) {
  dom::parser parser;
  dom::object object;
  if (parser.parse(raw).get_object().get(object)) return false;
  bool yaml = false;
  for (auto [key, value] : object)  // the last duplicate wins, as in the library
    if (key == "format") yaml = value.is_string() && std::string_view(value) == "yaml";
  return yaml;
}

const std::string& Fields::get(std::string_view name) const {
  static const std::string kMissing = "?";
  for (const auto& [key, text] : members_)
    if (key == name) return text;
  return kMissing;
}

const std::vector<Fields>& Report::list(std::string_view name) const {
  static const std::vector<Fields> kNone;
  for (const auto& [key, items] : lists)
    if (key == name) return items;
  return kNone;
}

Envelope::Envelope(Envelope&& other) noexcept { *this = std::move(other); }

Envelope& Envelope::operator=(Envelope&& other) noexcept {
  if (this != &other) {
    clear();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

Envelope::~Envelope() { clear(); }

void Envelope::clear() {
  tersolite_free(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

Envelope Envelope::shrink(std::string_view input, const std::string& options) {
  Envelope e;
  e.data_ = tersolite_shrink(reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                             reinterpret_cast<const uint8_t*>(options.data()), options.size(), &e.size_);
  return e;
}

Envelope Envelope::copy_of(std::string_view bytes) {
  Envelope e;
  e.data_ = tersolite_alloc(bytes.size());
  e.size_ = bytes.size();
  if (!bytes.empty()) std::memcpy(e.data_, bytes.data(), bytes.size());
  return e;
}

struct EnvelopeReader::State {
  dom::parser parser;
  simdjson::padded_string padded;  // what simdjson reads, which it may read a little past
  Envelope answer;                 // holds the decoded text
};

EnvelopeReader::EnvelopeReader() : state_(std::make_unique<State>()) {}
EnvelopeReader::~EnvelopeReader() = default;

bool EnvelopeReader::read(Envelope& envelope) {
  ok_ = false;
  error_ = text_ = {};
  report_ = {};
  State& s = *state_;
  s.answer = std::move(envelope);
  std::string_view raw = s.answer.raw();
  // An answer's text, which may be as large as the document, is decoded in
  // the library's buffer, and simdjson reads the envelope without it: a
  // padded copy of it all, and simdjson's copy of the text, would each take
  // as much fresh memory again. Anything else is small and read whole.
  constexpr std::string_view kAnswer = "{\"ok\":true,\"text\":\"";
  std::optional<std::string_view> decoded_text;
  if (raw.starts_with(kAnswer)) {
    if (!simdjson::validate_utf8(raw)) return false;
    char* text = reinterpret_cast<char*>(s.answer.data_) + kAnswer.size();
    DecodedString decoded;
    if (!decode_string_in_place(text, raw.size() - kAnswer.size(), decoded)) return false;
    std::string_view rest = raw.substr(kAnswer.size() + decoded.read);
    s.padded = simdjson::padded_string(kAnswer.size() + 1 + rest.size());
    char* copy = s.padded.data();
    std::memcpy(copy, kAnswer.data(), kAnswer.size());
    copy[kAnswer.size()] = '"';
    std::memcpy(copy + kAnswer.size() + 1, rest.data(), rest.size());
    decoded_text = std::string_view(text, decoded.length);
  } else {
    s.padded = simdjson::padded_string(raw);
    s.answer.clear();
  }
  dom::object root;
  if (s.parser.parse(s.padded).get_object().get(root)) return false;
  dom::element ok, error, text, report;
  if (root["ok"].get(ok) || ok.get_bool().get(ok_)) return false;
  if (!ok_) return !root["error"].get(error) && !error.get_string().get(error_);
  if (root["text"].get(text) || text.get_string().get(text_) || root["report"].get(report) ||
      read_report(report, report_))
    return false;
  if (decoded_text) text_ = *decoded_text;
  return true;
}

}  // namespace tersolite_cli
