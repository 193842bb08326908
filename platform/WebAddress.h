// Web addresses as names of models: their scheme and the path that gives their type.
#pragma once

#include <string>

namespace platform::address {

// The scheme of an address, lower-cased ("http" of "HTTP://host/a.stl"), or empty when the
// name has none. A drive letter ("C:/") is no scheme.
std::string schemeOf(const std::string& name);

// Where the path of an address starts (after "scheme://" and the host) and where it ends (at
// its query, its fragment or the end); for a name without a scheme, 0 and its length: a local
// file may well be named "a?b.stl".
size_t pathStart(const std::string& name);
size_t pathEnd(const std::string& name);

}  // namespace platform::address
