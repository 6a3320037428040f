#include "json_text.h"

#include <charconv>

#include <simdjson.h>

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

struct EnvelopeReader::State {
  dom::parser parser;
  simdjson::padded_string padded;
};

EnvelopeReader::EnvelopeReader() : state_(std::make_unique<State>()) {}
EnvelopeReader::~EnvelopeReader() = default;

bool EnvelopeReader::read(Envelope& envelope) {
  ok_ = false;
  error_ = text_ = {};
  report_ = {};
  // simdjson reads a little past the end of a text, so it reads a padded
  // copy; the original goes at once, so a large answer is held twice at most.
  state_->padded = simdjson::padded_string(envelope.raw());
  envelope.clear();
  dom::object root;
  if (state_->parser.parse(state_->padded).get_object().get(root)) return false;
  dom::element ok, error, text, report;
  if (root["ok"].get(ok) || ok.get_bool().get(ok_)) return false;
  if (!ok_) return !root["error"].get(error) && !error.get_string().get(error_);
  return !root["text"].get(text) && !text.get_string().get(text_) && !root["report"].get(report) &&
         !read_report(report, report_);
}

}  // namespace tersolite_cli
