/* The public header used from plain C. */
#include <stdio.h>
#include <string.h>

#include "tersolite.h"

int main(void) {
  const char* input = "[1, 2, 3]";
  const char* options = "{\"indent\": 0}";
  size_t len = 0;
  uint8_t* out = tersolite_shrink((const uint8_t*)input, strlen(input), (const uint8_t*)options,
                                  strlen(options), &len);
  const char* prefix = "{\"ok\":true,\"text\":\"[1,2,3]\",";
  int ok = out != NULL && len > strlen(prefix) && memcmp(out, prefix, strlen(prefix)) == 0;
  tersolite_free(out, len);
  if (!ok || strcmp(tersolite_version(), "0.2.1") != 0) {
    fprintf(stderr, "unexpected answer\n");
    return 1;
  }
  return 0;
}
