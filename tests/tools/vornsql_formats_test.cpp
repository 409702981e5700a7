// vornsql's output formats, each read back by a reader of that format: CSV by Python's csv
// module, JSON by Python's json module and json.tool, TSV and the table by their text.
#ifdef VORNSQL_PATH

#include <gtest/gtest.h>

#include "support/temp_database.h"
#include "tools/vornsql_process.h"

using vorn::test::Contains;
using vorn::test::ProcessResult;
using vorn::test::RunPython;
using vorn::test::RunSql;
using vorn::test::RunVornsql;
using vorn::test::TempFolder;

namespace {

// Reads CSV from standard input with Python's csv module; prints the rows as JSON.
const char kCsvToJson[] =
    "import csv, io, json, sys\n"
    "text = sys.stdin.buffer.read().decode('utf-8')\n"
    "rows = list(csv.reader(io.StringIO(text, newline='')))\n"
    "print(json.dumps(rows, ensure_ascii=False))\n";

// Reads JSON from standard input; prints it again with sorted keys.
const char kJsonNormalised[] =
    "import json, sys\n"
    "data = json.loads(sys.stdin.buffer.read().decode('utf-8'))\n"
    "print(json.dumps(data, sort_keys=True, ensure_ascii=False))\n";

class VornsqlFormatsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = dir.File("mixed.db");
        // Made with SQLite directly, with values no SQL dialect has to spell: a tab, a line
        // feed, a backslash, binary bytes, a 25000-byte blob.
        RunSql(db,
               "CREATE TABLE Mixed (ID LONG, T TEXT(50), M MEMO, B LONGBINARY, P CURRENCY, "
               "F DOUBLE, Y YESNO, D DATETIME, S BINARY(4));"
               "INSERT INTO Mixed VALUES (1, 'a,b', NULL, X'00ff10', 1.25, 2.5, -1, "
               "'2024-01-05 10:30:00', X'01020304');"
               "INSERT INTO Mixed VALUES (2, 'say \"hi\"', 'line1' || char(10) || 'line2', "
               "zeroblob(25000), NULL, -0.5, 0, '2024-01-05 00:00:00', NULL);"
               "INSERT INTO Mixed VALUES (3, '', ' padded ', NULL, 0, NULL, NULL, NULL, NULL);"
               "INSERT INTO Mixed VALUES (4, NULL, 'G\xC3\xB6teborg \xE2\x9C\x93 tab' || "
               "char(9) || 'end\\', NULL, -3.5, 1e-7, 0, NULL, NULL);");
    }

    ProcessResult Run(const std::string& format, const std::string& sql) {
        return RunVornsql({"--format", format, db, sql});
    }

    TempFolder dir;
    std::string db;
};

TEST_F(VornsqlFormatsTest, CsvReadsBackFieldForFieldAndKeepsNullApartFromEmptyText) {
    ProcessResult r = Run("csv", "SELECT ID, T, M, B, P, F, Y, D FROM Mixed ORDER BY ID");
    ASSERT_EQ(0, r.status) << r.err;
    // RFC 4180 on the wire: CRLF ends records, a quoted field keeps its bare line feed,
    // NULL is an empty field and the empty text is "".
    EXPECT_TRUE(Contains(r.out, "ID,T,M,B,P,F,Y,D\r\n1,\"a,b\",,00ff10,")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\r\n3,\"\",\" padded \",,0.0000,,,\r\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"say \"\"hi\"\"\",\"line1\nline2\"")) << r.out;

    ProcessResult parsed = RunPython(kCsvToJson, r.out);
    ASSERT_EQ(0, parsed.status) << parsed.err;
    const std::string zeros(50000, '0');
    EXPECT_EQ(
        "[[\"ID\", \"T\", \"M\", \"B\", \"P\", \"F\", \"Y\", \"D\"], "
        "[\"1\", \"a,b\", \"\", \"00ff10\", \"1.2500\", \"2.500000\", \"-1\", "
        "\"2024-01-05 10:30:00\"], "
        "[\"2\", \"say \\\"hi\\\"\", \"line1\\nline2\", \"" +
            zeros +
            "\", \"\", \"-0.500000\", \"0\", \"2024-01-05\"], "
            "[\"3\", \"\", \" padded \", \"\", \"0.0000\", \"\", \"\", \"\"], "
            "[\"4\", \"\", \"G\xC3\xB6teborg \xE2\x9C\x93 tab\\tend\\\\\", \"\", \"-3.5000\", "
            "\"0.000000\", \"0\", \"\"]]\n",
        parsed.out);
}

