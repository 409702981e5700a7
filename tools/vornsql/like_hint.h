// A hint for a query whose LIKE pattern uses '*' or '?': Access's own wildcards, which the
// provider takes as plain characters (its wildcards are % and _).
#pragma once

#include <string>

namespace vornsql {

// The first LIKE pattern of the statement (a string literal after the keyword LIKE,
// outside strings, names and comments) that holds '*' or '?', quotes included; empty when
// there is none.
std::string AccessWildcardPattern(const std::string& sql);

}  // namespace vornsql
