// Extended Properties and schema.ini of text folders.
#include "stores/text/text_format.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "vornoledb/platform/text.h"
#include "text_helpers.h"

namespace vorn::provider::stores::text {
namespace {

bool ParseBool(const std::string& value, bool* out) {
    const std::string v = AsciiUpper(TrimSpaces(value));
    if (v == "YES" || v == "TRUE" || v == "1" || v == "-1" || v == "ON") {
        *out = true;
        return true;
    }
    if (v == "NO" || v == "FALSE" || v == "0" || v == "OFF") {
        *out = false;
        return true;
    }
    return false;
}

bool ParseCount(const std::string& value, int* out) {
    const std::string v = TrimSpaces(value);
    if (v.empty() || v.size() > 9 || !std::all_of(v.begin(), v.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        return false;
    *out = std::atoi(v.c_str());
    return true;
}

// The text driver's column types.
bool ColumnType(const std::string& name, int width, sql::JetTypeSpec* spec) {
    const std::string t = AsciiUpper(name);
    using sql::JetType;
    if (t == "TEXT" || t == "CHAR") {
        spec->type = JetType::Text;
        spec->size = width > 0 && width <= 255 ? width : 255;
    } else if (t == "MEMO" || t == "LONGCHAR") {
        spec->type = JetType::Memo;
    } else if (t == "BYTE") {
        spec->type = JetType::Byte;
    } else if (t == "SHORT" || t == "INTEGER") {
        spec->type = JetType::Short;
    } else if (t == "LONG") {
        spec->type = JetType::Long;
    } else if (t == "SINGLE") {
        spec->type = JetType::Single;
    } else if (t == "DOUBLE" || t == "FLOAT") {
        spec->type = JetType::Double;
    } else if (t == "CURRENCY") {
        spec->type = JetType::Currency;
    } else if (t == "DATETIME" || t == "DATE") {
        spec->type = JetType::DateTime;
    } else if (t == "BIT") {
        spec->type = JetType::YesNo;
    } else {
        return false;
    }
    return true;
}

// "Name Type [Width n]" or "\"Name with spaces\" Type [Width n]".
bool ParseColumnEntry(const std::string& value, TextColumnSpec* column, std::string* error) {
    std::string v = TrimSpaces(value);
    std::string name;
    size_t pos = 0;
    if (!v.empty() && (v[0] == '"' || v[0] == '[')) {
        const char close = v[0] == '"' ? '"' : ']';
        const size_t end = v.find(close, 1);
        if (end == std::string::npos) {
            *error = "the column name has no closing " + std::string(1, close);
            return false;
        }
        name = v.substr(1, end - 1);
        pos = end + 1;
    } else {
        pos = v.find_first_of(" \t");
        name = v.substr(0, pos);
        if (pos == std::string::npos)
            pos = v.size();
    }
    std::vector<std::string> words;
    std::string word;
    for (size_t i = pos; i <= v.size(); ++i) {
        if (i == v.size() || v[i] == ' ' || v[i] == '\t') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += v[i];
        }
    }
    if (name.empty()) {
        *error = "the column has no name";
        return false;
    }
    if (words.empty()) {
        *error = "the column '" + name + "' has no type";
        return false;
    }
    int width = 0;
    for (size_t i = 1; i < words.size(); ++i) {
        if (SameAsciiText(words[i], "Width") && i + 1 < words.size() &&
            ParseCount(words[i + 1], &width)) {
            ++i;
            continue;
        }
        *error = "'" + words[i] + "' after the type of the column '" + name +
                 "' is not understood (expected Width n)";
        return false;
    }
    if (!ColumnType(words[0], width, &column->type)) {
        *error = "'" + words[0] +
                 "' is not a column type of text files (Text, Memo, Char, Byte, Short, Integer, "
                 "Long, Single, Double, Float, Currency, DateTime, Date, Bit)";
        return false;
    }
    column->name = Utf8ToWide(name);
    column->width = width;
    return true;
}

}  // namespace

const char* TextTypeName(const sql::JetTypeSpec& spec) {
    switch (spec.type) {
        case sql::JetType::Memo:
            return "Memo";
        case sql::JetType::Byte:
            return "Byte";
        case sql::JetType::Short:
            return "Short";
        case sql::JetType::Long:
        case sql::JetType::Counter:
            return "Long";
        case sql::JetType::Single:
            return "Single";
        case sql::JetType::Double:
        case sql::JetType::Decimal:
            return "Double";
        case sql::JetType::Currency:
            return "Currency";
        case sql::JetType::DateTime:
            return "DateTime";
        case sql::JetType::YesNo:
            return "Bit";
        default:
            return "Text";
    }
}

bool ParseFormatValue(const std::string& value, TextFormat* format) {
    const std::string v = TrimSpaces(value);
    const std::string u = AsciiUpper(v);
    if (u == "DELIMITED" || u == "CSVDELIMITED") {
        format->fixedLength = false;
        format->delimiter = ',';
    } else if (u == "TABDELIMITED") {
        format->fixedLength = false;
        format->delimiter = '\t';
    } else if (u == "FIXEDLENGTH") {
        format->fixedLength = true;
    } else if (u.size() == 12 && u.compare(0, 10, "DELIMITED(") == 0 && u[11] == ')' &&
               v[10] != '"' && static_cast<unsigned char>(v[10]) < 0x80 && v[10] != '\n' &&
               v[10] != '\r') {
        format->fixedLength = false;
        format->delimiter = v[10];
    } else {
        return false;
    }
    return true;
}

std::vector<SchemaIniSection> ParseSchemaIni(std::string_view text) {
    std::vector<SchemaIniSection> sections;
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.remove_prefix(3);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string line = TrimSpaces(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            SchemaIniSection s;
            s.name = TrimSpaces(
                line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            sections.push_back(std::move(s));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || sections.empty())
            continue;
        sections.back().entries.emplace_back(TrimSpaces(line.substr(0, eq)),
                                             TrimSpaces(line.substr(eq + 1)));
    }
    return sections;
}

const SchemaIniSection* FindSection(const std::vector<SchemaIniSection>& sections,
                                    const std::string& fileName) {
    // The last section of that name counts, as with a key given twice.
    const SchemaIniSection* found = nullptr;
    for (const SchemaIniSection& s : sections)
        if (SameAsciiText(s.name, fileName))
            found = &s;
    return found;
}

bool ApplyExtendedProperties(const std::vector<std::pair<std::wstring, std::wstring>>& items,
                             TextFormat* format, std::wstring* error) {
    for (const auto& [wkey, wvalue] : items) {
        const std::string key = AsciiUpper(WideToUtf8(wkey));
        const std::string value = WideToUtf8(wvalue);
        bool ok = true;
        if (key == "HDR") {
            ok = ParseBool(value, &format->header);
        } else if (key == "FMT") {
            ok = ParseFormatValue(value, format) && !format->fixedLength;
        } else if (key == "MAXSCANROWS") {
            ok = ParseCount(value, &format->maxScanRows);
        } else if (key == "IMEX") {
            int imex = 0;
            ok = ParseCount(value, &imex) && imex <= 2;
            format->imex = imex == 1;
        } else if (key == "CHARACTERSET") {
            ok = ParseCharset(value, &format->charset);
        } else {
            continue;  // other keys are the data source's, or ignored as the driver does
        }
        if (!ok) {
            *error = L"the extended property " + wkey + L"=" + wvalue + L" is not understood";
            return false;
        }
    }
    return true;
}

bool ApplySection(const SchemaIniSection& section, TextFormat* format, std::wstring* error) {
    std::vector<std::pair<int, TextColumnSpec>> columns;
    for (const auto& [key, value] : section.entries) {
        const std::string k = AsciiUpper(key);
        bool ok = true;
        std::string why;
        if (k == "FORMAT") {
            ok = ParseFormatValue(value, format);
        } else if (k == "COLNAMEHEADER") {
            ok = ParseBool(value, &format->header);
        } else if (k == "MAXSCANROWS") {
            ok = ParseCount(value, &format->maxScanRows);
        } else if (k == "CHARACTERSET") {
            ok = ParseCharset(value, &format->charset);
        } else if (k == "DATETIMEFORMAT") {
            format->dateTimeFormat = value;
        } else if (k == "DECIMALSYMBOL") {
            ok = value.size() == 1;
            if (ok)
                format->decimalSymbol = value[0];
        } else if (k == "CURRENCYSYMBOL") {
            format->currencySymbol = value;
        } else if (k.size() > 3 && k.compare(0, 3, "COL") == 0 &&
                   std::all_of(k.begin() + 3, k.end(), [](char c) {
                       return std::isdigit(static_cast<unsigned char>(c));
                   })) {
            int n = 0;
            ok = ParseCount(k.substr(3), &n) && n >= 1;
            TextColumnSpec column;
            if (ok)
                ok = ParseColumnEntry(value, &column, &why);
            else
                why = "columns are numbered from Col1";
            if (ok)
                columns.emplace_back(n, std::move(column));
        } else {
            continue;  // keys of other drivers' settings are ignored
        }
        if (!ok) {
            *error = L"schema.ini, section [" + Utf8ToWide(section.name) + L"]: " +
                     Utf8ToWide(key) + L"=" + Utf8ToWide(value) + L" is not understood" +
                     (why.empty() ? L"" : L": " + Utf8ToWide(why));
            return false;
        }
    }
    std::sort(columns.begin(), columns.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].first != static_cast<int>(i) + 1) {
            *error = L"schema.ini, section [" + Utf8ToWide(section.name) + L"]: Col" +
                     std::to_wstring(i + 1) + L" is missing (columns are numbered without gaps)";
            return false;
        }
    }
    if (!columns.empty()) {
        format->columns.clear();
        for (auto& c : columns)
            format->columns.push_back(std::move(c.second));
    }
    if (format->fixedLength) {
        if (format->columns.empty()) {
            *error = L"schema.ini, section [" + Utf8ToWide(section.name) +
                     L"]: a FixedLength file needs its columns (ColN=name type Width n)";
            return false;
        }
        for (const TextColumnSpec& c : format->columns)
            if (c.width <= 0) {
                *error = L"schema.ini, section [" + Utf8ToWide(section.name) + L"]: the column '" +
                         c.name + L"' of a FixedLength file needs its Width";
                return false;
            }
    }
    return true;
}

std::string FormatSection(const std::string& fileName, const TextFormat& format) {
    std::string s = "[" + fileName + "]\r\n";
    s += format.header ? "ColNameHeader=True\r\n" : "ColNameHeader=False\r\n";
    if (format.delimiter == ',')
        s += "Format=CSVDelimited\r\n";
    else if (format.delimiter == '\t')
        s += "Format=TabDelimited\r\n";
    else
        s += std::string("Format=Delimited(") + format.delimiter + ")\r\n";
    s += std::string("CharacterSet=") + CharsetName(format.charset) + "\r\n";
    for (size_t i = 0; i < format.columns.size(); ++i) {
        const TextColumnSpec& c = format.columns[i];
        const std::string name = WideToUtf8(c.name);
        const bool quote = name.find_first_of(" \t") != std::string::npos;
        s += "Col" + std::to_string(i + 1) + "=" + (quote ? "\"" + name + "\"" : name) + " " +
             TextTypeName(c.type);
        if (c.type.type == sql::JetType::Text)
            s += " Width " + std::to_string(c.type.size);
        s += "\r\n";
    }
    return s;
}

}  // namespace vorn::provider::stores::text
