// vornsql SOURCE export TABLE | --query SQL: every row of a table, or of a query, in the
// chosen format (csv unless --format says otherwise), with a progress line on long runs.
#include <vornoledb/platform/text.h>
#include <vornoledb/recordset.h>
#include <vornoledb/windows_names.h>

#include "commands.h"
#include "messages.h"

namespace vornsql {
namespace {

// A table name as it stands in SQL: bracketed unless it is already.
bool BracketedName(const std::string& table, std::string* name) {
    if (table.size() >= 2 && table.front() == '[' && table.back() == ']') {
        *name = table;
        return true;
    }
    if (table.find(']') != std::string::npos)
        return false;
    *name = "[" + table + "]";
    return true;
}

}  // namespace

int ExportRows(Session& session) {
    const Options& o = session.options;
    if (!o.query.empty()) {
        VornOleDbCommand command;
        command.SetConnection(session.connection);
        const std::wstring text = Utf8ToWide(o.query);
        command.SetCommandText(text.c_str());
        if (command.Execute() != VornOleDbCommand::dbOK) {
            ReportFailure("the export query failed", command, 0);
            return 1;
        }
        if (!command.HasResults()) {
            ReportError("the export query returned no rows to export: it is not a SELECT (" +
                        std::to_string(command.GetRowsAffected()) + " rows affected)");
            return 1;
        }
        return WriteResult(session, command, "exported", "the export query") ? 0 : 1;
    }

    std::string name;
    if (!BracketedName(o.table, &name)) {
        ReportError("the table name '" + o.table +
                    "' holds ']' and cannot be written in brackets; export it with --query");
        return 1;
    }
    // The recordset builds "SELECT * FROM [name]" on the session's connection.
    VornOleDbRecordset recordset(VornOleDbRecordset::ctExternal);
    recordset.SetConnection(session.connection);
    const std::wstring table = Utf8ToWide(name);
    if (!recordset.GetRecords(table.c_str(), L"*", nullptr, nullptr)) {
        ReportFailure("could not export the table '" + o.table + "'", recordset, 0);
        return 1;
    }
    const bool ok = WriteResult(session, recordset, "exported", "table '" + o.table + "'");
    recordset.Close();
    return ok ? 0 : 1;
}

}  // namespace vornsql
