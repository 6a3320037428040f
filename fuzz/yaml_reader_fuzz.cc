// The YAML reader on any valid UTF-8: a value or a message, and what it
// reads survives the YAML writer and reader unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "invariants.h"
#include "json/json_writer.h"
#include "value/utf8.h"
#include "yaml/yaml_reader.h"
#include "yaml/yaml_writer.h"

namespace {

// YAML merges duplicate keys and reads -0 as 0, so the round trip compares
// only values without them.
bool round_trippable(const tersolite::Value& v) {
  using tersolite::Kind;
  if (v.is_number()) return v.text() != "-0";
  if (v.is_array()) {
    for (const auto& item : v.items()) {
      if (!round_trippable(item)) return false;
    }
  }
  if (v.is_object()) {
    for (size_t i = 0; i < v.members().size(); ++i) {
      for (size_t j = 0; j < i; ++j) {
        if (v.members()[i].key.view() == v.members()[j].key.view()) return false;
      }
      if (!round_trippable(v.members()[i].value)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tersolite;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!is_valid_utf8(text)) return 0;
  auto v = yaml::read_yaml(text);
  {
    // Read into an arena, as a request reads, the same tree or the same error.
    Arena arena;
    auto in_arena = yaml::read_yaml(text, &arena);
    fuzz::check(in_arena.has_value() == v.has_value(), "arena read disagrees on success", text);
    if (v)
      fuzz::check(*in_arena == *v, "arena read gives another tree", text);
    else
      fuzz::check(in_arena.error() == v.error(), "arena read gives another error", text);
  }
  if (!v) return 0;
  std::string out = yaml::write_yaml(*v, 2);
  auto back = yaml::read_yaml(out);
  fuzz::check(back.has_value(), "written YAML does not read back", out);
  if (round_trippable(*v)) fuzz::check(*back == *v, "written YAML reads back differently", out);
  return 0;
}
