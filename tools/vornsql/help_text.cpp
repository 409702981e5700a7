// The text of --help and --version.
#include <vornoledb/vornoledb.h>

#include "options.h"

namespace vornsql {

std::string VersionText() {
    return std::string("vornsql ") + VORNSQL_VERSION + "\nVornOleDb library " + VornOleDbVersion() +
           "\n";
}

std::string HelpText() {
    return R"help(Usage:
  vornsql [OPTIONS] SOURCE [SQL ...]          run SQL statements
  vornsql [OPTIONS] SOURCE tables             list the tables, views and procedures
  vornsql [OPTIONS] SOURCE columns TABLE      list the columns of a table
  vornsql [OPTIONS] SOURCE indexes [TABLE]    list the indexes (of one table)
  vornsql [OPTIONS] SOURCE export TABLE       write every row of a table
  vornsql [OPTIONS] SOURCE export --query SQL write every row of a query
  vornsql create FILE                         create an empty database file
  vornsql compact FILE                        compact a database file in place
  vornsql [OPTIONS] copy SOURCE TARGET        copy every table into another database

SOURCE is what to open:
  a database file (SQLite 3, read and written; Access .mdb/.accdb, read-only),
  a workbook (.xlsx, .xlsm read and written, .xls read; the first row holds the
  column names; each sheet is a table [Name$]),
  a delimited text file (.csv, .txt; .tsv, .tab for tab-separated) or a folder of
  them: each file is a table, named as the file ([parts.csv]).
  Instead of SOURCE, --connect takes a whole OLE DB connection string, e.g.
  --connect "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/plant.db;"
  or a PostgreSQL server's (there SQL is PostgreSQL's own dialect):
  --connect "Provider=PostgreSQL;Data Source=host:5432;Initial Catalog=db;User ID=u;Password=p;"

copy SOURCE TARGET copies every table of SOURCE (a file or folder as above, or a
connection string; with --connect, give only TARGET) into TARGET: a connection
string (a PostgreSQL server's, say) or a new database file, which it creates. Each
table is created with its columns' types mapped, its primary key and indexes
(named TABLE_INDEX), COUNTER columns as identity columns that go on after the
highest value copied, and filled in one transaction; on a server, names are
lower-cased. A progress bar shows on a terminal; at the end the row counts of both
sides are compared, and a difference fails the copy. A table that exists in the
target already stops the copy with an error.

SQL is Access (Jet) SQL. Each SQL argument runs in turn, and may hold several
statements separated by ';'. Without SQL arguments the statements are read from
standard input, each ended by ';' (a ';' inside quotes, [brackets] or comments does
not count); when standard input is a terminal a prompt is shown, with line editing,
history (kept in ~/.vornsql_history) and Tab completing table and column names.
Ctrl-C there drops the line typed, or stops the statement that runs. These commands
are understood at the start of a line:
  .tables               .columns TABLE        .indexes [TABLE]
  .schema [NAME]        the CREATE statements of a table or view (of all)
  .format [FORMAT]      change the format (alone: show it)
  .timer on|off         show the time each statement takes
  .read FILE            run the statements and commands of a file
  .help                 .quit, .exit or \q (at the prompt also inside a statement)
When LIKE finds nothing with '*' or '?' in its pattern, a hint says that the
wildcards are % and _.

Options:
  -c, --connect STRING  open this connection string instead of a SOURCE
  -f, --format FORMAT   table, line, csv, tsv or json. Default: table when standard
                        output is a terminal, csv otherwise; export writes csv unless
                        told
  -o, --output FILE     write the results to FILE (it appears only when complete)
      --no-header       no header line in csv and tsv
  -r, --read-only       open the source read-only (Mode=Read)
      --continue        go on after a failing statement read from standard input or
                        given as an argument (the exit status is still 1)
  -q, --quiet           no row counts, progress lines or confirmations
  -v, --verbose         on failure, the provider's whole error records
      --no-pager        no pager for results taller than the terminal
  -h, --help            this text
  -V, --version         the version of vornsql and of the library

Output:
  table  aligned columns; NULL shows as NULL; long values are abbreviated: memo text
         over 60 characters to its start and length, binary values to
         <blob N bytes>; then the row count. Statements without rows print
         "N rows affected" here. A column that a later row widens gets the header
         again; on a terminal, rows wider than the terminal are shown as in line.
         Results taller than the terminal go through $PAGER (else less or more).
  line   one field a line: "-[ row N ]" and then each column's name and value.
  csv    RFC 4180: ',' between fields, CRLF after each record, a field quoted with
         '"' when it holds ',', '"', CR, LF or blanks at either end; NULL is an empty
         field, an empty text is "". A header line first.
  tsv    TAB between fields, LF after each record; TAB, LF, CR and '\' in a value
         are written \t, \n, \r and \\; NULL is \N. A header line first.
  json   one array of objects per statement; numbers unquoted, yes/no as true and
         false, NULL as null; a repeated column name gets _2, _3 ...
  In csv, tsv and json the whole of every value is written: memo text as UTF-8,
  binary values as lower-case hexadecimal digits. Row counts of statements without
  rows go to standard error (not counted one by one for a script read from a pipe).
  Floating-point values are written as the shortest text that reads back as the
  same value (0.1, 1e-300), currency with four decimals, exact numbers whole.
  Exports and compactions that take more than a second show a progress line on
  standard error when it is a terminal.

Errors: one line on standard error, "vornsql: line 8: no such table: Partz (42S02)":
where, the provider's description and the SQL state; a syntax error's position is
shown under the statement's line. Long statements are shown by their length, their
start and the part around the error, never whole. --verbose adds the provider's whole
error records. Passwords never appear (Password=***); control characters are
escaped.

Exit status: 0 when everything succeeded; 1 when a statement, the source or the
output failed, or Ctrl-C stopped a statement (statements read from a pipe stop at
the first failure unless --continue); 2 for a command line that cannot be read.

A database file or folder named like a sub-command (tables, create ...) is given
as ./tables.
)help";
}

}  // namespace vornsql
