// The document tree shared by every stage.
//
// A Value is a plain owned tree: no parent links, no sharing. It keeps two
// things most document models throw away: the literal text of every number
// and the order and multiplicity of object members. Copies are explicit
// (clone()); moving is cheap.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tersolite {

/// The six kinds, in their fixed order (the index is part of the format).
enum class Kind : uint8_t { kNull = 0, kBool, kNumber, kString, kArray, kObject };

/// "null", "bool", "number", "string", "array" or "object".
std::string_view kind_name(Kind kind);

struct Member;

class Value {
 public:
  using Array = std::vector<Value>;
  using Object = std::vector<Member>;

  /// A null value.
  Value() = default;
  Value(Value&&) noexcept;
  Value& operator=(Value&&) noexcept;
  // Deep copies are explicit: see clone().
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value();

  static Value boolean(bool b);
  /// REQUIRES: `text` is a valid JSON number literal.
  static Value number(std::string text);
  static Value string(std::string text);
  static Value array();
  static Value array(Array items);
  static Value object();
  static Value object(Object members);

  Kind kind() const { return static_cast<Kind>(payload_.index()); }
  bool is_null() const { return kind() == Kind::kNull; }
  bool is_bool() const { return kind() == Kind::kBool; }
  bool is_number() const { return kind() == Kind::kNumber; }
  bool is_string() const { return kind() == Kind::kString; }
  bool is_array() const { return kind() == Kind::kArray; }
  bool is_object() const { return kind() == Kind::kObject; }
  bool is_scalar() const { return kind() < Kind::kArray; }

  /// REQUIRES: is_bool().
  bool as_bool() const { return std::get<1>(payload_); }
  /// The literal of a number or the text of a string.
  /// REQUIRES: is_number() or is_string().
  const std::string& text() const {
    return is_number() ? std::get<2>(payload_) : std::get<3>(payload_);
  }
  /// REQUIRES: is_array().
  const Array& items() const { return std::get<4>(payload_); }
  Array& items() { return std::get<4>(payload_); }
  /// REQUIRES: is_object().
  const Object& members() const { return std::get<5>(payload_); }
  Object& members() { return std::get<5>(payload_); }

  /// Items of an array or members of an object; 0 for scalars.
  size_t size() const;
  /// True for "", [] and {} (and only those).
  bool is_empty_container_or_string() const;

  /// REQUIRES: is_array().
  void push_back(Value item);
  /// REQUIRES: is_object(). Duplicates are appended like any other key.
  void add_member(std::string key, Value value);

  /// A deep copy of the whole subtree.
  Value clone() const;

  /// Structural equality: same kinds, texts byte for byte, same order.
  friend bool operator==(const Value& a, const Value& b);

 private:
  using Payload = std::variant<std::monostate, bool, std::string, std::string, Array, Object>;
  explicit Value(Payload payload);

  Payload payload_;
};

struct Member {
  std::string key;
  Value value;
};

// Defined here, where Member is complete.
inline Value::Value(Payload payload) : payload_(std::move(payload)) {}
inline Value::Value(Value&&) noexcept = default;
inline Value& Value::operator=(Value&&) noexcept = default;
inline Value::~Value() = default;
inline Value Value::boolean(bool b) { return Value(Payload(std::in_place_index<1>, b)); }
inline Value Value::number(std::string text) {
  return Value(Payload(std::in_place_index<2>, std::move(text)));
}
inline Value Value::string(std::string text) {
  return Value(Payload(std::in_place_index<3>, std::move(text)));
}
inline Value Value::array() { return Value(Payload(std::in_place_index<4>)); }
inline Value Value::object() { return Value(Payload(std::in_place_index<5>)); }
inline Value Value::array(Array items) { return Value(Payload(std::in_place_index<4>, std::move(items))); }
inline Value Value::object(Object members) {
  return Value(Payload(std::in_place_index<5>, std::move(members)));
}

}  // namespace tersolite
