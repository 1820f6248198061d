// Wildcard matching of names, as the directory search uses it where the
// operating system does not match for us.
#pragma once

#include <string_view>

namespace platform {

// Whether `name` matches `pattern`, where "*" stands for any run of
// characters (also none) and "?" for exactly one; every other character
// matches itself without regard to ASCII case. Runs in O(|pattern|·|name|)
// at worst and needs no memory, whatever the pattern.
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace platform
