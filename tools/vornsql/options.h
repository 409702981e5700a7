// The command line of vornsql: what to open, what to do and how to write the results.
#pragma once

#include <string>
#include <vector>

namespace vornsql {

enum class Format { Auto, Table, Line, Csv, Tsv, Json };

enum class Action {
    Help,     // --help
    Version,  // --version
    Sql,      // SQL arguments, or statements read from standard input
    Tables,
    Columns,
    Indexes,
    Export,
    Create,   // create FILE
    Compact,  // compact FILE
    Copy,     // copy SOURCE TARGET
};

struct Options {
    Action action = Action::Sql;
    std::string source;   // file or folder named on the command line (empty with --connect)
    std::string connect;  // connection string given with --connect
    Format format = Format::Auto;
    bool header = true;            // header row in csv and tsv
    bool quiet = false;            // no row counts, no progress line
    bool keepGoing = false;        // go on after a failing statement when reading a script
    bool readOnly = false;         // open the source with Mode=Read
    bool verbose = false;          // whole error records on failure
    bool pager = true;             // results taller than the terminal go through $PAGER
    std::string outputFile;        // -o FILE: results go there instead of standard output
    std::vector<std::string> sql;  // SQL arguments, run in turn
    std::string table;             // columns, indexes, export
    std::string query;             // export --query
    std::string file;              // create, compact
    std::string target;            // copy: a connection string or a new database file
};

// Reads the arguments after the program name. False with *error (one line, no program
// name) when they do not make a valid command line.
bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error);

// Reads a format name: table, line, csv, tsv, json. False when it is none of them.
bool ParseFormat(const std::string& name, Format* format);
const char* FormatName(Format format);

// The text of --help and the line of --version.
std::string HelpText();
std::string VersionText();

}  // namespace vornsql
