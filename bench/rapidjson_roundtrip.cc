// The reference point for bench/compare.sh: RapidJSON parsing a file with
// UTF-8 validation and full-precision numbers, then writing it compactly.
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
