// Jet SQL run as a host runs it: VornOleDbCommand on a connection to a new database file,
// each result read whole as column names, OLE DB types and FieldAsString texts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_database.h"
#include "vornoledb/vornoledb.h"

namespace vorn::test {

struct HostResult {
    bool ok = false;
    std::wstring error;  // the command's error text when !ok
    long rowsAffected = -1;
    std::vector<std::wstring> names;
    std::vector<unsigned short> types;            // DBTYPE of each column
    std::vector<std::vector<std::wstring>> rows;  // "NULL" for a Null field
};

class HostDatabase {
  public:
    explicit HostDatabase(const std::string& name = "host.db") {
        file_ = folder_.File(name);
        RunSql(file_, "PRAGMA user_version = 1;");  // an empty database file
        EXPECT_EQ(S_OK, connection_.OpenFromInitializationString(ConnectionString(file_), false))
            << WideToUtf8(connection_.GetErrorText());
    }

    const std::string& File() const { return file_; }
    VornOleDbConnection& Connection() { return connection_; }

    HostResult Run(const std::wstring& sql) {
        VornOleDbCommand command;
        command.SetConnection(&connection_);
        command.SetCommandText(sql.c_str());
        HostResult r;
        if (command.Execute() != VornOleDbCommand::dbOK) {
            r.error = command.GetErrorText();
            return r;
        }
        r.ok = true;
        r.rowsAffected = command.GetRowsAffected();
        for (unsigned long c = 1; c <= command.GetColumnCount(); ++c) {
            r.names.push_back(command.GetColumnName(c));
            r.types.push_back(command.GetRawType(c));
        }
        while (command.HasResults() && command.FetchNext() == VornOleDbCommand::dbOK) {
            std::vector<std::wstring> row;
            for (unsigned long c = 1; c <= command.GetColumnCount(); ++c)
                row.push_back(command.IsNull(c) == VornOleDbCommand::dbOK
                                  ? L"NULL"
                                  : command.FieldAsString(c));
            r.rows.push_back(std::move(row));
        }
        command.Close();
        return r;
    }

    // Runs statements that must succeed.
    void Exec(std::initializer_list<const wchar_t*> statements) {
        for (const wchar_t* s : statements) {
            const HostResult r = Run(s);
            EXPECT_TRUE(r.ok) << WideToUtf8(s) << ": " << WideToUtf8(r.error);
        }
    }

    // Each statement fails with an error whose text holds the words given for it.
    struct Refusal {
        const wchar_t* sql;
        const wchar_t* words;
    };
    void ExpectRefused(std::initializer_list<Refusal> cases) {
        for (const Refusal& c : cases) {
            const HostResult r = Run(c.sql);
            EXPECT_FALSE(r.ok) << WideToUtf8(c.sql);
            EXPECT_NE(r.error.find(c.words), std::wstring::npos)
                << WideToUtf8(c.sql) << ": " << WideToUtf8(r.error);
        }
    }

  private:
    TempFolder folder_;
    std::string file_;
    VornOleDbConnection connection_;
};

}  // namespace vorn::test
