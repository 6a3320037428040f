// The reference point for bench/compare.sh: RapidJSON parsing a file with
// UTF-8 validation and full-precision numbers, then writing it compactly.
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  // Mapped the way the tersolite CLI maps its file, so that only parsing
  // and writing differ.
  int fd = open(argv[1], O_RDONLY);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || st.st_size <= 0) return 2;
  auto size = static_cast<size_t>(st.st_size);
  void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  close(fd);
  if (p == MAP_FAILED) return 2;
  const char* text = static_cast<const char*>(p);
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag>(text, size);
  if (doc.HasParseError()) {
    std::fprintf(stderr, "%s\n", rapidjson::GetParseError_En(doc.GetParseError()));
    return 1;
  }
  rapidjson::StringBuffer out;
  rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, rapidjson::CrtAllocator,
                    rapidjson::kWriteValidateEncodingFlag>
      writer(out);
  doc.Accept(writer);
  std::fwrite(out.GetString(), 1, out.GetSize(), stdout);
  return 0;
}
