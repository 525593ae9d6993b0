#pragma once
// The kinds of file kind: names, each a family of extensions.

#include <string>
#include <vector>

namespace qv::service {

// The extensions (lower case, no dot) of a kind ("document", "picture", ...),
// matched without regard to case; false for a name that is not a kind.
bool KindExtensions(const std::wstring& kind, std::vector<std::wstring>* extensions);

// The kind names, in the order they are listed to users.
std::vector<std::wstring> KindNames();

}  // namespace qv::service
