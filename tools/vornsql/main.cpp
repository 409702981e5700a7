// vornsql: a command-line host of VornOleDb. It opens a database file, workbook, CSV file
// or connection string and runs Jet SQL on it, lists the schema, exports rows, and creates
// and compacts database files, all through the library's public classes.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <vornoledb/exception.h>

#include "commands.h"
#include "messages.h"
#include "password_mask.h"
#include "source.h"

namespace {

// Character classes (display widths, upper-casing of names) follow the user's locale;
// without one, UTF-8 is assumed, as the library's own text is.
void SetCharacterLocale() {
    const char* name = std::setlocale(LC_CTYPE, "");
    if (!name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

int Run(const std::vector<std::string>& args) {
    using namespace vornsql;
    Options options;
    std::string error;
    if (!ParseArguments(args, &options, &error)) {
        ReportError(error + " (vornsql --help shows the usage)");
        return 2;
    }
    SetVerboseErrors(options.verbose);
    // A password given with --connect never appears in what vornsql prints.
    RememberPasswords(options.connect);
    switch (options.action) {
        case Action::Help:
            std::fputs(HelpText().c_str(), stdout);
            return 0;
        case Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            return 0;
        case Action::Create:
            return CreateDatabase(options);
        case Action::Compact:
            return CompactDatabase(options);
        case Action::Copy:
            return CopyDatabase(options);
        default:
            break;
    }

    Output out;
    if (!options.outputFile.empty() && !out.OpenFile(options.outputFile))
        return 1;
    VornOleDbConnection connection;
    if (!OpenConnection(options, &connection))
        return 1;

    Session session;
    session.options = options;
    session.connection = &connection;
    session.out = &out;
    Format requested = options.format;
    if (requested == Format::Auto && options.action == Action::Export)
        requested = Format::Csv;
    session.format = ResolveFormat(requested, out);
    if (options.pager)
        session.pager = PagerCommand();

    int status = 1;
    switch (options.action) {
        case Action::Tables:
            status = ListTables(session);
            break;
        case Action::Columns:
            status = ListColumns(session, options.table);
            break;
        case Action::Indexes:
            status = ListIndexes(session, options.table);
            break;
        case Action::Export:
            status = ExportRows(session);
            break;
        default:
            status = options.sql.empty() ? RunInput(session) : RunSqlArguments(session);
            break;
    }
    connection.Close();
    // A file given with -o appears only when everything succeeded.
    if (status == 0 && !out.Commit())
        status = 1;
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    SetCharacterLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return Run(args);
    } catch (const std::bad_alloc&) {
        vornsql::ReportError("out of memory");
    } catch (const VornOleDbException& e) {
        vornsql::ReportError(std::string("the library failed: ") + e.what());
    }
    return 1;
}
