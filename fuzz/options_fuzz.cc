// The options reader: any options text gives an envelope, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "invariants.h"
#include "lib/pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tersolite;
  std::string options(reinterpret_cast<const char*>(data), size);
  std::string env = run_request(R"({"a":[1,2,3],"b":"some text that is long enough to cut"})", options);
  Value v = fuzz::check_envelope(env);
  if (v.members()[0].value.as_bool())
    fuzz::check(env == run_request(R"({"a":[1,2,3],"b":"some text that is long enough to cut"})", options),
                "not deterministic");
  return 0;
}
