// docgen SHAPE MEGABYTES FILE: writes a generated JSON document.
#include <cstdio>
#include <cstdlib>

#include "docgen.h"

int main(int argc, char** argv) {
  using tersolite::bench::Shape;
  Shape shape{};
  if (argc != 4 || !tersolite::bench::shape_named(argv[1], shape)) {
    std::fprintf(stderr, "usage: docgen issues|logs|catalog|wide|strings|ints|geo MEGABYTES FILE\n");
    return 2;
  }
  std::string doc = tersolite::bench::generate(shape, static_cast<size_t>(std::atof(argv[2]) * 1e6));
  FILE* f = std::fopen(argv[3], "wb");
  if (!f || std::fwrite(doc.data(), 1, doc.size(), f) != doc.size()) return 1;
  std::fclose(f);
  return 0;
}
