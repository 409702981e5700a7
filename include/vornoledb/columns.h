// The columns of one table, read from the provider's COLUMNS schema rowset, with the
// identity (auto-increment) data of the provider's table definition when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vornoledb/schema_reader.h"

class VORNOLEDB_API VornOleDbColumns : public VornOleDbSchemaReader {
  public:
    VornOleDbColumns();
    virtual ~VornOleDbColumns();

    // Opens the COLUMNS rowset of one table (required; sent upper-cased, and matched by
    // the provider without regard to letter case). With readIdentity, the table's
    // definition is read as well, and Open fails when it cannot be (the rowset stays open).
    bool Open(VornOleDbConnection* connection, const wchar_t* catalog, const wchar_t* schema,
              const wchar_t* tableName, const wchar_t* columnName, bool readIdentity);
    // Moves to the next column; every move, the last included, is recorded as the error
    // information.
    bool FetchNext();
    void Close();

    bool GetCatalog(std::wstring& catalog) const;
    bool GetSchema(std::wstring& schema) const;
    bool GetTableName(std::wstring& name) const;
    bool GetName(std::wstring& name) const;
    bool GetDefault(std::wstring& value) const;
    bool GetDescription(std::wstring& description) const;

    // The DBTYPE of the column.
    unsigned short DataType() const;
    bool IsDataType(unsigned short type) const;
    // ORDINAL_POSITION from 1; 0xFFFFFFFF when the reader is closed.
    unsigned long OrdinalPosition() const;
    unsigned long MaxLength() const;
    unsigned long NumericPrecision() const;
    // Widened with its sign, kept to 32 bits (a scale of -1 gives 0xFFFFFFFF).
    unsigned long NumericScale() const;
    unsigned long DateTimePrecision() const;
    // A size for the column by its type: bytes of fixed-size integers, characters of text,
    // digits of numbers, the date-time precision of dates.
    unsigned long Precision() const;
    // The DBCOLUMNFLAGS bits.
    unsigned long Flags() const;
    bool HasDefault() const;
    bool IsNullable() const;

    // Identity data of the current column, from the table definition read by Open; false,
    // -1, -1 without it.
    bool IsIdentity() const;
    int Seed() const;
    int Increment() const;

  protected:
    // Reads the provider's definition of the table into the identity entries.
    long GetExtendedData(VornOleDbConnection* connection, const wchar_t* tableName);

  private:
    VornOleDbColumns(const VornOleDbColumns&);
    VornOleDbColumns& operator=(const VornOleDbColumns&);

    struct IdentityEntry {
        bool identity = false;
        int32_t seed = 0;
        int32_t increment = 1;
    };
    // The entry of the current column, or null.
    const IdentityEntry* CurrentIdentity() const;

    std::vector<IdentityEntry> m_identity;
};
