// Statement text of the builder, captured through the virtual command operations, and the
// builder on a real table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_database.h"
#include "vornoledb/ddl_command.h"

namespace {

// Records every statement instead of running it; Execute answers as scripted.
class CapturingBuilder : public VornOleDbDDLCommand {
  public:
    std::vector<std::wstring> statements;
    dbStatus executeResult = dbOK;
    dbStatus fetchResult = dbOK;
    unsigned long columns = 1;
    long count = 0;
    int closes = 0;

    void SetCommandText(const wchar_t* text) override { statements.push_back(text); }
    dbStatus Execute() override { return executeResult; }
    dbStatus FetchNext() override { return fetchResult; }
    unsigned long GetColumnCount() override { return columns; }
    long FieldAsLong(unsigned long) override { return count; }
    void Close() override { ++closes; }

    using VornOleDbDDLCommand::VerifyColumnData;
};

void PartsLists(CapturingBuilder& b) {
    b.SetTable(L"Parts");
    b.AddSearchCol(L"ID", L"%d", 7);
    b.AddColumn(L"Name", L"'%s'", L"Bolt");
    b.AddColumn(L"Qty", L"%d", 12);
}

}  // namespace

TEST(StatementBuilder, TheThreeStatementsOfTheExample) {
    CapturingBuilder b;
    PartsLists(b);
    EXPECT_TRUE(b.Insert());
    EXPECT_TRUE(b.Update());
    EXPECT_TRUE(b.Delete());
    b.AddSearchCol(L"Rev", L"'%s'", L"B");
    EXPECT_TRUE(b.Delete());
    ASSERT_EQ(4u, b.statements.size());
    EXPECT_EQ(L"INSERT INTO Parts (ID, Name, Qty) VALUES (7, 'Bolt', 12)", b.statements[0]);
    EXPECT_EQ(L"UPDATE Parts SET Name = 'Bolt',\nQty = 12 WHERE ID = 7", b.statements[1]);
    EXPECT_EQ(L"DELETE FROM Parts WHERE ID = 7", b.statements[2]);
    EXPECT_EQ(L"DELETE FROM Parts WHERE ID = 7\n AND Rev = 'B'", b.statements[3]);
}

TEST(StatementBuilder, QuotesAreDoubledInsideQuotedValuesOnly) {
    CapturingBuilder b;
    b.SetTable(L"People");
    b.AddColumn(L"Name", L"'%s'", L"O'Brien");
    b.AddColumn(L"Said", L"%s", L"'it''s'");
    b.AddColumn(L"Raw", L"%s", L"O'Brien");
    b.AddColumn(L"Pair", L"%s", L"''");
    b.AddColumn(L"Narrow", L"'%S'", "Ä'x");
    b.Insert();
    EXPECT_EQ(
        L"INSERT INTO People (Name, Said, Raw, Pair, Narrow) VALUES ('O''Brien', 'it''''s', "
        L"O'Brien, '', 'Ä''x')",
        b.statements.back());
}

TEST(StatementBuilder, SameColumnInOtherCaseReplacesTheValueInPlace) {
    CapturingBuilder b;
    b.SetTable(L"T");
    b.AddColumn(L"Name", L"'a'");
    b.AddColumn(L"Qty", L"1");
    b.AddColumn(L"NAME", L"'b'");
    b.Update();
    EXPECT_EQ(L"UPDATE T SET Name = 'b',\nQty = 1 WHERE ", b.statements.back());
}

TEST(StatementBuilder, EmptyAsNullAppliesToLaterValuesOnly) {
    CapturingBuilder b;
    b.SetTable(L"T");
    b.AddColumn(L"A", L"");
    b.AddColumn(L"B", L"''");
    b.EmptyAsNull(true);
    b.AddColumn(L"C", L"");
    b.AddColumn(L"D", L"%s", L"''");
    b.AddColumn(L"E", L"'%s'", L"");
    b.Update();
    EXPECT_EQ(L"UPDATE T SET A = ,\nB = '',\nC = NULL,\nD = NULL,\nE = NULL WHERE ",
              b.statements.back());
    b.Empty();
    EXPECT_TRUE(b.Insert());
    EXPECT_EQ(L"INSERT INTO  () VALUES ()", b.statements.back());
}

TEST(StatementBuilder, InsertWithoutSearchListHasNoLeadingSeparator) {
    CapturingBuilder b;
    b.SetTable(L"T");
    b.AddColumn(L"A", L"%d", 1);
    b.Insert();
    EXPECT_EQ(L"INSERT INTO T (A) VALUES (1)", b.statements.back());
}

TEST(StatementBuilder, UpdateInsertChoosesByTheCount) {
    CapturingBuilder b;
    PartsLists(b);
    b.count = 2;
    EXPECT_TRUE(b.UpdateInsert());
    ASSERT_EQ(2u, b.statements.size());
    EXPECT_EQ(L"SELECT COUNT(*) FROM Parts WHERE ID = 7", b.statements[0]);
    EXPECT_EQ(0u, b.statements[1].rfind(L"UPDATE", 0));
    EXPECT_EQ(1, b.closes);

    for (int variant = 0; variant < 4; ++variant) {
        CapturingBuilder c;
        PartsLists(c);
        c.count = variant == 0 ? 0 : 1;
        if (variant == 1)
            c.fetchResult = VornOleDbCommand::dbFalse;
        if (variant == 2)
            c.columns = 2;
        if (variant == 3)
            c.executeResult = VornOleDbCommand::dbError;
        c.UpdateInsert();
        EXPECT_EQ(0u, c.statements.back().rfind(L"INSERT", 0)) << "variant " << variant;
        EXPECT_EQ(1, c.closes);
    }
}

TEST(StatementBuilder, LongValuesGrowTheBufferAndAreCutAtTheLimit) {
    CapturingBuilder b;
    b.SetTable(L"T");
    std::wstring medium(50000, L'm');
    b.AddColumn(L"M", L"%s", medium.c_str());
    std::wstring huge(300000, L'h');
    b.AddColumn(L"H", L"%s", huge.c_str());
    std::wstring exact(10240, L'e');
    b.AddColumn(L"E", L"%s", exact.c_str());
    b.Insert();
    const std::wstring& s = b.statements.back();
    EXPECT_NE(std::wstring::npos, s.find(L"(" + medium + L", "));
    EXPECT_NE(std::wstring::npos, s.find(L", " + std::wstring(204799, L'h') + L", "));
    EXPECT_EQ(std::wstring::npos, s.find(std::wstring(204800, L'h')));
    EXPECT_NE(std::wstring::npos, s.find(L", " + exact + L")"));
}

TEST(StatementBuilder, VerifyColumnDataLeavesShortAndUnquotedValues) {
    for (const wchar_t* keep : {L"", L"'", L"''", L"abc", L"'abc", L"abc'", L"12"}) {
        std::wstring v = keep;
        CapturingBuilder::VerifyColumnData(v);
        EXPECT_EQ(keep, v);
    }
    std::wstring v = L"'''";
    CapturingBuilder::VerifyColumnData(v);
    EXPECT_EQ(L"''''", v);
}
