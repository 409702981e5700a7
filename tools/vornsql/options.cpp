// Parsing of the vornsql command line.
#include "options.h"

#include <cstddef>

namespace vornsql {
namespace {

// An option that takes a value, given as "--name VALUE", "--name=VALUE" or "-x VALUE".
struct ValueOption {
    const char* shortName;
    const char* longName;
    std::string Options::*field;
};

const ValueOption kValueOptions[] = {
    {"-c", "--connect", &Options::connect},
    {"-o", "--output", &Options::outputFile},
    {"", "--query", &Options::query},
};

bool IsSubCommandWord(const std::string& word) {
    return word == "tables" || word == "columns" || word == "indexes" || word == "export";
}

bool Fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

// Reads the positional words that follow the source (or the connection string).
bool ReadSourceWords(const std::vector<std::string>& words, size_t first, Options* o,
                     std::string* error) {
    const size_t rest = words.size() - first;
    if (rest == 0 || !IsSubCommandWord(words[first])) {
        o->action = Action::Sql;
        o->sql.assign(words.begin() + static_cast<std::ptrdiff_t>(first), words.end());
        if (!o->query.empty())
            return Fail(error, "--query belongs to the export sub-command");
        return true;
    }
    const std::string& word = words[first];
    const size_t args = rest - 1;
    if (word != "export" && !o->query.empty())
        return Fail(error, "--query belongs to the export sub-command");
    if (word == "tables") {
        o->action = Action::Tables;
        if (args != 0)
            return Fail(error, "'tables' takes no arguments, found '" + words[first + 1] + "'");
    } else if (word == "columns") {
        o->action = Action::Columns;
        if (args != 1)
            return Fail(error, "'columns' takes one table name");
        o->table = words[first + 1];
    } else if (word == "indexes") {
        o->action = Action::Indexes;
        if (args > 1)
            return Fail(error, "'indexes' takes at most one table name");
        if (args == 1)
            o->table = words[first + 1];
    } else {
        o->action = Action::Export;
        if (args > 1)
            return Fail(error, "'export' takes one table name or --query SQL");
        if (args == 1)
            o->table = words[first + 1];
        if (o->table.empty() == o->query.empty())
            return Fail(error, "'export' takes either a table name or --query SQL (one of them)");
    }
    if ((o->action == Action::Columns || o->action == Action::Export) && args == 1 &&
        o->table.empty())
        return Fail(error, "the table name is empty");
    return true;
}

}  // namespace

bool ParseFormat(const std::string& name, Format* format) {
    if (name == "table")
        *format = Format::Table;
    else if (name == "line")
        *format = Format::Line;
    else if (name == "csv")
        *format = Format::Csv;
    else if (name == "tsv")
        *format = Format::Tsv;
    else if (name == "json")
        *format = Format::Json;
    else
        return false;
    return true;
}

const char* FormatName(Format format) {
    switch (format) {
        case Format::Auto:
            return "auto";
        case Format::Table:
            return "table";
        case Format::Line:
            return "line";
        case Format::Csv:
            return "csv";
        case Format::Tsv:
            return "tsv";
        case Format::Json:
            return "json";
    }
    return "auto";
}

bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error) {
    Options o;
    std::vector<std::string> words;
    bool connectGiven = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            words.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            options->action = Action::Help;
            return true;
        }
        if (a == "-V" || a == "--version") {
            options->action = Action::Version;
            return true;
        }
        if (a == "-q" || a == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (a == "--no-header") {
            o.header = false;
            continue;
        }
        if (a == "--continue") {
            o.keepGoing = true;
            continue;
        }
        if (a == "-r" || a == "--read-only") {
            o.readOnly = true;
            continue;
        }
        if (a == "-v" || a == "--verbose") {
            o.verbose = true;
            continue;
        }
        if (a == "--no-pager") {
            o.pager = false;
            continue;
        }
        // Options with a value.
        std::string name = a;
        std::string value;
        bool inlineValue = false;
        const size_t eq = a.find('=');
        if (a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            inlineValue = true;
        }
        bool isFormat = name == "-f" || name == "--format";
        const ValueOption* match = nullptr;
        for (const ValueOption& v : kValueOptions)
            if (name == v.longName || (*v.shortName && name == v.shortName))
                match = &v;
        if (!isFormat && !match)
            return Fail(error, "unknown option '" + a + "'");
        if (!inlineValue) {
            if (i + 1 >= args.size())
                return Fail(error, "option '" + name + "' needs a value");
            value = args[++i];
        }
        if (isFormat) {
            if (!ParseFormat(value, &o.format))
                return Fail(error,
                            "unknown format '" + value + "' (use table, line, csv, tsv or json)");
        } else {
            if (value.empty())
                return Fail(error, "option '" + name + "' needs a value that is not empty");
            o.*(match->field) = value;
            if (match->field == &Options::connect)
                connectGiven = true;
        }
    }

    if (!words.empty() && words[0] == "copy") {
        // copy SOURCE TARGET, or --connect SOURCE copy TARGET.
        o.action = Action::Copy;
        const size_t wanted = connectGiven ? 2 : 3;
        if (words.size() != wanted)
            return Fail(error, connectGiven ? "'copy' with --connect takes one TARGET"
                                            : "'copy' takes a SOURCE and a TARGET");
        if (!o.query.empty())
            return Fail(error, "--query belongs to the export sub-command");
        if (!connectGiven)
            o.source = words[1];
        o.target = words[wanted - 1];
        if ((!connectGiven && o.source.empty()) || o.target.empty())
            return Fail(error, "the source or the target of 'copy' is empty");
        *options = o;
        return true;
    }
    if (connectGiven) {
        if (!words.empty() && (words[0] == "create" || words[0] == "compact"))
            return Fail(error, "'" + words[0] + "' takes a FILE, not --connect");
        if (!ReadSourceWords(words, 0, &o, error))
            return false;
        *options = o;
        return true;
    }
    if (words.empty())
        return Fail(error,
                    "no source given: name a database file, a CSV file or "
                    "--connect STRING");
    if (words[0] == "create" || words[0] == "compact") {
        o.action = words[0] == "create" ? Action::Create : Action::Compact;
        if (words.size() != 2)
            return Fail(error, "'" + words[0] + "' takes exactly one FILE");
        if (words[1].empty())
            return Fail(error, "the file name is empty");
        if (!o.query.empty())
            return Fail(error, "--query belongs to the export sub-command");
        o.file = words[1];
        *options = o;
        return true;
    }
    if (words[0].empty())
        return Fail(error, "the source name is empty");
    o.source = words[0];
    if (!ReadSourceWords(words, 1, &o, error))
        return false;
    *options = o;
    return true;
}

}  // namespace vornsql
