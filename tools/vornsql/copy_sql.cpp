// SQL of the copy target.
#include "copy_sql.h"

#include <cwctype>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

namespace vornsql {
namespace {

std::wstring Lower(const std::wstring& s) {
    std::wstring out = s;
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"'";
    for (wchar_t c : text) {
        if (c == L'\'')
            out += L'\'';
        out += c;
    }
    return out + L"'";
}

std::wstring Num(unsigned long n) {
    return std::to_wstring(n);
}

std::wstring PgType(const CopyColumn& c) {
    switch (c.type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
        case DBTYPE_I2:
            return L"smallint";
        case DBTYPE_UI2:
        case DBTYPE_I4:
            return L"integer";
        case DBTYPE_UI4:
        case DBTYPE_I8:
            return L"bigint";
        case DBTYPE_UI8:
            return L"numeric(20,0)";
        case DBTYPE_R4:
            return L"real";
        case DBTYPE_R8:
            return L"double precision";
        case DBTYPE_CY:
            return L"money";
        case DBTYPE_NUMERIC:
        case DBTYPE_DECIMAL:
            if (c.precision >= 1 && c.precision <= 1000 && c.scale <= c.precision)
                return L"numeric(" + Num(c.precision) + L"," + Num(c.scale) + L")";
            return L"numeric";
        case DBTYPE_BOOL:
            return L"boolean";
        case DBTYPE_DATE:
        case DBTYPE_DBTIMESTAMP:
            return L"timestamp";
        case DBTYPE_DBDATE:
            return L"date";
        case DBTYPE_GUID:
            return L"uuid";
        case DBTYPE_BYTES:
            return L"bytea";
        default:
            if (c.isLong || c.maxLength == 0 || c.maxLength > 10485760)
                return L"text";
            return L"varchar(" + Num(c.maxLength) + L")";
    }
}

std::wstring JetType(const CopyColumn& c) {
    if (c.identity)
        return L"COUNTER(" + std::to_wstring(c.seed) + L", " + std::to_wstring(c.increment) + L")";
    switch (c.type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
            return L"BYTE";
        case DBTYPE_I2:
            return L"SHORT";
        case DBTYPE_UI2:
        case DBTYPE_I4:
            return L"LONG";
        case DBTYPE_UI4:
        case DBTYPE_I8:
        case DBTYPE_UI8:
            return L"BIGINT";
        case DBTYPE_R4:
            return L"SINGLE";
        case DBTYPE_R8:
            return L"DOUBLE";
        case DBTYPE_CY:
            return L"CURRENCY";
        case DBTYPE_NUMERIC:
        case DBTYPE_DECIMAL:
            if (c.precision >= 1 && c.precision <= 28 && c.scale <= c.precision)
                return L"DECIMAL(" + Num(c.precision) + L", " + Num(c.scale) + L")";
            return L"DOUBLE";
        case DBTYPE_BOOL:
            // A Yes/No column holds no NULL (the engine stores No instead): a source column
            // that may hold NULL (a sheet's blank cells) keeps its values -1, 0 and NULL as
            // a SMALLINT.
            return c.nullable ? L"SMALLINT" : L"YESNO";
        case DBTYPE_DATE:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIMESTAMP:
            return L"DATETIME";
        case DBTYPE_GUID:
            return L"GUID";
        case DBTYPE_BYTES:
            if (c.isLong || c.maxLength == 0 || c.maxLength > 8000)
                return L"LONGBINARY";
            return L"BINARY(" + Num(c.maxLength) + L")";
        default:
            if (c.isLong || c.maxLength == 0 || c.maxLength > 8000)
                return L"MEMO";
            return L"TEXT(" + Num(c.maxLength) + L")";
    }
}

std::wstring IndexName(Dialect dialect, const CopyTable& table, const CopyIndex& index) {
    return TargetName(dialect, table.target + L"_" + index.name);
}

bool IsNumberType(unsigned short type) {
    switch (type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_R4:
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_NUMERIC:
        case DBTYPE_DECIMAL:
            return true;
        default:
            return false;
    }
}

// A number as the source wrote it, if it is one: digits, one point, an exponent, a sign.
bool LooksNumeric(const std::wstring& text) {
    if (text.empty())
        return false;
    for (wchar_t c : text)
        if (!std::iswdigit(static_cast<wint_t>(c)) && c != L'.' && c != L'-' && c != L'+' &&
            c != L'e' && c != L'E')
            return false;
    return true;
}

// The default of a column as the target writes it, when it is a plain value; empty for
// an expression (now(), Date(), a sequence) that the other dialect may not read.
std::wstring PlainDefault(Dialect dialect, const CopyColumn& c) {
    std::wstring text = c.defaultText;
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back())))
        text.pop_back();
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.front())))
        text.erase(text.begin());
    if (text.empty() || c.identity)
        return L"";
    if (c.type == DBTYPE_BOOL) {
        const std::wstring lower = Lower(text);
        bool value;
        if (lower == L"0" || lower == L"false" || lower == L"no")
            value = false;
        else if (lower == L"-1" || lower == L"1" || lower == L"true" || lower == L"yes")
            value = true;
        else
            return L"";
        if (dialect == Dialect::PostgreSQL)
            return value ? L"TRUE" : L"FALSE";
        return value ? L"True" : L"False";
    }
    if (LooksNumeric(text))
        return IsNumberType(c.type) ? text : Quoted(text);
    if (text.size() >= 2 && text.front() == L'\'' && text.back() == L'\'') {
        // One quoted text, its inner quotes doubled: the same literal in both dialects.
        const std::wstring inner = text.substr(1, text.size() - 2);
        for (size_t i = 0; i < inner.size(); ++i)
            if (inner[i] == L'\'' && (i + 1 >= inner.size() || inner[++i] != L'\''))
                return L"";
        return text;
    }
    return L"";
}

}  // namespace

