// vornsql SOURCE tables | columns TABLE | indexes [TABLE]: the schema through the library's
// schema readers, written in the chosen format like any result.
#include <algorithm>
#include <cctype>
#include <set>

#include <vornoledb/columns.h>
#include <vornoledb/command.h>
#include <vornoledb/indexes.h>
#include <vornoledb/platform/text.h>
#include <vornoledb/schema_reader.h>
#include <vornoledb/tables.h>
#include <vornoledb/windows_names.h>

#include "commands.h"
#include "messages.h"
#include "result_writer.h"

namespace vornsql {
namespace {

// OLE DB type codes and the long-column flag.
constexpr unsigned short kI2 = 2, kI4 = 3, kR4 = 4, kR8 = 5, kCY = 6, kDate = 7, kBool = 11,
                         kDecimal = 14, kI1 = 16, kUI1 = 17, kUI2 = 18, kUI4 = 19, kI8 = 20,
                         kUI8 = 21, kGuid = 72, kBytes = 128, kStr = 129, kWStr = 130,
                         kNumeric = 131, kDBDate = 133, kDBTime = 134, kDBTimestamp = 135;
constexpr unsigned long kFlagIsLong = 0x80;

Column TextColumn(const char* name) {
    Column c;
    c.name = name;
    c.rawType = kWStr;
    c.kind = ColumnKind::Text;
    return c;
}

Column NumberColumn(const char* name) {
    Column c;
    c.name = name;
    c.rawType = kI4;
    c.kind = ColumnKind::Number;
    return c;
}

Cell TextCell(const std::string& text) {
    Cell c;
    c.text = text;
    return c;
}

Cell NumberCell(unsigned long long value) {
    Cell c;
    c.text = std::to_string(value);
    return c;
}

Cell NullCell() {
    Cell c;
    c.null = true;
    return c;
}

std::string Text(const std::wstring& text) {
    return WideToUtf8(text);
}

// The Jet name of a column's type, as a CREATE TABLE would declare it.
std::string JetTypeName(unsigned short type, unsigned long maxLength, unsigned long flags,
                        unsigned long precision, unsigned long scale, bool identity) {
    const bool isLong = (flags & kFlagIsLong) != 0;
    switch (type) {
        case kWStr:
        case kStr:
            return isLong || maxLength == 0 ? "MEMO" : "TEXT(" + std::to_string(maxLength) + ")";
        case kBytes:
            return isLong || maxLength == 0 ? "LONGBINARY"
                                            : "BINARY(" + std::to_string(maxLength) + ")";
        case kUI1:
            return "BYTE";
        case kI1:
            return "TINYINT";
        case kI2:
        case kUI2:
            return "SHORT";
        case kI4:
        case kUI4:
            return identity ? "COUNTER" : "LONG";
        case kI8:
        case kUI8:
            return identity ? "COUNTER" : "BIGINT";
        case kR4:
            return "SINGLE";
        case kR8:
            return "DOUBLE";
        case kCY:
            return "CURRENCY";
        case kDate:
        case kDBDate:
        case kDBTime:
        case kDBTimestamp:
            return "DATETIME";
        case kBool:
            return "YESNO";
        case kGuid:
            return "GUID";
        case kDecimal:
        case kNumeric:
            return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
        default:
            return "type " + std::to_string(type);
    }
}

const char* DbTypeName(unsigned short type) {
    switch (type) {
        case kI2:
            return "DBTYPE_I2";
        case kI4:
            return "DBTYPE_I4";
        case kR4:
            return "DBTYPE_R4";
        case kR8:
            return "DBTYPE_R8";
        case kCY:
            return "DBTYPE_CY";
        case kDate:
            return "DBTYPE_DATE";
        case kBool:
            return "DBTYPE_BOOL";
        case kDecimal:
            return "DBTYPE_DECIMAL";
        case kI1:
            return "DBTYPE_I1";
        case kUI1:
            return "DBTYPE_UI1";
        case kUI2:
            return "DBTYPE_UI2";
        case kUI4:
            return "DBTYPE_UI4";
        case kI8:
            return "DBTYPE_I8";
        case kUI8:
            return "DBTYPE_UI8";
        case kGuid:
            return "DBTYPE_GUID";
        case kBytes:
            return "DBTYPE_BYTES";
        case kStr:
            return "DBTYPE_STR";
        case kWStr:
            return "DBTYPE_WSTR";
        case kNumeric:
            return "DBTYPE_NUMERIC";
        case kDBDate:
            return "DBTYPE_DBDATE";
        case kDBTime:
            return "DBTYPE_DBTIME";
        case kDBTimestamp:
            return "DBTYPE_DBTIMESTAMP";
        default:
            return "";
    }
}

// Writes prepared rows with the session's format.
bool WriteRows(Session& session, const std::vector<Column>& columns,
               const std::vector<std::vector<Cell>>& rows) {
    std::unique_ptr<ResultWriter> writer =
        MakeResultWriter(session.format, *session.out, session.options.header);
    PagedResult paged(session);
    writer->Begin(columns);
    for (const auto& row : rows)
        writer->Row(row);
    writer->End(rows.size());
    if (!session.out->Flush()) {
        ReportError(session.out->FailureText());
        session.outputBroken = true;
        return false;
    }
    return true;
}

bool IsSystemType(const std::wstring& type) {
    return type.compare(0, 7, L"SYSTEM ") == 0 || type == L"ACCESS TABLE";
}

// The reader's failure: its own records, or a plain sentence when it left none.
int ReaderFailed(const std::string& what, VornOleDbErrorInfo& reader) {
    ReportFailure(what, reader, 0);
    return 1;
}

// The names of the saved procedures, read from OLE DB's PROCEDURES schema rowset.
class ProcedureNames : public VornOleDbSchemaReader {
  public:
    ~ProcedureNames() { CloseSchema(); }
    bool Open(VornOleDbConnection* connection) {
        static const GUID kProcedures = {
            0xc8b52224, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
        static const ColumnBinding kName[] = {{3, DBTYPE_WSTR}};  // PROCEDURE_NAME
        return connection && connection->IsConnected() &&
               OpenSchema(connection, kProcedures, nullptr, 0, kName, 1);
    }
    bool FetchNext() {
        HRESULT status = S_OK;
        return MoveNext(&status) && status == S_OK;
    }
    bool GetName(std::wstring& name) const { return TextField(0, name); }
};

}  // namespace

int ListTables(Session& session) {
    VornOleDbTables tables;
    if (!tables.Open(session.connection, nullptr, nullptr, nullptr, nullptr))
        return ReaderFailed("could not read the tables of the source", tables);
    std::vector<std::vector<Cell>> rows;
    while (tables.FetchNext()) {
        std::wstring name, type, description;
        tables.GetName(name);
        tables.GetType(type);
        tables.GetDescription(description);
        if (name.empty() || IsSystemType(type))
            continue;
        rows.push_back({TextCell(Text(name)), TextCell(Text(type)),
                        description.empty() ? NullCell() : TextCell(Text(description))});
    }
    // Saved procedures, where the source keeps them (a source without any lists none).
    ProcedureNames procedures;
    if (procedures.Open(session.connection))
        while (procedures.FetchNext()) {
            std::wstring name;
            if (procedures.GetName(name))
                rows.push_back({TextCell(Text(name)), TextCell("PROCEDURE"), NullCell()});
        }
    return WriteRows(session, {TextColumn("Name"), TextColumn("Type"), TextColumn("Description")},
                     rows)
               ? 0
               : 1;
}

int ListColumns(Session& session, const std::string& table) {
    VornOleDbColumns columns;
    const std::wstring name = Utf8ToWide(table);
    const bool opened =
        columns.Open(session.connection, nullptr, nullptr, name.c_str(), nullptr, true);
    if (!opened && !columns.HasErrorInfo()) {
        // The rowset is open; only the table's definition (identity data) was not read.
        // That happens for a view: its columns are listed without identity data.
        if (!columns.Open(session.connection, nullptr, nullptr, name.c_str(), nullptr, false))
            return ReaderFailed("could not read the columns of '" + table + "'", columns);
    } else if (!opened) {
        return ReaderFailed("could not read the columns of '" + table + "'", columns);
    }
    std::vector<std::vector<Cell>> rows;
    while (columns.FetchNext()) {
        std::wstring column, def;
        columns.GetName(column);
        const bool hasDefault = columns.GetDefault(def);
        const unsigned short type = columns.DataType();
        const bool identity = columns.IsIdentity();
        std::vector<Cell> row;
        row.push_back(NumberCell(columns.OrdinalPosition()));
        row.push_back(TextCell(Text(column)));
        row.push_back(
            TextCell(JetTypeName(type, columns.MaxLength(), columns.Flags(),
                                 columns.NumericPrecision(), columns.NumericScale(), identity)));
        row.push_back(TextCell(DbTypeName(type)));
        const unsigned long size = columns.Precision();
        row.push_back(size ? NumberCell(size) : NullCell());
        row.push_back(TextCell(columns.IsNullable() ? "yes" : "no"));
        row.push_back(hasDefault ? TextCell(Text(def)) : NullCell());
        row.push_back(identity ? NumberCell(static_cast<unsigned long long>(columns.Seed()))
                               : NullCell());
        row.push_back(identity ? NumberCell(static_cast<unsigned long long>(columns.Increment()))
                               : NullCell());
        if (identity) {
            // Seeds and steps may be negative.
            row[7].text = std::to_string(columns.Seed());
            row[8].text = std::to_string(columns.Increment());
        }
        rows.push_back(std::move(row));
    }
    if (rows.empty()) {
        ReportError("the source has no table or view named '" + table + "'");
        return 1;
    }
    std::sort(rows.begin(), rows.end(), [](const std::vector<Cell>& a, const std::vector<Cell>& b) {
        return std::stoul(a[0].text) < std::stoul(b[0].text);
    });
    return WriteRows(session,
                     {NumberColumn("Position"), TextColumn("Name"), TextColumn("Type"),
                      TextColumn("DBType"), NumberColumn("Size"), TextColumn("Nullable"),
                      TextColumn("Default"), NumberColumn("Seed"), NumberColumn("Step")},
                     rows)
               ? 0
               : 1;
}

namespace {

// The names of the primary-key indexes of one table: those its index list holds with the
// primary keys and not without them.
bool PrimaryKeyNames(VornOleDbConnection* connection, const std::wstring& table,
                     std::set<std::wstring>* names, VornOleDbIndexes* lists) {
    if (!lists->Open(connection, nullptr, nullptr, table.c_str(), nullptr))
        return false;
    std::vector<std::wstring> all, plain;
    lists->GetIndexList(all, true);
    lists->GetIndexList(plain, false);
    for (const std::wstring& n : all)
        if (std::find(plain.begin(), plain.end(), n) == plain.end())
            names->insert(n);
    return true;
}

// The names of the tables a person sees in "tables" (not the system's own); false when they
// cannot be read.
bool UserTableNames(VornOleDbConnection* connection, std::set<std::wstring>* names) {
    VornOleDbTables tables;
    if (!tables.Open(connection, nullptr, nullptr, nullptr, nullptr))
        return false;
    while (tables.FetchNext()) {
        std::wstring name, type;
        tables.GetName(name);
        tables.GetType(type);
        if (!name.empty() && !IsSystemType(type))
            names->insert(name);
    }
    return true;
}

}  // namespace

int ListIndexes(Session& session, const std::string& table) {
    const std::wstring name = Utf8ToWide(table);
    VornOleDbIndexes indexes;
    if (!indexes.Open(session.connection, nullptr, nullptr, table.empty() ? nullptr : name.c_str(),
                      nullptr))
        return ReaderFailed("could not read the indexes of the source", indexes);
    // One row per index, its columns joined in the order the provider gives them.
    struct Entry {
        std::wstring table, index, columns;
    };
    std::vector<Entry> entries;
    while (indexes.FetchNext()) {
        std::wstring tableName, indexName, column;
        indexes.GetTableName(tableName);
        indexes.GetName(indexName);
        indexes.GetColumnName(column);
        auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.table == tableName && e.index == indexName;
        });
        if (found == entries.end())
            entries.push_back({tableName, indexName, column});
        else
            found->columns += L", " + column;
    }
    indexes.Close();
    // Without a table named, the indexes of the tables "tables" lists: the provider's own
    // bookkeeping tables stay out of sight here as they do there.
    std::set<std::wstring> visible;
    if (table.empty() && UserTableNames(session.connection, &visible))
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const Entry& e) { return !visible.count(e.table); }),
                      entries.end());

    std::vector<std::vector<Cell>> rows;
    std::wstring keysOf;
    std::set<std::wstring> keys;
    for (const Entry& e : entries) {
        if (e.table != keysOf || rows.empty()) {
            keys.clear();
            keysOf = e.table;
            VornOleDbIndexes lists;
            if (!PrimaryKeyNames(session.connection, e.table, &keys, &lists))
                return ReaderFailed("could not read the indexes of '" + Text(e.table) + "'", lists);
        }
        rows.push_back({TextCell(Text(e.table)), TextCell(Text(e.index)), TextCell(Text(e.columns)),
                        TextCell(keys.count(e.index) ? "yes" : "no")});
    }
    return WriteRows(session,
                     {TextColumn("Table"), TextColumn("Index"), TextColumn("Columns"),
                      TextColumn("PrimaryKey")},
                     rows)
               ? 0
               : 1;
}

}  // namespace vornsql

