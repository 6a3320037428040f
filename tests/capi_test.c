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
  if (!ok) {
    fprintf(stderr, "unexpected answer\n");
    return 1;
  }
  /* The header's macros name the library it came with. */
  char header[32];
  snprintf(header, sizeof header, "%d.%d.%d", TERSOLITE_VERSION_MAJOR, TERSOLITE_VERSION_MINOR,
           TERSOLITE_VERSION_PATCH);
  if (strcmp(tersolite_version(), header) != 0) {
    fprintf(stderr, "header %s, library %s\n", header, tersolite_version());
    return 1;
  }
  return 0;
}
