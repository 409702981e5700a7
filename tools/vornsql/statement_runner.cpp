// Running SQL and writing its results.
#include "session.h"

#include <cstdio>
#include <set>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "messages.h"
#include "progress.h"
#include "result_writer.h"

namespace vornsql {

Format ResolveFormat(Format requested, const Output& out) {
    if (requested != Format::Auto)
        return requested;
    return out.IsTerminal() ? Format::Table : Format::Csv;
}

bool WriteResult(Session& session, VornOleDbCommand& command, const std::string& progressLabel,
                 const std::string& where) {
    std::unique_ptr<ResultWriter> writer =
        MakeResultWriter(session.format, *session.out, session.options.header);
    const std::vector<Column> columns = DescribeColumns(command);
    if (session.format != Format::Table) {
        for (const Column& c : columns)
            if (c.kind == ColumnKind::ShortBinary)
                ReportError("warning: column '" + c.name +
                            "' is a short binary column (BINARY(n)): the library gives the "
                            "length of its values only, so they are written as NULL");
    }
    const bool progressShown = !session.options.quiet && !progressLabel.empty() &&
                               ProgressWanted() && !session.out->IsTerminal();
    RowProgress progress(progressShown, progressLabel);
    writer->Begin(columns);
    std::vector<Cell> cells;
    unsigned long long rows = 0;
    const bool whole = writer->WantsWholeValues();
    while (command.FetchNext() == VornOleDbCommand::dbOK) {
        ReadRow(command, columns, whole, &cells);
        writer->Row(cells);
        ++rows;
        progress.Tick(rows);
        if (session.out->Failed())
            break;
    }
    // The cursor answers the same at the end of the rows and on a failure; the error
    // information tells them apart.
    const bool readFailed = !session.out->Failed() && command.HasErrorInfo();
    if (!readFailed)
        writer->End(rows);
    progress.Done(rows);
    if (!session.out->Flush()) {
        ReportError(session.out->FailureText());
        session.outputBroken = true;
        return false;
    }
    if (readFailed) {
        ReportFailure(where + ": reading row " + std::to_string(rows + 1) + " failed", command, 0);
        return false;
    }
    return true;
}

bool RunSql(Session& session, const std::string& sql, const std::string& where) {
    // The statement text ends at a NUL on its way to the provider: what follows would be
    // dropped silently (a WHERE clause among it), so such a statement is not run at all.
    const size_t nul = sql.find('\0');
    if (nul != std::string::npos) {
        ReportError(where + ": the statement holds a NUL character (byte " +
                    std::to_string(nul + 1) + "); it was not run");
        return false;
    }
    VornOleDbCommand command;
    command.SetConnection(session.connection);
    const std::wstring text = Utf8ToWide(sql);
    command.SetCommandText(text.c_str());
    if (command.Execute() != VornOleDbCommand::dbOK) {
        if (!command.HasErrorInfo() && command.GetErrorStatement().empty())
            command.SetErrorInfo(L"", text);
        ReportFailure(where + ": the statement failed", command, 0);
        return false;
    }
    if (command.HasResults())
        return WriteResult(session, command, "", where);
    const long affected = command.GetRowsAffected();
    if (affected >= 0 && !session.options.quiet) {
        const std::string line =
            std::to_string(affected) + (affected == 1 ? " row affected\n" : " rows affected\n");
        if (session.format == Format::Table) {
            session.out->Write(line);
        } else if (!session.scriptInput) {
            std::fflush(stdout);
            std::fputs(line.c_str(), stderr);
        }
    }
    if (!session.out->Flush()) {
        ReportError(session.out->FailureText());
        session.outputBroken = true;
        return false;
    }
    return true;
}

}  // namespace vornsql
