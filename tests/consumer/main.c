/* Shrinks a small API response through an installed tersolite. */
#include <stdio.h>
#include <string.h>

#include <tersolite.h>

int main(void) {
  const char* doc = "[{\"id\":1,\"title\":\"Crash on export\",\"body\":\"The export page shows a blank screen "
                    "when the date range is empty; the console logs a TypeError.\"},"
                    "{\"id\":2,\"title\":\"Search ignores filters\",\"body\":\"Archived items show up.\"}]";
  const char* opts = "{\"max_chars\":120,\"indent\":0}";
  size_t len = 0;
  uint8_t* env = tersolite_shrink((const uint8_t*)doc, strlen(doc), (const uint8_t*)opts, strlen(opts), &len);
  int ok = len > 11 && memcmp(env, "{\"ok\":true,", 11) == 0 && strstr((const char*)env, "\"fits\":true") != NULL;
  fwrite(env, 1, len, stdout);
  putchar('\n');
  tersolite_free(env, len);
  char header[32];
  snprintf(header, sizeof header, "%d.%d.%d", TERSOLITE_VERSION_MAJOR, TERSOLITE_VERSION_MINOR,
           TERSOLITE_VERSION_PATCH);
  return ok && strcmp(header, tersolite_version()) == 0 ? 0 : 1;
}
