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
        "[\"1\", \"a,b\", \"\", \"00ff10\", \"1.2500\", \"2.5\", \"-1\", "
        "\"2024-01-05 10:30:00\"], "
        "[\"2\", \"say \\\"hi\\\"\", \"line1\\nline2\", \"" +
            zeros +
            "\", \"\", \"-0.5\", \"0\", \"2024-01-05\"], "
            "[\"3\", \"\", \" padded \", \"\", \"0.0000\", \"\", \"\", \"\"], "
            "[\"4\", \"\", \"G\xC3\xB6teborg \xE2\x9C\x93 tab\\tend\\\\\", \"\", \"-3.5000\", "
            "\"1e-07\", \"0\", \"\"]]\n",
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
        "{\"B\": null, \"D\": null, \"F\": 1e-07, \"ID\": 4, "
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

// Reads vornsql's output of "SELECT * FROM Extremes ORDER BY K" (csv, tsv or json, named by
// argv[2]) from standard input and compares every value with the database itself (argv[1],
// read by Python's sqlite3 module): doubles equal, with the sign of zero; binary values as
// their hexadecimal digits. Prints "same" or the first difference.
const char kCompareExtremes[] =
    "import csv, io, json, math, sqlite3, sys\n"
    "db, fmt = sys.argv[1], sys.argv[2]\n"
    "stored = sqlite3.connect(db).execute('SELECT K, F, S FROM Extremes ORDER BY K').fetchall()\n"
    "text = sys.stdin.buffer.read().decode('utf-8')\n"
    "if fmt == 'json':\n"
    "    rows = [(r['K'], r['F'], r['S']) for r in json.loads(text)]\n"
    "else:\n"
    "    if fmt == 'csv':\n"
    "        lines = list(csv.reader(io.StringIO(text, newline='')))\n"
    "    else:\n"
    "        lines = [l.split('\\t') for l in text.splitlines()]\n"
    "    null = '' if fmt == 'csv' else '\\\\N'\n"
    "    rows = [(int(k), float(f), None if s == null else s) for k, f, s in lines[1:]]\n"
    "for (k, f, s), (sk, sf, ss) in zip(rows, stored):\n"
    "    if k != sk or f != sf or math.copysign(1, f) != math.copysign(1, sf):\n"
    "        print('row', sk, 'double', repr(f), 'stored', repr(sf)); sys.exit(0)\n"
    "    if (s is None) != (ss is None) or (s is not None and bytes.fromhex(s) != ss):\n"
    "        print('row', sk, 'binary', s, 'stored', ss); sys.exit(0)\n"
    "print('same' if len(rows) == len(stored) else 'count %d of %d' % (len(rows), len(stored)))\n";

TEST_F(VornsqlFormatsTest, ExportsCarryEveryDigitOfDoublesAndTheBytesOfShortBinary) {
    RunSql(db,
           "CREATE TABLE Extremes (K LONG, F DOUBLE, S BINARY(4));"
           "INSERT INTO Extremes VALUES (1, 1e-300, X'00ff10'), (2, 0.1, X'01020304'), "
           "(3, 9007199254740993.0, NULL), (4, -0.0, X'00'), (5, 123456.7890123, X'7f'), "
           "(6, 1.7976931348623157e308, NULL), (7, 5e-324, NULL), (8, 0.000000001, NULL);");
    for (const char* format : {"csv", "tsv", "json"}) {
        ProcessResult r = Run(format, "SELECT * FROM Extremes ORDER BY K");
        ASSERT_EQ(0, r.status) << format << ": " << r.err;
        EXPECT_EQ("", r.err) << format;  // no warning about binary values any more
        ProcessResult same =
            vorn::test::RunProgram("python3", {"-c", kCompareExtremes, db, format}, r.out);
        EXPECT_EQ("same\n", same.out) << format << ": " << same.err << r.out;
    }
    // Shortest texts, not six decimals (the sample's order totals showed 1062.400000); a
    // negative zero computed by a query keeps its sign (SQLite stores -0.0 as 0).
    ProcessResult csv = Run("csv", "SELECT F FROM Extremes WHERE K IN (1, 3, 8) ORDER BY K");
    EXPECT_EQ("F\r\n1e-300\r\n9007199254740992\r\n1e-09\r\n", csv.out);
    ProcessResult zero = Run("json", "SELECT -0.0 AS z, 0.0 AS p");
    EXPECT_EQ("[\n  {\"z\": -0.0, \"p\": 0}\n]\n", zero.out);
    // The table shows the same digits, and binary values by their size.
    ProcessResult table = Run("table", "SELECT F, S FROM Extremes WHERE K = 2");
    EXPECT_EQ(" F   | S\n-----+------------------\n 0.1 | <binary 4 bytes>\n(1 row)\n", table.out);
}

}  // namespace

#endif  // VORNSQL_PATH
