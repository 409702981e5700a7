#!/usr/bin/env python3
"""Writes mdb_export.tsv: every field of every table of the Access files beside this folder,
as mdb-export (mdbtools 1.0) gives it, for tests/provider/stores/access_store_conformance_test.

One line a field: file, table, row (from 1), column (from 1), value (and first, for each
table, a line of row 0 and column 0 whose value is the number of rows); tab-separated, with
tab, line feed, carriage return and backslash written \\t \\n \\r \\\\. NULL is \\N. Binary
values are hex. \\S marks a field mdbtools is known to get wrong (tests/data/README.md): dates
before 1900 and in 9999, characters beyond the Basic Multilingual Plane, Access 2019's
extended dates, calculated columns, and Jet 3 text of a code page other than its header's;
the tests check those against what the files are documented to hold instead.
Run it from anywhere: python3 make_expected.py
"""
import csv
import io
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
csv.field_size_limit(1 << 30)

# Columns whose every value mdbtools misreads.
CALCULATED = {
    ("calcFieldTestV2010.accdb", "Table1"): {"LastFirst", "LastFirstLen", "MonthlySalary", "IsRich",
        "AllNames", "WeeklySalary", "SalaryTest", "BoolTest", "DecimalTest", "FloatTest", "BigNumTest"},
    ("extDateTestV2019.accdb", "Table1"): {"DateExt", "DateNormalCalc"},
}
WRONG_TABLES = {("charsetGBK.mdb", "table1"), ("testEmoticonsV2010.accdb", "data")}


def escape(value):
    return (value.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r"))


def main():
    out = []
    for folder in sorted(os.listdir(root)):
        path = os.path.join(root, folder)
        if not os.path.isdir(path) or folder == "expected":
            continue
        for name in sorted(os.listdir(path)):
            file = os.path.join(path, name)
            tables = subprocess.run(["mdb-tables", "-1", file], capture_output=True, text=True,
                                    check=True).stdout.split("\n")
            for table in [t for t in tables if t]:
                exported = subprocess.run(
                    ["mdb-export", "-0", "\x01", "-b", "hex", "-D", "%Y-%m-%d %H:%M:%S",
                     "-T", "%Y-%m-%d %H:%M:%S", file, table],
                    capture_output=True, check=True).stdout.decode("utf-8", "replace")
                rows = list(csv.reader(io.StringIO(exported, newline="")))
                header, rows = rows[0], rows[1:]
                out.append("\t".join([f"{folder}/{name}", table, "0", "0", str(len(rows))]))
                wrong = CALCULATED.get((name, table), set())
                for r, row in enumerate(rows, 1):
                    for c, value in enumerate(row, 1):
                        if (name, table) in WRONG_TABLES or header[c - 1] in wrong or \
                                value == "1900-01-00 00:00:00":
                            shown = "\\S"
                        elif value == "\x01":
                            shown = "\\N"
                        else:
                            shown = escape(value)
                        out.append("\t".join([f"{folder}/{name}", table, str(r), str(c), shown]))
    with open(os.path.join(here, "mdb_export.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    print(f"{len(out)} fields", file=sys.stderr)


if __name__ == "__main__":
    main()
