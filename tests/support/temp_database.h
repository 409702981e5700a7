// Temporary folders and SQLite database files for tests that run on the real provider.
#pragma once

#include <string>

namespace vorn::test {

// A folder made under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Runs SQL on a database file through the SQLite C API (creating the file if needed);
// fails the current test with SQLite's message when a statement fails.
void RunSql(const std::string& file, const std::string& sql);

// The first column of the first row of a query, as text ("" for none or NULL).
std::string QueryText(const std::string& file, const std::string& sql);

// "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=<file>;" as a wide string.
std::wstring ConnectionString(const std::string& file);

}  // namespace vorn::test
