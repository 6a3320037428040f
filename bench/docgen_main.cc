// docgen SHAPE MEGABYTES FILE: writes a generated JSON document.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "docgen.h"

int main(int argc, char** argv) {
  using tersolite::bench::Shape;
  if (argc != 4) {
    std::fprintf(stderr, "usage: docgen issues|logs|catalog|wide MEGABYTES FILE\n");
    return 2;
  }
  std::string name = argv[1];
  Shape shape = name == "logs" ? Shape::kLogs : name == "catalog" ? Shape::kCatalog : name == "wide" ? Shape::kWide : Shape::kIssues;
  std::string doc = tersolite::bench::generate(shape, static_cast<size_t>(std::atof(argv[2]) * 1e6));
  FILE* f = std::fopen(argv[3], "wb");
  if (!f || std::fwrite(doc.data(), 1, doc.size(), f) != doc.size()) return 1;
  std::fclose(f);
  return 0;
}
