// The statement builder: column/value lists turned into INSERT, UPDATE and DELETE text.
#include "vornoledb/ddl_command.h"

#include <cwchar>
#include <new>

#include "vornoledb/platform/format.h"

namespace {
constexpr uint32_t kFormatStep = 10240;
constexpr uint32_t kFormatLimit = 204800;
}  // namespace

VornOleDbDDLCommand::VornOleDbDDLCommand() : m_formatCapacity(0), m_emptyAsNull(false) {}

VornOleDbDDLCommand::~VornOleDbDDLCommand() = default;

void VornOleDbDDLCommand::SetTable(const wchar_t* table) {
    m_table = table ? table : L"";
}

bool VornOleDbDDLCommand::ManageHeap() {
    m_formatBuffer.reset();
    m_formatCapacity += kFormatStep;
    m_formatBuffer.reset(new (std::nothrow) wchar_t[m_formatCapacity]);
    return m_formatBuffer != nullptr;
}

void VornOleDbDDLCommand::AddFormatted(ColValueList& list, const wchar_t* column,
                                       const wchar_t* format, va_list args) {
    if (!m_formatBuffer && !ManageHeap())
        return;
    for (;;) {
        m_formatBuffer[0] = 0;
        // The formatter copies the argument list before reading it, so a retry reads the
        // same arguments again.
        int written = VornFormatTruncV(m_formatBuffer.get(), m_formatCapacity, format, args);
        if (written >= 0 && static_cast<uint32_t>(written) < m_formatCapacity)
            break;
        if (m_formatCapacity >= kFormatLimit || !ManageHeap()) {
            // At the limit the text is kept cut to one character less than the capacity.
            if (m_formatBuffer)
                m_formatBuffer[m_formatCapacity - 1] = 0;
            break;
        }
    }
    if (m_formatBuffer)
        AddColumnValue(list, column, m_formatBuffer.get());
}

void VornOleDbDDLCommand::AddColumnV(const wchar_t* column, const wchar_t* format, va_list args) {
    AddFormatted(m_columns, column, format, args);
}

void VornOleDbDDLCommand::AddColumn(const wchar_t* column, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    AddColumnV(column, format, args);
    va_end(args);
}

void VornOleDbDDLCommand::AddSearchColV(const wchar_t* column, const wchar_t* format,
                                        va_list args) {
    AddFormatted(m_search, column, format, args);
}

void VornOleDbDDLCommand::AddSearchCol(const wchar_t* column, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    AddSearchColV(column, format, args);
    va_end(args);
}

void VornOleDbDDLCommand::EmptyAsNull(bool emptyAsNull) {
    m_emptyAsNull = emptyAsNull;
}

void VornOleDbDDLCommand::Empty() {
    m_search.clear();
    m_columns.clear();
    m_table.clear();
}

void VornOleDbDDLCommand::EmptyCols() {
    m_columns.clear();
}

void VornOleDbDDLCommand::EmptySearch() {
    m_search.clear();
}

void VornOleDbDDLCommand::VerifyColumnData(std::wstring& value) {
    if (value.size() < 3 || value.front() != L'\'' || value.back() != L'\'')
        return;
    std::wstring escaped;
    escaped.reserve(value.size() + 8);
    escaped += L'\'';
    for (size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == L'\'')
            escaped += L'\'';
        escaped += value[i];
    }
    escaped += L'\'';
    value.swap(escaped);
}

void VornOleDbDDLCommand::SetNullEmptyCol(std::wstring& value) {
    if (value.empty() || value == L"''")
        value = L"NULL";
}

void VornOleDbDDLCommand::AddColumnValue(ColValueList& list, const wchar_t* column,
                                         const wchar_t* value) {
    // A null column name would make an entry no statement can use: it is ignored.
    if (!column)
        return;
    std::wstring text = value ? value : L"";
    VerifyColumnData(text);
    if (m_emptyAsNull)
        SetNullEmptyCol(text);
    for (_ColValueMap& entry : list) {
        if (wcscasecmp(entry.m_column.c_str(), column) == 0) {
            entry.m_value = std::move(text);
            return;
        }
    }
    list.push_back(_ColValueMap{column, std::move(text)});
}

const std::wstring& VornOleDbDDLCommand::GetColList(ColValueList& list, bool append) {
    if (!append)
        m_colText.clear();
    for (const _ColValueMap& entry : list) {
        if (!m_colText.empty())
            m_colText += L", ";
        m_colText += entry.m_column;
    }
    return m_colText;
}

const std::wstring& VornOleDbDDLCommand::GetValueList(ColValueList& list, bool append) {
    if (!append)
        m_valueText.clear();
    for (const _ColValueMap& entry : list) {
        if (!m_valueText.empty())
            m_valueText += L", ";
        m_valueText += entry.m_value;
    }
    return m_valueText;
}

const std::wstring& VornOleDbDDLCommand::GetSetList(ColValueList& list) {
    m_setText.clear();
    for (const _ColValueMap& entry : list) {
        std::wstring item = VornFormat(L"%s = %s", entry.m_column.c_str(), entry.m_value.c_str());
        if (!m_setText.empty())
            m_setText += L",\n";
        m_setText += item;
    }
    return m_setText;
}

const std::wstring& VornOleDbDDLCommand::GetWhereList(ColValueList& list) {
    m_whereText.clear();
    for (const _ColValueMap& entry : list) {
        std::wstring item = VornFormat(L"%s = %s", entry.m_column.c_str(), entry.m_value.c_str());
        if (!m_whereText.empty())
            m_whereText += L"\n AND ";
        m_whereText += item;
    }
    return m_whereText;
}

bool VornOleDbDDLCommand::RunStatement(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring statement = VornFormatV(format, args);
    va_end(args);
    SetCommandText(statement.c_str());
    return Execute() == dbOK;
}

bool VornOleDbDDLCommand::Insert() {
    GetColList(m_search, false);
    GetValueList(m_search, false);
    GetValueList(m_columns, true);
    GetColList(m_columns, true);
    return RunStatement(L"INSERT INTO %s (%s) VALUES (%s)", m_table.c_str(), m_colText.c_str(),
                        m_valueText.c_str());
}

bool VornOleDbDDLCommand::Update() {
    GetWhereList(m_search);
    GetSetList(m_columns);
    return RunStatement(L"UPDATE %s SET %s WHERE %s", m_table.c_str(), m_setText.c_str(),
                        m_whereText.c_str());
}

bool VornOleDbDDLCommand::Delete() {
    GetWhereList(m_search);
    return RunStatement(L"DELETE FROM %s WHERE %s", m_table.c_str(), m_whereText.c_str());
}

bool VornOleDbDDLCommand::UpdateInsert() {
    GetWhereList(m_search);
    bool exists =
        RunStatement(L"SELECT COUNT(*) FROM %s WHERE %s", m_table.c_str(), m_whereText.c_str()) &&
        FetchNext() == dbOK && GetColumnCount() == 1 && FieldAsLong(1) != 0;
    Close();
    return exists ? Update() : Insert();
}
