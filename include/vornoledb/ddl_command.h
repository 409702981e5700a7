// Writes rows of one table without the host writing SQL: INSERT, UPDATE, DELETE and
// update-or-insert built from column/value lists.
#pragma once

#include <cstdarg>
#include <memory>
#include <string>
#include <vector>

#include "vornoledb/command.h"

// Built on VornOleDbCommand, whose destructor is not virtual (see there).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class VORNOLEDB_API VornOleDbDDLCommand : public VornOleDbCommand {
  public:
    // One column and its value as it will stand in the statement (12, 'Bolt', NULL ...).
    struct _ColValueMap {
        std::wstring m_column;
        std::wstring m_value;
    };
    using ColValueList = std::vector<_ColValueMap>;

    VornOleDbDDLCommand();
    virtual ~VornOleDbDDLCommand();

    void SetTable(const wchar_t* table);
    // Adds or replaces (column names compared without regard to case) a value formatted
    // printf-style with the Windows conventions (%s is a wide string).
    void AddColumn(const wchar_t* column, const wchar_t* format, ...);
    void AddColumnV(const wchar_t* column, const wchar_t* format, va_list args);
    void AddSearchCol(const wchar_t* column, const wchar_t* format, ...);
    void AddSearchColV(const wchar_t* column, const wchar_t* format, va_list args);
    // When set, values added afterwards that are empty or '' become NULL.
    void EmptyAsNull(bool emptyAsNull);
    void Empty();
    void EmptyCols();
    void EmptySearch();

    bool Insert();
    bool Update();
    bool Delete();
    // Update when a row matches the search list, Insert otherwise.
    bool UpdateInsert();

  protected:
    void AddColumnValue(ColValueList& list, const wchar_t* column, const wchar_t* value);
    const std::wstring& GetColList(ColValueList& list, bool append);
    const std::wstring& GetValueList(ColValueList& list, bool append);
    const std::wstring& GetSetList(ColValueList& list);
    const std::wstring& GetWhereList(ColValueList& list);
    void SetNullEmptyCol(std::wstring& value);
    // Doubles the single quotes inside a value wrapped in single quotes.
    static void VerifyColumnData(std::wstring& value);

  private:
    VornOleDbDDLCommand(const VornOleDbDDLCommand&);
    VornOleDbDDLCommand& operator=(const VornOleDbDDLCommand&);

    bool ManageHeap();
    void AddFormatted(ColValueList& list, const wchar_t* column, const wchar_t* format,
                      va_list args);
    bool RunStatement(const wchar_t* format, ...);

    uint32_t m_formatCapacity;
    std::unique_ptr<wchar_t[]> m_formatBuffer;
    ColValueList m_columns;
    ColValueList m_search;
    std::wstring m_table;
    std::wstring m_setText;
    std::wstring m_whereText;
    std::wstring m_colText;
    std::wstring m_valueText;
    bool m_emptyAsNull;
};
#pragma GCC diagnostic pop