namespace vornsql {
namespace {

std::string Bracketed(const std::wstring& name) {
    return "[" + Text(name) + "]";
}

std::string LowerText(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The first column of every row of a query, as text; false when it fails (the source is
// not one the query can ask, for instance).
bool FirstColumn(VornOleDbConnection* connection, const std::string& sql,
                 std::vector<std::string>* values) {
    VornOleDbCommand command;
    command.SetConnection(connection);
    const std::wstring text = Utf8ToWide(sql);
    command.SetCommandText(text.c_str());
    if (command.Execute() != VornOleDbCommand::dbOK || !command.HasResults())
        return false;
    while (command.FetchNext() == VornOleDbCommand::dbOK)
        values->push_back(WideToUtf8(command.FieldAsString(1)));
    return !command.HasErrorInfo();
}

std::string SqlString(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += '\'';
        quoted += c;
    }
    return quoted + "'";
}

// The definition SQLite keeps of an object (a view's SELECT, an index's CREATE); empty
// when the source keeps none.
std::string StoredDefinition(VornOleDbConnection* connection, const char* type,
                             const std::wstring& name) {
    std::vector<std::string> texts;
    if (!FirstColumn(connection,
                     std::string("SELECT sql FROM sqlite_master WHERE type = '") + type +
                         "' AND name = " + SqlString(Text(name)),
                     &texts) ||
        texts.empty())
        return std::string();
    return texts[0];
}

// CREATE TABLE and CREATE INDEX statements of one table, in Jet's words, from the
// library's column and index readers.
bool TableDefinition(Session& session, const std::wstring& table, std::string* text) {
    VornOleDbColumns columns;
    if (!columns.Open(session.connection, nullptr, nullptr, table.c_str(), nullptr, true) &&
        !columns.Open(session.connection, nullptr, nullptr, table.c_str(), nullptr, false)) {
        ReportFailure("could not read the columns of '" + Text(table) + "'", columns, 0);
        return false;
    }
    struct ColumnText {
        unsigned long position;
        std::string text;
    };
    std::vector<ColumnText> lines;
    while (columns.FetchNext()) {
        std::wstring name, def;
        columns.GetName(name);
        const bool identity = columns.IsIdentity();
        std::string line = "    " + Bracketed(name) + " ";
        if (identity) {
            line += "COUNTER(" + std::to_string(columns.Seed()) + ", " +
                    std::to_string(columns.Increment()) + ")";
        } else {
            line += JetTypeName(columns.DataType(), columns.MaxLength(), columns.Flags(),
                                columns.NumericPrecision(), columns.NumericScale(), false);
            if (!columns.IsNullable())
                line += " NOT NULL";
            if (columns.GetDefault(def))
                line += " DEFAULT " + Text(def);
        }
        lines.push_back({columns.OrdinalPosition(), line});
    }
    std::sort(lines.begin(), lines.end(),
              [](const ColumnText& a, const ColumnText& b) { return a.position < b.position; });

    // Indexes: their columns in order, which is the primary key, which are unique.
    VornOleDbIndexes indexes;
    std::vector<std::pair<std::wstring, std::string>> entries;  // name, bracketed columns
    if (indexes.Open(session.connection, nullptr, nullptr, table.c_str(), nullptr)) {
        while (indexes.FetchNext()) {
            std::wstring index, column;
            indexes.GetName(index);
            indexes.GetColumnName(column);
            auto found = std::find_if(entries.begin(), entries.end(),
                                      [&](const auto& e) { return e.first == index; });
            if (found == entries.end())
                entries.push_back({index, Bracketed(column)});
            else
                found->second += ", " + Bracketed(column);
        }
    }
    indexes.Close();
    std::set<std::wstring> keys;
    VornOleDbIndexes lists;
    PrimaryKeyNames(session.connection, table, &keys, &lists);

    std::string out = "CREATE TABLE " + Bracketed(table) + " (\n";
    for (size_t i = 0; i < lines.size(); ++i)
        out += lines[i].text + (i + 1 < lines.size() || !keys.empty() ? ",\n" : "\n");
    std::string after;
    bool first = true;
    for (const auto& e : entries) {
        if (keys.count(e.first)) {
            out += std::string(first ? "" : ",\n") + "    CONSTRAINT " + Bracketed(e.first) +
                   " PRIMARY KEY (" + e.second + ")";
            first = false;
            continue;
        }
        const std::string stored = StoredDefinition(session.connection, "index", e.first);
        const bool unique = LowerText(stored).compare(0, 14, "create unique ") == 0;
        after += std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                 Bracketed(e.first) + " ON " + Bracketed(table) + " (" + e.second + ");\n";
    }
    if (!first)
        out += "\n";
    out += ");\n" + after;
    *text = out;
    return true;
}

}  // namespace

int ShowSchema(Session& session, const std::string& name) {
    VornOleDbTables tables;
    if (!tables.Open(session.connection, nullptr, nullptr, nullptr, nullptr))
        return ReaderFailed("could not read the tables of the source", tables);
    std::vector<std::pair<std::wstring, std::wstring>> objects;  // name, type
    while (tables.FetchNext()) {
        std::wstring table, type;
        tables.GetName(table);
        tables.GetType(type);
        if (table.empty() || IsSystemType(type))
            continue;
        if (!name.empty() && LowerText(Text(table)) != LowerText(name))
            continue;
        objects.push_back({table, type});
    }
    tables.Close();
    if (objects.empty()) {
        ReportError(name.empty() ? "the source has no tables or views"
                                 : "the source has no table or view named '" + name + "'");
        return 1;
    }
    std::string text;
    for (const auto& object : objects) {
        if (!text.empty())
            text += "\n";
        if (object.second == L"VIEW" || object.second == L"PROCEDURE") {
            const std::string definition =
                StoredDefinition(session.connection, "view", object.first);
            if (definition.empty())
                text += "-- the definition of the " + LowerText(Text(object.second)) + " " +
                        Bracketed(object.first) + " is not available from this source\n";
            else
                text += definition + ";\n";
            continue;
        }
        std::string table;
        if (!TableDefinition(session, object.first, &table))
            return 1;
        text += table;
    }
    PagedResult paged(session);
    session.out->Write(text);
    if (!session.out->Flush()) {
        ReportError(session.out->FailureText());
        session.outputBroken = true;
        return 1;
    }
    return 0;
}

std::vector<std::string> CompletionNames(Session& session, const std::string& prefix) {
    static std::set<std::string> names;
    if (session.schemaChanged) {
        names.clear();
        std::set<std::wstring> tables;
        if (UserTableNames(session.connection, &tables)) {
            for (const std::wstring& t : tables) {
                names.insert(Text(t));
                VornOleDbColumns columns;
                if (!columns.Open(session.connection, nullptr, nullptr, t.c_str(), nullptr, false))
                    continue;
                while (columns.FetchNext()) {
                    std::wstring column;
                    columns.GetName(column);
                    names.insert(Text(column));
                }
            }
        }
        session.schemaChanged = false;
    }
    const std::string wanted = LowerText(prefix);
    std::vector<std::string> found;
    for (const std::string& n : names)
        if (LowerText(n.substr(0, wanted.size())) == wanted)
            found.push_back(n);
    return found;
}

}  // namespace vornsql
