// The text of --help and --version.
#include <vornoledb/vornoledb.h>

#include "options.h"

namespace vornsql {

std::string VersionText() {
    return std::string("vornsql (VornOleDb) ") + VornOleDbVersion() + "\n";
}

std::string HelpText() {
    return R"(Usage:
  vornsql [OPTIONS] SOURCE [SQL ...]          run SQL statements
  vornsql [OPTIONS] SOURCE tables             list the tables, views and procedures
  vornsql [OPTIONS] SOURCE columns TABLE      list the columns of a table
  vornsql [OPTIONS] SOURCE indexes [TABLE]    list the indexes (of one table)
  vornsql [OPTIONS] SOURCE export TABLE       write every row of a table
  vornsql [OPTIONS] SOURCE export --query SQL write every row of a query
  vornsql create FILE                         create an empty database file
  vornsql compact FILE                        compact a database file in place

SOURCE is what to open:
  a database file (SQLite 3; Access .mdb/.accdb files are read-only),
  a workbook (.xlsx, .xlsm, .xls; the first row holds the column names),
  a delimited text file (.csv, .txt; .tsv, .tab for tab-separated) or a folder of
  them: each file is a table, named as the file ([parts.csv]).
  Instead of SOURCE, --connect takes a whole OLE DB connection string, e.g.
  --connect "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/plant.db;"

SQL is Access (Jet) SQL. Each SQL argument runs in turn. Without SQL arguments the
statements are read from standard input, each ended by ';' (a ';' inside quotes,
[brackets] or comments does not count); when standard input is a terminal a prompt is
shown, and these commands are also understood at the start of a line:
  .tables  .columns TABLE  .indexes [TABLE]  .format FORMAT  .help  .quit

Options:
  -c, --connect STRING  open this connection string instead of a SOURCE
  -f, --format FORMAT   table, csv, tsv or json. Default: table when standard output
                        is a terminal, csv otherwise; export writes csv unless told
  -o, --output FILE     write the results to FILE (it appears only when complete)
      --no-header       no header line in csv and tsv
  -r, --read-only       open the source read-only (Mode=Read)
      --continue        go on after a failing statement read from standard input or
                        given as an argument (the exit status is still 1)
  -q, --quiet           no row counts, progress lines or confirmations
  -h, --help            this text
  -V, --version         the version of vornsql and of the library

Output:
  table  aligned columns; NULL shows as NULL; long values are abbreviated: memo text
         over 60 characters to its start and length, binary values to
         <blob N bytes>; then the row count. Statements without rows print
         "N rows affected" here.
  csv    RFC 4180: ',' between fields, CRLF after each record, a field quoted with
         '"' when it holds ',', '"', CR, LF or blanks at either end; NULL is an empty
         field, an empty text is "". A header line first.
  tsv    TAB between fields, LF after each record; TAB, LF, CR and '\' in a value
         are written \t, \n, \r and \\; NULL is \N. A header line first.
  json   one array of objects per statement; numbers unquoted, yes/no as true and
         false, NULL as null; a repeated column name gets _2, _3 ...
  In csv, tsv and json the whole of every value is written: memo text as UTF-8,
  long binary values as lower-case hexadecimal digits (short BINARY(n) values are
  not handed out by the library: NULL, with a warning). Row counts of statements without
  rows go to standard error (not counted one by one for a script read from a pipe).
  Floating-point values carry six decimals, as the library writes them.
  Exports and compactions that take more than a second show a progress line on
  standard error when it is a terminal.

Exit status: 0 when everything succeeded; 1 when a statement, the source or the
output failed (the provider's error records and the statement go to standard error;
statements read from a pipe stop at the first failure unless --continue); 2 for a
command line that cannot be read.

A database file or folder named like a sub-command (tables, create ...) is given
as ./tables.
)";
}

}  // namespace vornsql
