#include "json_text.h"

#include <charconv>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "tersolite.h"

namespace tersolite_cli {

namespace {

// RapidJSON's in-place reading over a buffer with an end: past the end it
// reads the NUL that ends a text, so a cut-short envelope is an error and
// never a read beyond its buffer.
class BoundedInsituStream {
 public:
  using Ch = char;
  BoundedInsituStream(char* begin, size_t size) : head_(begin), src_(begin), end_(begin + size) {}
  Ch Peek() const { return src_ < end_ ? *src_ : '\0'; }
  Ch Take() { return src_ < end_ ? *src_++ : '\0'; }
  size_t Tell() const { return static_cast<size_t>(src_ - head_); }
  Ch* PutBegin() { return dst_ = src_; }
  void Put(Ch c) { *dst_++ = c; }
  void Flush() {}
  size_t PutEnd(Ch* begin) { return static_cast<size_t>(dst_ - begin); }

 private:
  char* head_;
  char* src_;
  char* end_;
  char* dst_ = nullptr;
};

// Numbers are read as numbers: RapidJSON 1.1's in-place reading points a
// number read as text at its end rather than its start.
constexpr unsigned kEnvelopeFlags = rapidjson::kParseInsituFlag | rapidjson::kParseStopWhenDoneFlag;

}  // namespace

std::string quote_json(std::string_view text) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  return {buffer.GetString(), buffer.GetSize()};
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
  rapidjson::Document doc;
  doc.Parse(raw.data(), raw.size());
  if (doc.HasParseError() || !doc.IsObject()) return false;
  bool yaml = false;
  for (const auto& m : doc.GetObject())  // the last duplicate wins, as in the library
    if (m.name == "format") yaml = m.value.IsString() && std::string_view(m.value.GetString()) == "yaml";
  return yaml;
}

Envelope::Envelope(Envelope&& other) noexcept { *this = std::move(other); }

Envelope& Envelope::operator=(Envelope&& other) noexcept {
  if (this != &other) {
    tersolite_free(data_, size_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    doc_ = std::move(other.doc_);
  }
  return *this;
}

Envelope::~Envelope() { tersolite_free(data_, size_); }

Envelope Envelope::shrink(std::string_view input, const std::string& options) {
  Envelope e;
  e.data_ = tersolite_shrink(reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                             reinterpret_cast<const uint8_t*>(options.data()), options.size(), &e.size_);
  return e;
}

bool Envelope::parse() {
  doc_ = std::make_unique<rapidjson::Document>();
  BoundedInsituStream stream(reinterpret_cast<char*>(data_), size_);
  doc_->ParseStream<kEnvelopeFlags>(stream);
  if (doc_->HasParseError() || !doc_->IsObject() || !doc_->HasMember("ok") || !(*doc_)["ok"].IsBool()) return false;
  if (!ok()) return doc_->HasMember("error") && (*doc_)["error"].IsString();
  return doc_->HasMember("text") && (*doc_)["text"].IsString() && doc_->HasMember("report") &&
         (*doc_)["report"].IsObject();
}

bool Envelope::ok() const { return (*doc_)["ok"].GetBool(); }

std::string Envelope::member_text(const rapidjson::Value& object, const char* key) {
  auto it = object.FindMember(key);
  if (it == object.MemberEnd()) return "?";
  const rapidjson::Value& v = it->value;
  if (v.IsString()) return {v.GetString(), v.GetStringLength()};
  if (v.IsBool()) return v.GetBool() ? "true" : "false";
  if (v.IsUint64()) return std::to_string(v.GetUint64());
  if (v.IsInt64()) return std::to_string(v.GetInt64());
  if (!v.IsNumber()) return "?";
  char digits[32];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, v.GetDouble());  // shortest exact form
  return std::string(digits, end);
}

}  // namespace tersolite_cli
