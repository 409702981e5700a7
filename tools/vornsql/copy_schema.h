// What vornsql copy reads of a source table: its columns (type, size, nullability,
// identity seed and increment) and its indexes (primary key, uniqueness, columns in order,
// descending ones), through the library's schema readers.
#pragma once

#include <string>
#include <vector>

#include <vornoledb/connection.h>

namespace vornsql {

struct CopyColumn {
    std::wstring name;
    unsigned short type = 0;  // DBTYPE
    unsigned long maxLength = 0;
    unsigned long precision = 0;
    unsigned long scale = 0;
    bool isLong = false;
    bool nullable = true;
    bool identity = false;
    int seed = 1;
    int increment = 1;
    std::wstring defaultText;  // the source's default, as its COLUMNS rowset gives it
};

struct CopyIndexColumn {
    std::wstring name;
    bool descending = false;
};

struct CopyIndex {
    std::wstring name;
    bool primaryKey = false;
    bool unique = false;
    std::vector<CopyIndexColumn> columns;  // in the index's order
};

struct CopyTable {
    std::wstring name;    // as the source names it
    std::wstring target;  // as the target will: a text file's table loses its "#csv"
    std::vector<CopyColumn> columns;
    std::vector<CopyIndex> indexes;
};

// The user tables of the source (no views, no system tables), in the order listed.
bool ReadTableNames(VornOleDbConnection& source, std::vector<std::wstring>* names,
                    std::string* error);

// Columns and indexes of one table; false with *error on failure.
bool ReadTable(VornOleDbConnection& source, const std::wstring& name, CopyTable* table,
               std::string* error);

}  // namespace vornsql
