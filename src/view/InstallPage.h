#pragma once
// The install page that a view shows when the desktop search service cannot be
// reached. It ships inside the module as an HTML resource, so it needs no
// network; its plain text stands in where no web browser control can be made.

#include <string>

namespace qv {

// The page's res:// address inside the module file.
std::string InstallPageAddress();
// The page's text without markup, lines ended by CR LF; empty when the module
// lacks the page.
std::string InstallPageText();
// The text of an HTML page without tags, head or scripts: block ends become line
// breaks, list items start with a dash, runs of white space become one space and
// the basic character entities are decoded.
std::string HtmlToPlainText(const std::string& html);

}  // namespace qv
