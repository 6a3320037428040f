// The text of --help, which the man page is made from.
#include <string>

#include "flags.h"
#include "settings.h"

namespace tersolite_cli {

namespace {

constexpr const char* kIntro = R"(Usage: tersolite [OPTION]... [FILE]...
Shrink JSON or YAML documents to a budget of characters, saying in place
what was cut.

Each FILE is one document (standard input when there is none, or for "-"),
shrunk on its own with the same options. Answers are written to standard output
in argument order, each followed by a line feed. Several documents are shrunk
in parallel, one per core.

Examples:
  tersolite -m 2000 response.json             a file, to 2,000 characters
  some-command | tersolite -c -m 1500         a pipe, compact JSON out
  tersolite -l -m 2000 -o small.jsonl big.jsonl
                                              JSON Lines: one answer per line
  tersolite --strategy condense --query "open bugs" -m 1200 issues.json
                                              every record, its best fields
  tersolite --format yaml -m 800 config.json  YAML out

Options:
)";

constexpr const char* kOutro = R"(
Markers in the output:
  "text…[+120 chars]"            the rest of a string, 120 characters, was cut
  "text…[+3 lines, 80 chars]"    ... 3 more lines (or sections) were cut
  "…[37 items omitted]"          37 items of an array are missing here
  "…": "12 keys omitted"         12 members of an object are missing

Exit status:
  0  success
  1  a document or the options were rejected: "tersolite: <message>"
  2  usage or I/O error: "tersolite: <message>", e.g. "cannot read FILE: <reason>"
  3  with --strict: an answer does not fit its budget
When several apply, the first of 2, 1, 3 wins. Messages about one of several
documents name it first, "tersolite: FILE: <message>" (with --lines
"tersolite: FILE:LINE: <message>"), and the run goes on; with --envelope, a
line's error envelope takes its line. Without --strict, an answer that does not
fit is printed all the same, and standard error says so in one line. When the
reader of standard output goes away (| head), the run ends quietly.
)";

std::string flag_line(const Flag& f) {
  std::string names = f.short_name ? std::string("  -") + f.short_name + ", " : std::string("      ");
  names += std::string("--") + f.long_name;
  if (f.value_name) names += std::string(" ") + f.value_name;
  constexpr size_t kColumn = 30;
  names += names.size() + 2 <= kColumn ? std::string(kColumn - names.size(), ' ') : "\n" + std::string(kColumn, ' ');
  return names + f.help + "\n";
}

}  // namespace

std::string help_text() {
  std::string text = kIntro;
  for (const Flag& f : flags()) text += flag_line(f);
  return text + kOutro;
}

}  // namespace tersolite_cli
