// The reference point for bench/compare.sh: RapidJSON parsing a file with
// UTF-8 validation and full-precision numbers, then writing it compactly.
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  // Read the way the tersolite CLI does, so that only parsing and writing differ.
  FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr) return 2;
  std::string text;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0) text.reserve(static_cast<size_t>(size));
    std::rewind(f);
  }
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag>(text.c_str(), text.size());
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
