// A database made with Jet DDL for the schema readers' tests, and a connection to it.
//
//   Orders     (OrderId COUNTER(100, 10), Code TEXT(50) NOT NULL, Qty LONG DEFAULT 5,
//               Notes MEMO, Placed DATETIME, Weight DOUBLE,
//               CONSTRAINT PK_Orders PRIMARY KEY (OrderId, Code)), UNIQUE INDEX ByCode (Code)
//   Customers  (Id LONG, Name TEXT(80)) without indexes
//   BigOrders  a view over Orders
//   nnn...n    a table whose name has 200 characters
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/jet_sql_file.h"
#include "support/temp_database.h"
#include "vornoledb/connection.h"
#include "vornoledb/platform/text.h"

namespace vorn::test::schema {

inline const std::wstring kLongName(200, L'n');

class SchemaDatabase : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = folder_.File("schema.db");
        RunJetSql(file_,
                  L"CREATE TABLE Orders (OrderId COUNTER(100, 10), Code TEXT(50) NOT NULL, "
                  L"Qty LONG DEFAULT 5, Notes MEMO, Placed DATETIME, Weight DOUBLE, "
                  L"CONSTRAINT PK_Orders PRIMARY KEY (OrderId, Code))");
        RunJetSql(file_, L"CREATE UNIQUE INDEX ByCode ON Orders (Code)");
        RunJetSql(file_, L"CREATE TABLE Customers (Id LONG, Name TEXT(80))");
        RunJetSql(file_, L"CREATE VIEW BigOrders AS SELECT Code, Qty FROM Orders WHERE Qty > 10");
        RunJetSql(file_, L"CREATE TABLE [" + kLongName + L"] (A LONG)");
        ASSERT_EQ(S_OK, connection_.OpenFromInitializationString(ConnectionString(file_), false))
            << WideToUtf8(connection_.GetErrorText());
    }

    TempFolder folder_;
    std::string file_;
    VornOleDbConnection connection_;
};

}  // namespace vorn::test::schema
