// Runs Jet (Access) SQL on a SQLite database file through the provider's Jet dialect
// translator, the way the provider runs a host's DDL: for tests that need tables made
// with Jet DDL (COUNTER(seed, step), TEXT(n), YESNO ...) before a connection opens them.
#pragma once

#include <string>

namespace vorn::test {

// Translates and runs each statement (creating the file if needed); fails the current
// test with the translator's or SQLite's message when a statement fails.
void RunJetSql(const std::string& file, const std::wstring& statement);

}  // namespace vorn::test
