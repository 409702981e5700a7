// The SQL of saved queries rebuilt from rows of MSysQueries as Access writes them (the rows
// below are those of queries of the Northwind sample and of jackcess' query test file).
#include <gtest/gtest.h>

#include "stores/access/access_queries.h"

namespace vorn::provider::stores::access {
namespace {

QueryRow Row(int attribute, std::optional<int> flag, std::string name1, std::string name2,
             std::string expression) {
    QueryRow r;
    r.attribute = attribute;
    r.flag = flag;
    r.name1 = std::move(name1);
    r.name2 = std::move(name2);
    r.expression = std::move(expression);
    return r;
}

std::string Sql(const std::vector<QueryRow>& rows) {
    std::string sql, why;
    EXPECT_TRUE(BuildQuerySql(rows, &sql, &why)) << why;
    return sql;
}

TEST(AccessQueries, JoinsNestAndASecondConditionBetweenJoinedTablesIsAdded) {
    const std::vector<QueryRow> rows = {
        Row(1, 1, "", "", ""),
        Row(3, 2, "", "", ""),
        Row(5, {}, "Table1", "", ""),
        Row(5, {}, "Table2", "", ""),
        Row(5, {}, "Table3", "", ""),
        Row(6, 0, "", "", "Table1.*"),
        Row(6, 0, "Total", "", "Table2.col1"),
        Row(7, 2, "Table1", "Table3", "Table1.col1 = Table3.col1"),
        Row(7, 1, "Table3", "Table2", "Table3.col1 = Table2.col1"),
        Row(7, 1, "Table3", "Table2", "Table3.col1 = Table2.col2"),
        Row(8, {}, "", "", "Table2.col2 = 'foo'"),
        Row(11, {}, "D", "", "Table2.col1"),
        Row(11, {}, "", "", "Table1.col1"),
    };
    EXPECT_EQ(Sql(rows),
              "SELECT DISTINCT Table1.*, Table2.col1 AS [Total] FROM (([Table1] LEFT JOIN "
              "[Table3] ON Table1.col1 = Table3.col1) INNER JOIN [Table2] ON (Table3.col1 = "
              "Table2.col1) AND (Table3.col1 = Table2.col2)) WHERE Table2.col2 = 'foo' ORDER BY "
              "Table2.col1 DESC, Table1.col1");
}

TEST(AccessQueries, AliasesSubqueriesTopGroupingAndHaving) {
    EXPECT_EQ(Sql({Row(5, {}, "Products", "Product_List", ""),
                   Row(6, 0, "", "", "Product_List.ProductName"), Row(3, 16, "10", "", ""),
                   Row(11, {}, "d", "", "Product_List.UnitPrice")}),
              "SELECT TOP 10 Product_List.ProductName FROM [Products] AS [Product_List] ORDER BY "
              "Product_List.UnitPrice DESC");
    EXPECT_EQ(
        Sql({Row(5, {}, "", "u", "SELECT City FROM Customers UNION SELECT City FROM Suppliers"),
             Row(6, 0, "", "", "u.City")}),
        "SELECT u.City FROM (SELECT City FROM Customers UNION SELECT City FROM Suppliers) AS "
        "[u]");
    EXPECT_EQ(Sql({Row(5, {}, "Order Details", "", ""), Row(6, 0, "", "", "OrderID"),
                   Row(6, 0, "Subtotal", "", "Sum(UnitPrice)"), Row(9, 0, "", "", "OrderID"),
                   Row(10, {}, "", "", "Sum(UnitPrice) > 10")}),
              "SELECT OrderID, Sum(UnitPrice) AS [Subtotal] FROM [Order Details] GROUP BY OrderID "
              "HAVING Sum(UnitPrice) > 10");
}

TEST(AccessQueries, UnionsAndTheKindsThatAreNoViews) {
    EXPECT_EQ(Sql({Row(1, 9, "", "", ""), Row(3, 1, "", "", ""),
                   Row(5, {}, "", "X7YZ_____1", "SELECT a FROM t"),
                   Row(5, {}, "", "X7YZ_____2", "SELECT a FROM u")}),
              "SELECT a FROM t UNION ALL SELECT a FROM u");
    std::string sql, why;
    EXPECT_FALSE(BuildQuerySql({Row(1, 4, "", "", ""), Row(5, {}, "Table1", "", "")}, &sql, &why));
    EXPECT_EQ(KindOfQuery({Row(1, 4, "", "", "")}), QueryKind::Update);
    EXPECT_FALSE(BuildQuerySql({Row(2, 10, "CustomerID", "", ""), Row(5, {}, "Orders", "", ""),
                                Row(6, 0, "", "", "OrderID")},
                               &sql, &why));
    EXPECT_EQ(why, "it takes parameters");
    EXPECT_FALSE(BuildQuerySql({}, &sql, &why));
}

}  // namespace
}  // namespace vorn::provider::stores::access
