#include "value/value.h"

namespace tersolite {

std::string_view kind_name(Kind kind) {
  switch (kind) {
    case Kind::kNull: return "null";
    case Kind::kBool: return "bool";
    case Kind::kNumber: return "number";
    case Kind::kString: return "string";
    case Kind::kArray: return "array";
    case Kind::kObject: return "object";
  }
  return "null";
}

size_t Value::size() const {
  if (is_array()) return items().size();
  if (is_object()) return members().size();
  return 0;
}

bool Value::is_empty_container_or_string() const {
  switch (kind()) {
    case Kind::kString: return text().empty();
    case Kind::kArray: return items().empty();
    case Kind::kObject: return members().empty();
    default: return false;
  }
}

void Value::push_back(Value item) { items().push_back(std::move(item)); }

void Value::add_member(std::string key, Value value) {
  members().push_back(Member{std::move(key), std::move(value)});
}

Value Value::clone() const {
  switch (kind()) {
    case Kind::kNull: return Value();
    case Kind::kBool: return boolean(as_bool());
    case Kind::kNumber: return number(text());
    case Kind::kString: return string(text());
    case Kind::kArray: {
      Array copy;
      copy.reserve(items().size());
      for (const Value& item : items()) copy.push_back(item.clone());
      return array(std::move(copy));
    }
    case Kind::kObject: {
      Object copy;
      copy.reserve(members().size());
      for (const Member& m : members()) copy.push_back(Member{m.key, m.value.clone()});
      return object(std::move(copy));
    }
  }
  return Value();
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Kind::kNull: return true;
    case Kind::kBool: return a.as_bool() == b.as_bool();
    case Kind::kNumber:
    case Kind::kString: return a.text() == b.text();
    case Kind::kArray: return a.items() == b.items();
    case Kind::kObject: {
      const auto& x = a.members();
      const auto& y = b.members();
      if (x.size() != y.size()) return false;
      for (size_t i = 0; i < x.size(); ++i) {
        if (x[i].key != y[i].key || !(x[i].value == y[i].value)) return false;
      }
      return true;
    }
  }
  return false;
}

}  // namespace tersolite
