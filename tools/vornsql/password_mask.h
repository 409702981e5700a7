// Passwords kept out of everything vornsql prints: the values of password keys in
// connection strings ("Password=***"), and the passwords given with --connect wherever a
// message repeats them.
#pragma once

#include <string>

namespace vornsql {

// Remembers the passwords of a connection string, so that MaskPasswords hides them even
// where a message quotes them outside a key=value pair.
void RememberPasswords(const std::string& connectionString);

// text with the value of every password key (Password, Pwd, Jet OLEDB:Database Password
// ...: any key whose name holds "password", or is "pwd") written as ***, and every
// remembered password too.
std::string MaskPasswords(const std::string& text);

}  // namespace vornsql
