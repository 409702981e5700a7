// A1-style cell references.
#include "stores/workbook/cell_reference.h"

namespace vorn::provider::stores::workbook {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a row number of 1 to kMaxRows at text[*i], advancing *i.
bool ReadRow(std::string_view text, size_t* i, uint32_t* row) {
    uint64_t value = 0;
    const size_t start = *i;
    while (*i < text.size() && IsDigit(text[*i]) && *i - start < 8)
        value = value * 10 + static_cast<uint64_t>(text[(*i)++] - '0');
    if (*i == start || (*i < text.size() && IsDigit(text[*i])) || value == 0 || value > kMaxRows)
        return false;
    *row = static_cast<uint32_t>(value);
    return true;
}

// One end of an area: a cell, a column or a row. *hasRow / *hasColumn tell which parts
// were there.
bool ReadEnd(std::string_view text, uint32_t* row, uint32_t* column, bool* hasRow,
             bool* hasColumn) {
    size_t i = 0;
    if (i < text.size() && text[i] == '$')
        ++i;
    size_t used = 0;
    *column = ParseColumnLetters(text.substr(i), &used);
    *hasColumn = used > 0;
    if (used > 0 && *column == 0)
        return false;
    i += used;
    if (i < text.size() && text[i] == '$') {
        if (!*hasColumn)
            return false;
        ++i;
    }
    *hasRow = i < text.size();
    if (*hasRow && !ReadRow(text, &i, row))
        return false;
    return i == text.size() && (*hasRow || *hasColumn);
}

}  // namespace

std::string ColumnLetters(uint32_t column) {
    std::string letters;
    while (column > 0) {
        const uint32_t d = (column - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + d));
        column = (column - 1) / 26;
    }
    return letters;
}

uint32_t ParseColumnLetters(std::string_view text, size_t* used) {
    uint32_t column = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            break;
        if (i >= 3) {
            *used = i + 1;
            return 0;
        }
        column = column * 26 + static_cast<uint32_t>(c - 'A' + 1);
        ++i;
    }
    *used = i;
    return column <= kMaxColumns ? column : 0;
}

bool ParseCellReference(std::string_view text, uint32_t* row, uint32_t* column) {
    bool hasRow = false, hasColumn = false;
    return ReadEnd(text, row, column, &hasRow, &hasColumn) && hasRow && hasColumn;
}

bool ParseArea(std::string_view text, CellArea* area) {
    const size_t colon = text.find(':');
    const std::string_view first = text.substr(0, colon);
    const std::string_view second =
        colon == std::string_view::npos ? first : text.substr(colon + 1);
    uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    bool hasRow1 = false, hasColumn1 = false, hasRow2 = false, hasColumn2 = false;
    if (!ReadEnd(first, &r1, &c1, &hasRow1, &hasColumn1) ||
        !ReadEnd(second, &r2, &c2, &hasRow2, &hasColumn2) || hasRow1 != hasRow2 ||
        hasColumn1 != hasColumn2)
        return false;
    if (colon == std::string_view::npos && !(hasRow1 && hasColumn1))
        return false;
    if (!hasRow1) {
        r1 = 1;
        r2 = kMaxRows;
    }
    if (!hasColumn1) {
        c1 = 1;
        c2 = kMaxColumns;
    }
    area->firstRow = r1 < r2 ? r1 : r2;
    area->lastRow = r1 < r2 ? r2 : r1;
    area->firstColumn = c1 < c2 ? c1 : c2;
    area->lastColumn = c1 < c2 ? c2 : c1;
    return true;
}

bool ParseSheetArea(std::string_view text, std::string* sheet, CellArea* area) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '=')
        text.remove_prefix(1);
    sheet->clear();
    size_t i = 0;
    if (!text.empty() && text.front() == '\'') {
        for (i = 1; i < text.size(); ++i) {
            if (text[i] == '\'') {
                if (i + 1 < text.size() && text[i + 1] == '\'') {
                    *sheet += '\'';
                    ++i;
                    continue;
                }
                break;
            }
            *sheet += text[i];
        }
        if (i >= text.size())
            return false;
        ++i;
        if (i >= text.size() || text[i] != '!')
            return false;
    } else {
        i = text.find('!');
        if (i == std::string_view::npos)
            return false;
        *sheet = std::string(text.substr(0, i));
        // An unquoted sheet name holds no characters that would need the quotes; '[' starts
        // a reference to another workbook.
        if (sheet->empty() || sheet->find_first_of(" [](),;:'\"") != std::string::npos)
            return false;
    }
    return !sheet->empty() && ParseArea(text.substr(i + 1), area);
}

std::string AreaText(const CellArea& area) {
    std::string text = ColumnLetters(area.firstColumn) + std::to_string(area.firstRow);
    if (area.lastRow != area.firstRow || area.lastColumn != area.firstColumn)
        text += ":" + ColumnLetters(area.lastColumn) + std::to_string(area.lastRow);
    return text;
}

}  // namespace vorn::provider::stores::workbook
