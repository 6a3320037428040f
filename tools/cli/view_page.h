// The page written by `tersolite --view FILE.html`: the original beside the
// answer, with what was cut marked and tied to its markers. One file, with
// the view's script and styles built in, so it opens anywhere and reaches
// for nothing on the network.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "source.h"

namespace tersolite_cli {

/// The whole HTML page. `original_json` is the document as the library
/// reads it, written as JSON; `envelope` is the library's success envelope;
/// `options` the options object sent with the request; `title` names the
/// document in the page's title.
std::string view_page(std::string_view original_json, std::string_view envelope, std::string_view options,
                      std::string_view title);

/// The page for a shrunk document, read again as JSON with `options`;
/// nothing when it was not read or was rejected.
/// REQUIRES: `doc`'s bytes and envelope are still there (before printing).
std::optional<std::string> view_page_for(const Document& doc, const std::string& options);

}  // namespace tersolite_cli