TEST_F(VornsqlFormatsTest, JsonParsesWithNumbersBooleansNullsAndEscapes) {
    ProcessResult r = Run("json",
                          "SELECT ID, T, M, B, P, F, Y, D FROM Mixed WHERE ID <> 2 "
                          "ORDER BY ID");
    ASSERT_EQ(0, r.status) << r.err;
    ProcessResult tool = vorn::test::RunProgram("python3", {"-m", "json.tool"}, r.out);
    EXPECT_EQ(0, tool.status) << tool.err << r.out;

    ProcessResult parsed = RunPython(kJsonNormalised, r.out);
    ASSERT_EQ(0, parsed.status) << parsed.err;
    EXPECT_EQ(
        "[{\"B\": \"00ff10\", \"D\": \"2024-01-05 10:30:00\", \"F\": 2.5, \"ID\": 1, "
        "\"M\": null, \"P\": 1.25, \"T\": \"a,b\", \"Y\": true}, "
        "{\"B\": null, \"D\": null, \"F\": null, \"ID\": 3, \"M\": \" padded \", \"P\": 0.0, "
        "\"T\": \"\", \"Y\": null}, "
        "{\"B\": null, \"D\": null, \"F\": 0.0, \"ID\": 4, "
        "\"M\": \"G\xC3\xB6teborg \xE2\x9C\x93 tab\\tend\\\\\", \"P\": -3.5, \"T\": null, "
        "\"Y\": false}]\n",
        parsed.out);
}

TEST_F(VornsqlFormatsTest, JsonGivesRepeatedNamesTheirOwnKeysAndOneArrayPerStatement) {
    ProcessResult r = RunVornsql({"-f", "json", db, "SELECT 1 AS a, 2 AS a, 3 AS a_2",
                                  "SELECT ID FROM Mixed WHERE ID > 100"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("[\n  {\"a\": 1, \"a_3\": 2, \"a_2\": 3}\n]\n[]\n", r.out);
    ProcessResult quoted = Run("json", "SELECT T AS [we\"ird] FROM Mixed WHERE ID = 2");
    ASSERT_EQ(0, quoted.status) << quoted.err;
    EXPECT_EQ("[\n  {\"we\\\"ird\": \"say \\\"hi\\\"\"}\n]\n", quoted.out);
}

TEST_F(VornsqlFormatsTest, TsvEscapesSeparatorsAndWritesNullAsBackslashN) {
    ProcessResult r = Run("tsv", "SELECT ID, T, M, P FROM Mixed ORDER BY ID");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ(
        "ID\tT\tM\tP\n"
        "1\ta,b\t\\N\t1.2500\n"
        "2\tsay \"hi\"\tline1\\nline2\t\\N\n"
        "3\t\t padded \t0.0000\n"
        "4\t\\N\tG\xC3\xB6teborg \xE2\x9C\x93 tab\\tend\\\\\t-3.5000\n",
        r.out);
    ProcessResult bare = RunVornsql({"-f", "tsv", "--no-header", db,
                                     "SELECT ID FROM Mixed "
                                     "WHERE ID = 1"});
    EXPECT_EQ("1\n", bare.out);
}

TEST_F(VornsqlFormatsTest, TableAlignsColumnsShowsNullAndAbbreviatesLongValues) {
    ProcessResult r = Run("table", "SELECT ID, T, M, B, S FROM Mixed ORDER BY ID");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ(
        " ID | T        | M                    | B                  | S\n"
        "----+----------+----------------------+--------------------+------------------\n"
        "  1 | a,b      | NULL                 | <blob 3 bytes>     | <binary 4 bytes>\n"
        "  2 | say \"hi\" | line1\\nline2         | <blob 25000 bytes> | NULL\n"
        "  3 |          |  padded              | NULL               | NULL\n"
        "  4 | NULL     | G\xC3\xB6teborg \xE2\x9C\x93 tab\\tend\\ | NULL               | NULL\n"
        "(4 rows)\n",
        r.out);

    ProcessResult memo =
        RunVornsql({"-f", "table", db, "SELECT M FROM Mixed WHERE ID = 1",
                    "UPDATE Mixed SET M = '" + std::string(70, 'm') + "' WHERE ID = 1",
                    "SELECT M FROM Mixed WHERE ID = 1"});
    ASSERT_EQ(0, memo.status) << memo.err;
    EXPECT_TRUE(Contains(memo.out, "1 row affected\n")) << memo.out;
    EXPECT_TRUE(Contains(memo.out, std::string(40, 'm') + "... <memo 70 characters>\n"))
        << memo.out;
}

TEST_F(VornsqlFormatsTest, ShortBinaryColumnsAreNamedInAWarningOutsideTheTable) {
    ProcessResult r = Run("csv", "SELECT ID, S FROM Mixed WHERE ID = 1");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("ID,S\r\n1,\r\n", r.out);
    EXPECT_TRUE(Contains(r.err, "warning: column 'S' is a short binary column")) << r.err;
}

}  // namespace

#endif  // VORNSQL_PATH