std::wstring TargetName(Dialect dialect, const std::wstring& name) {
    if (dialect == Dialect::PostgreSQL) {
        std::wstring out = L"\"";
        for (wchar_t c : Lower(name)) {
            if (c == L'"')
                out += L'"';
            out += c;
        }
        return out + L"\"";
    }
    return L"[" + name + L"]";
}

std::wstring CreateTableSql(Dialect dialect, const CopyTable& table) {
    std::wstring sql = L"CREATE TABLE " + TargetName(dialect, table.target) + L" (";
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const CopyColumn& c = table.columns[i];
        if (i)
            sql += L", ";
        sql += TargetName(dialect, c.name) + L" ";
        if (dialect == Dialect::PostgreSQL) {
            sql += PgType(c);
            if (c.identity)
                sql += L" GENERATED BY DEFAULT AS IDENTITY (START WITH " + std::to_wstring(c.seed) +
                       L" INCREMENT BY " + std::to_wstring(c.increment) + L")";
        } else {
            sql += JetType(c);
        }
        const std::wstring plain = PlainDefault(dialect, c);
        if (!plain.empty())
            sql += L" DEFAULT " + plain;
        if (!c.nullable)
            sql += L" NOT NULL";
    }
    for (const CopyIndex& index : table.indexes) {
        if (!index.primaryKey)
            continue;
        sql += L", PRIMARY KEY (";
        for (size_t k = 0; k < index.columns.size(); ++k)
            sql += (k ? L", " : L"") + TargetName(dialect, index.columns[k].name);
        sql += L")";
        break;
    }
    return sql + L")";
}

std::vector<std::wstring> CreateIndexSql(Dialect dialect, const CopyTable& table) {
    std::vector<std::wstring> out;
    for (const CopyIndex& index : table.indexes) {
        if (index.primaryKey || index.columns.empty())
            continue;
        std::wstring sql = index.unique ? L"CREATE UNIQUE INDEX " : L"CREATE INDEX ";
        sql +=
            IndexName(dialect, table, index) + L" ON " + TargetName(dialect, table.target) + L" (";
        for (size_t k = 0; k < index.columns.size(); ++k) {
            sql += (k ? L", " : L"") + TargetName(dialect, index.columns[k].name);
            if (index.columns[k].descending)
                sql += L" DESC";
        }
        out.push_back(sql + L")");
    }
    return out;
}

std::vector<std::wstring> ContinueIdentitySql(Dialect dialect, const CopyTable& table) {
    std::vector<std::wstring> out;
    if (dialect != Dialect::PostgreSQL)
        return out;
    for (const CopyColumn& c : table.columns) {
        if (!c.identity)
            continue;
        const std::wstring t = TargetName(dialect, table.target);
        const std::wstring col = TargetName(dialect, c.name);
        // Escaped for a literal: the sequence functions take the names as SQL text.
        std::wstring tableText = Quoted(t);
        std::wstring columnText = Quoted(Lower(c.name));
        out.push_back(L"SELECT setval(pg_get_serial_sequence(" + tableText + L", " + columnText +
                      L"), max(" + col + L")) FROM " + t + L" HAVING max(" + col +
                      L") IS NOT NULL");
    }
    return out;
}

bool ValueLiteral(Dialect dialect, const CopyColumn& column, const Cell& cell,
                  std::wstring* literal, std::string* error) {
    const bool pg = dialect == Dialect::PostgreSQL;
    if (cell.null) {
        *literal = L"NULL";
        return true;
    }
    if (!cell.read) {
        *error = "the value could not be read";
        return false;
    }
    const std::wstring text = Utf8ToWide(cell.text);
    switch (column.type) {
        case DBTYPE_BOOL:
            *literal = text == L"0" ? L"FALSE" : L"TRUE";
            return true;
        case DBTYPE_DATE:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIMESTAMP:
            *literal = pg ? Quoted(text) : L"#" + text + L"#";
            return true;
        case DBTYPE_BYTES:
            // The digits of the bytes, as ReadRow gives them.
            *literal = pg ? L"'\\x" + text + L"'" : L"X'" + text + L"'";
            return true;
        default:
            break;
    }
    if (IsNumberType(column.type) && LooksNumeric(text)) {
        *literal = text;
        return true;
    }
    if (pg && text.find(L'\0') != std::wstring::npos) {
        *error = "the text holds a NUL character, which PostgreSQL cannot store in text";
        return false;
    }
    *literal = Quoted(text);
    return true;
}

std::wstring SourceName(Dialect source, const std::wstring& table) {
    if (source == Dialect::PostgreSQL) {
        std::wstring quoted = L"\"";
        for (wchar_t c : table) {
            if (c == L'"')
                quoted += L'"';
            quoted += c;
        }
        return quoted + L"\"";
    }
    return L"[" + table + L"]";
}

std::wstring SelectAllSql(Dialect source, const std::wstring& table) {
    return L"SELECT * FROM " + SourceName(source, table);
}

}  // namespace vornsql
