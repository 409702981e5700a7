// Running SQL and writing its results.
#include "session.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "interrupt_watch.h"
#include "like_hint.h"
#include "messages.h"
#include "progress.h"
#include "result_writer.h"
#include "terminal_text.h"

namespace vornsql {
namespace {

bool Interrupted(const Session& session) {
    return session.interrupts && session.interrupts->Pending();
}

std::string Elapsed(std::chrono::steady_clock::time_point start) {
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    char text[64];
    std::snprintf(text, sizeof text, "time: %.3f ms", ms);
    return text;
}

}  // namespace

Format ResolveFormat(Format requested, const Output& out) {
    if (requested != Format::Auto)
        return requested;
    return out.IsTerminal() ? Format::Table : Format::Csv;
}

void Note(Session& session, const std::string& line, bool forScript) {
    if (session.format == Format::Table || session.format == Format::Line) {
        session.out->Write(line + "\n");
    } else if (!session.scriptInput || forScript) {
        std::fflush(stdout);
        std::fputs((line + "\n").c_str(), stderr);
    }
}

PagedResult::PagedResult(Session& session) : out_(nullptr) {
    if (session.pager.empty() || !session.out->IsTerminal())
        return;
    const size_t rows = SizeOfTerminal(session.out->Descriptor()).rows;
    if (rows == 0)
        return;
    out_ = session.out;
    out_->BeginPaging(rows, session.pager);
}

PagedResult::~PagedResult() {
    if (out_)
        out_->EndPaging();
}

bool WriteResult(Session& session, VornOleDbCommand& command, const std::string& progressLabel,
                 const std::string& where, unsigned long long* rowsWritten) {
    std::unique_ptr<ResultWriter> writer =
        MakeResultWriter(session.format, *session.out, session.options.header);
    const std::vector<Column> columns = DescribeColumns(command);
    const bool progressShown = !session.options.quiet && !progressLabel.empty() &&
                               ProgressWanted() && !session.out->IsTerminal();
    RowProgress progress(progressShown, progressLabel);
    PagedResult paged(session);
    writer->Begin(columns);
    std::vector<Cell> cells;
    unsigned long long rows = 0;
    const bool whole = writer->WantsWholeValues();
    bool stopped = false;
    while (command.FetchNext() == VornOleDbCommand::dbOK) {
        ReadRow(command, columns, whole, &cells);
        writer->Row(cells);
        ++rows;
        progress.Tick(rows);
        if (session.out->Failed() || Interrupted(session))
            break;
        if (session.out->Discarding()) {
            stopped = true;  // the pager was quit: the rest is not wanted
            break;
        }
    }
    if (rowsWritten)
        *rowsWritten = rows;
    if (Interrupted(session)) {
        session.out->Write("\n");
        session.out->Flush();
        return false;
    }
    // The cursor answers the same at the end of the rows and on a failure; the error
    // information tells them apart.
    const bool readFailed = !stopped && !session.out->Failed() && command.HasErrorInfo();
    if (!readFailed)
        writer->End(rows);
    progress.Done(rows);
    if (!session.out->Flush()) {
        ReportError(session.out->FailureText());
        session.outputBroken = true;
        return false;
    }
    if (readFailed) {
        ReportFailure(where + ": reading row " + std::to_string(rows + 1), command, 0);
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
    if (Interrupted(session))
        return false;
    const auto start = std::chrono::steady_clock::now();
    VornOleDbCommand command;
    command.SetConnection(session.connection);
    const std::wstring text = Utf8ToWide(sql);
    command.SetCommandText(text.c_str());
    RunningCommand running(session.interrupts, &command);
    if (command.Execute() != VornOleDbCommand::dbOK) {
        if (Interrupted(session)) {
            ReportError(where + ": interrupted");
            return false;
        }
        if (!command.HasErrorInfo() && command.GetErrorStatement().empty())
            command.SetErrorInfo(L"", text);
        ReportFailure(where, command, 0, sql);
        return false;
    }
    if (command.HasResults()) {
        unsigned long long rows = 0;
        const bool ok = WriteResult(session, command, "", where, &rows);
        if (Interrupted(session)) {
            ReportError(where + ": interrupted");
            return false;
        }
        if (ok && rows == 0) {
            const std::string pattern = AccessWildcardPattern(sql);
            if (!pattern.empty())
                ReportError("hint: LIKE " + pattern +
                            " found nothing: LIKE takes % (any characters) and _ (one "
                            "character) here, '*' and '?' only match themselves");
        }
        if (ok && session.timer)
            Note(session, Elapsed(start), true);
        return ok;
    }
    session.schemaChanged = true;
    const long affected = command.GetRowsAffected();
    if (affected >= 0 && !session.options.quiet)
        Note(session,
             std::to_string(affected) + (affected == 1 ? " row affected" : " rows affected"),
             false);
    if (session.timer)
        Note(session, Elapsed(start), true);
    if (!session.out->Flush()) {
        ReportError(session.out->FailureText());
        session.outputBroken = true;
        return false;
    }
    return true;
}

}  // namespace vornsql
