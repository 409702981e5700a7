// vornsql copy SOURCE TARGET.
#include <sys/stat.h>

#include <cstdio>
#include <cwctype>

#include <vornoledb/command.h>
#include <vornoledb/connection.h>
#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "commands.h"
#include "copy_schema.h"
#include "copy_sql.h"
#include "messages.h"
#include "password_mask.h"
#include "progress.h"
#include "result_values.h"
#include "source.h"

namespace vornsql {
namespace {

// Rows sent in one INSERT: a statement per row costs a round trip to a server, and a
// translation and preparation each in a database file.
constexpr size_t kRowsPerInsert = 500;

bool IsConnectionString(const std::string& text) {
    return text.find('=') != std::string::npos && text.find(';') != std::string::npos;
}

bool NamesProvider(const std::wstring& init, const std::wstring& provider) {
    std::wstring lower;
    for (wchar_t c : init)
        if (c != L' ')
            lower += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return lower.find(L"provider=" + provider + L";") != std::wstring::npos ||
           lower.find(L"provider=" + provider + L".1;") != std::wstring::npos ||
           lower.find(L"provider=\"" + provider) != std::wstring::npos;
}

Dialect DialectOf(const std::wstring& init) {
    return NamesProvider(init, L"postgresql") ? Dialect::PostgreSQL : Dialect::Jet;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Runs one statement on the connection; reports a failure naming what was done.
bool Run(VornOleDbConnection& connection, const std::wstring& sql, const std::string& what) {
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(sql.c_str());
    if (command.Execute() == VornOleDbCommand::dbOK)
        return true;
    ReportFailure(what, command, E_FAIL, WideToUtf8(sql));
    return false;
}

// COUNT(*) of a table (its name as the connection's SQL writes it), or -1 with the failure
// reported.
long long CountRows(VornOleDbConnection& connection, const std::wstring& quotedName,
                    const std::wstring& table, const std::string& where) {
    VornOleDbCommand command;
    command.SetConnection(&connection);
    const std::wstring sql = L"SELECT COUNT(*) FROM " + quotedName;
    command.SetCommandText(sql.c_str());
    if (command.Execute() != VornOleDbCommand::dbOK ||
        command.FetchNext() != VornOleDbCommand::dbOK) {
        ReportFailure("could not count the rows of '" + WideToUtf8(table) + "' in " + where,
                      command, E_FAIL);
        return -1;
    }
    return std::wcstoll(command.FieldAsString(1).c_str(), nullptr, 10);
}

class Copier {
  public:
    Copier(const Options& options, VornOleDbConnection& source, Dialect sourceDialect,
           VornOleDbConnection& target, Dialect targetDialect)
        : options_(options),
          source_(source),
          sourceDialect_(sourceDialect),
          target_(target),
          dialect_(targetDialect) {}

    // Copies one table in one transaction of the target; false after reporting.
    bool CopyOne(const CopyTable& table, unsigned long long* copied);

  private:
    bool CopyRows(const CopyTable& table, long long expected, unsigned long long* copied);
    bool Flush(const CopyTable& table, std::wstring* pending, size_t* pendingRows);

    const Options& options_;
    VornOleDbConnection& source_;
    Dialect sourceDialect_;
    VornOleDbConnection& target_;
    Dialect dialect_;
};

bool Copier::Flush(const CopyTable& table, std::wstring* pending, size_t* pendingRows) {
    if (*pendingRows == 0)
        return true;
    const bool ok = Run(target_, *pending,
                        "could not write rows of '" + WideToUtf8(table.name) + "' to the target");
    pending->clear();
    *pendingRows = 0;
    return ok;
}

bool Copier::CopyRows(const CopyTable& table, long long expected, unsigned long long* copied) {
    VornOleDbCommand read;
    read.SetConnection(&source_);
    read.SetBlobHandling(DBBLOBHANDLING_NOSTREAMS);
    const std::wstring select = SelectAllSql(sourceDialect_, table.name);
    read.SetCommandText(select.c_str());
    if (read.Execute() != VornOleDbCommand::dbOK) {
        ReportFailure("could not read the rows of '" + WideToUtf8(table.name) + "'", read, E_FAIL);
        return false;
    }
    const unsigned long count = read.GetColumnCount();
    if (count != table.columns.size()) {
        ReportError("the rows of '" + WideToUtf8(table.name) + "' have " + std::to_string(count) +
                    " columns where the table lists " + std::to_string(table.columns.size()));
        return false;
    }
    std::wstring head = L"INSERT INTO " + TargetName(dialect_, table.target) + L" (";
    for (size_t i = 0; i < table.columns.size(); ++i)
        head += (i ? L", " : L"") + TargetName(dialect_, table.columns[i].name);
    head += L") VALUES ";

    RowProgress progress(!options_.quiet && ProgressWanted(), "copying " + WideToUtf8(table.name),
                         expected > 0 ? static_cast<unsigned long long>(expected) : 0);
    std::wstring pending;
    size_t pendingRows = 0;
    unsigned long long rows = 0;
    std::wstring literal;
    const std::vector<Column> described = DescribeColumns(read);
    std::vector<Cell> cells;
    for (;;) {
        const VornOleDbCommand::dbStatus moved = read.FetchNext();
        if (moved != VornOleDbCommand::dbOK) {
            // The end of the rows, or a failure: a failing move records why.
            if (read.HasErrorInfo()) {
                ReportFailure("could not read row " + std::to_string(rows + 1) + " of '" +
                                  WideToUtf8(table.name) + "'",
                              read, E_FAIL);
                return false;
            }
            break;
        }
        ReadRow(read, described, true, &cells);
        pending += pendingRows ? L", (" : head + L"(";
        for (unsigned long i = 0; i < count; ++i) {
            const CopyColumn& column = table.columns[i];
            std::string why;
            if (!ValueLiteral(dialect_, column, cells[i], &literal, &why)) {
                ReportError("row " + std::to_string(rows + 1) + " of '" + WideToUtf8(table.name) +
                            "', column '" + WideToUtf8(column.name) + "': " + why);
                return false;
            }
            if (i)
                pending += L", ";
            pending += literal;
        }
        pending += L")";
        ++rows;
        progress.Tick(rows);
        if (++pendingRows >= kRowsPerInsert && !Flush(table, &pending, &pendingRows))
            return false;
    }
    if (!Flush(table, &pending, &pendingRows))
        return false;
    progress.Done(rows);
    *copied = rows;
    return true;
}

bool Copier::CopyOne(const CopyTable& table, unsigned long long* copied) {
    const std::string name = WideToUtf8(table.name);
    const long long expected =
        CountRows(source_, SourceName(sourceDialect_, table.name), table.name, "the source");
    if (expected < 0)
        return false;
    if (!target_.StartTransaction()) {
        ReportFailure("could not start a transaction for '" + name + "' on the target", target_,
                      E_FAIL);
        return false;
    }
    bool ok = Run(target_, CreateTableSql(dialect_, table),
                  "could not create the table '" + name + "' in the target");
    for (const std::wstring& sql : CreateIndexSql(dialect_, table))
        ok = ok && Run(target_, sql, "could not create an index of '" + name + "' in the target");
    ok = ok && CopyRows(table, expected, copied);
    for (const std::wstring& sql : ContinueIdentitySql(dialect_, table))
        ok = ok && Run(target_, sql,
                       "could not set the next identity value of '" + name + "' in the target");
    if (!ok) {
        target_.Rollback();
        return false;
    }
    if (!target_.Commit()) {
        ReportFailure("could not commit the rows of '" + name + "' in the target", target_, E_FAIL);
        return false;
    }
    return true;
}

}  // namespace

int CopyDatabase(const Options& options) {
    // The source: --connect, a connection string, or a file or folder as for every command.
    std::wstring sourceInit;
    if (!options.connect.empty())
        sourceInit = Utf8ToWide(options.connect);
    else if (IsConnectionString(options.source))
        sourceInit = Utf8ToWide(options.source);
    else
        sourceInit = ConnectionStringForPath(options.source, true);
    RememberPasswords(WideToUtf8(sourceInit));
    const std::string sourceName =
        options.connect.empty() && !IsConnectionString(options.source)
            ? "'" + options.source + "'"
            : "the source connection string '" + MaskPasswords(WideToUtf8(sourceInit)) + "'";

    std::wstring targetInit;
    const bool targetIsFile = !IsConnectionString(options.target);
    if (targetIsFile) {
        if (Exists(options.target)) {
            ReportError("the target '" + options.target +
                        "' exists already; copy makes a new database file (or give a "
                        "connection string)");
            return 1;
        }
        VornOleDbErrorInfo errors;
        const HRESULT hr = VornOleDbConnection::CreateMdbFile(L"Provider=Microsoft.ACE.OLEDB.12.0;",
                                                              Utf8ToWide(options.target), errors);
        if (hr != S_OK) {
            ReportFailure("could not create the database '" + options.target + "'", errors, hr);
            return 1;
        }
        targetInit = ConnectionStringForPath(options.target, false);
    } else {
        targetInit = Utf8ToWide(options.target);
        RememberPasswords(options.target);
    }
    const std::string targetName =
        targetIsFile ? "'" + options.target + "'"
                     : "the target connection string '" + MaskPasswords(options.target) + "'";

    VornOleDbConnection source;
    HRESULT hr = source.OpenFromInitializationString(sourceInit, false);
    if (hr != S_OK) {
        ReportFailure("could not open " + sourceName, source, hr);
        return 1;
    }
    VornOleDbConnection target;
    hr = target.OpenFromInitializationString(targetInit, false);
    if (hr != S_OK) {
        ReportFailure("could not open " + targetName, target, hr);
        return 1;
    }
    const Dialect sourceDialect = DialectOf(sourceInit);
    const Dialect targetDialect = DialectOf(targetInit);

    std::vector<std::wstring> names;
    std::string error;
    if (!ReadTableNames(source, &names, &error)) {
        ReportError(error);
        return 1;
    }
    Copier copier(options, source, sourceDialect, target, targetDialect);
    unsigned long long total = 0;
    std::vector<std::pair<std::wstring, unsigned long long>> done;  // target names
    for (const std::wstring& name : names) {
        CopyTable table;
        if (!ReadTable(source, name, &table, &error)) {
            ReportError(error);
            return 1;
        }
        // Two source tables that would land under one name (a sheet "Parts$" and a defined
        // name "Parts", told apart by letter case on a server) are refused before either is
        // written twice.
        const auto sameName = [](const std::wstring& a, const std::wstring& b) {
            if (a.size() != b.size())
                return false;
            for (size_t i = 0; i < a.size(); ++i)
                if (std::towlower(static_cast<wint_t>(a[i])) !=
                    std::towlower(static_cast<wint_t>(b[i])))
                    return false;
            return true;
        };
        for (const auto& earlier : done)
            if (sameName(earlier.first, table.target)) {
                ReportError("the tables '" + WideToUtf8(name) + "' and an earlier one would both " +
                            "be copied as '" + WideToUtf8(table.target) + "'");
                return 1;
            }
        unsigned long long rows = 0;
        if (!copier.CopyOne(table, &rows))
            return 1;
        total += rows;
        done.emplace_back(table.target, rows);
    }

    // Row counts compared table by table, read back from the target.
    int status = 0;
    for (const auto& entry : done) {
        const long long there =
            CountRows(target, TargetName(targetDialect, entry.first), entry.first, "the target");
        if (there < 0)
            return 1;
        if (static_cast<unsigned long long>(there) != entry.second) {
            ReportError("the table '" + WideToUtf8(entry.first) + "' has " + std::to_string(there) +
                        " rows in the target where " + std::to_string(entry.second) +
                        " were copied");
            status = 1;
        } else if (!options.quiet) {
            std::printf("%s: %llu rows\n", WideToUtf8(entry.first).c_str(), entry.second);
        }
    }
    if (status == 0 && !options.quiet)
        std::printf("copied %zu %s, %llu rows, from %s to %s; the row counts match\n", done.size(),
                    done.size() == 1 ? "table" : "tables", total, sourceName.c_str(),
                    targetName.c_str());
    return status;
}

}  // namespace vornsql
