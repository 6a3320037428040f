#include "view_page.h"

#include "json_text.h"
#include "view_assets.h"  // kViewScript, kViewStyle: generated from bindings/js/view

namespace tersolite_cli {
namespace {

// Inside a <script> element only "</script" and "<!--" could end or derail
// it; in JSON a '<' can only stand inside a string, where \u003c means the same.
void append_json_data(std::string& page, std::string_view id, std::string_view json) {
  page += "<script type=\"application/json\" id=\"";
  page += id;
  page += "\">";
  size_t start = 0;
  for (size_t i = json.find('<'); i != std::string_view::npos; i = json.find('<', start)) {
    page.append(json.substr(start, i - start));
    page += "\\u003c";
    start = i + 1;
  }
  page.append(json.substr(start));
  page += "</script>\n";
}

void append_html_text(std::string& page, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '<': page += "&lt;"; break;
      case '>': page += "&gt;"; break;
      case '&': page += "&amp;"; break;
      case '"': page += "&quot;"; break;
      default: page += c;
    }
  }
}

constexpr std::string_view kPageStyle = R"css(
html, body { margin: 0; background: #fff; }
)css";

constexpr std::string_view kBoot = R"js(
const data = (id) => document.getElementById(id).textContent;
renderView(document.getElementById('view'), {
  original: data('tsv-original'),
  envelope: data('tsv-envelope'),
  options: data('tsv-options'),
  title: document.title.replace(/^tersolite: /, ''),
});
)js";

}  // namespace

std::string view_page(std::string_view original_json, std::string_view envelope, std::string_view options,
                      std::string_view title) {
  std::string page;
  page.reserve(original_json.size() + envelope.size() + kViewScript.size() + kViewStyle.size() + 4096);
  // The policy forbids every fetch: the page holds all it shows.
  page +=
      "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n<title>tersolite: ";
  append_html_text(page, title);
  page += "</title>\n<style>";
  page += kViewStyle;
  page += kPageStyle;
  page += "</style>\n</head>\n<body>\n<div id=\"view\"></div>\n";
  append_json_data(page, "tsv-original", original_json);
  append_json_data(page, "tsv-envelope", envelope);
  append_json_data(page, "tsv-options", options);
  page += "<script type=\"module\">\n";
  page += kViewScript;
  page += kBoot;
  page += "</script>\n</body>\n</html>\n";
  return page;
}

std::optional<std::string> view_page_for(const Document& doc, const std::string& options) {
  constexpr std::string_view kSuccess = "{\"ok\":true,";
  if (!doc.read_error.empty() || doc.envelope.raw().substr(0, kSuccess.size()) != kSuccess) return std::nullopt;
  // The view reads only JSON, and should see what the library saw: the
  // document is written again as compact JSON, with nothing cut.
  Envelope as_json = Envelope::shrink(
      doc.bytes(), merge_options(options, ",\"max_chars\":18446744073709551615,\"format\":\"json\",\"indent\":0"));
  EnvelopeReader reader;
  if (!reader.read(as_json) || !reader.ok()) return std::nullopt;
  return view_page(reader.text(), doc.envelope.raw(), options, doc.name == "<stdin>" ? "standard input" : doc.name);
}

}  // namespace tersolite_cli
