// Reading a large .xlsx sheet whole through a workbook data source, in one run against two
// baselines over the same file:
//   - the floor: the sheet's zip entry inflated by libzip and walked by expat, with handlers
//     that only count rows and the bytes of the cells' text;
//   - openpyxl in read-only mode (Debian's python3-openpyxl), every row's values.
// The library reads SELECT * FROM [Sheet1$] with every field through
// VornOleDbCommand::FieldAsString. Prints rows/s, the ratios, and the peak memory of the
// library's read (the sheet is streamed: the peak should not grow with the rows).
//   xlsx [ROWS] [FOLDER]    (defaults 100000 and a new folder under $TMPDIR or /tmp)
//
// The generated sheet has ten columns as Excel writes them: numbers, shared strings, a
// formula with its cached text, a date with a date style, a boolean, inline strings.
#include <expat.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "vornoledb/vornoledb.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

const char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char kRel[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

const char* const kCities[] = {"Aberdeen", "Basel", "Cork",    "Dresden", "Espoo",
                               "Firenze",  "Graz",  "Haarlem", "Izmir",   "Jena"};
constexpr int kNames = 500;
constexpr int kCityCount = sizeof kCities / sizeof kCities[0];

// The sheet's XML written to path: a header row of shared strings, then rows of ten cells.
bool WriteSheet(const std::string& path, long rows) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::fprintf(out,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                 "<worksheet xmlns=\"%s\" xmlns:r=\"%s\"><dimension ref=\"A1:J%ld\"/>"
                 "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
                 "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData>",
                 kMain, kRel, rows + 1);
    std::fprintf(out, "<row r=\"1\" spans=\"1:10\">");
    for (int c = 0; c < 10; ++c)
        std::fprintf(out, "<c r=\"%c1\" t=\"s\"><v>%d</v></c>", 'A' + c, c);
    std::fprintf(out, "</row>");
    char line[1024];
    for (long i = 1; i <= rows; ++i) {
        const long r = i + 1;
        const int n = std::snprintf(
            line, sizeof line,
            "<row r=\"%ld\" spans=\"1:10\">"
            "<c r=\"A%ld\"><v>%ld</v></c>"
            "<c r=\"B%ld\" t=\"str\"><f>\"P-\"&amp;TEXT(A%ld,\"00000000\")</f><v>P-%08ld</v></c>"
            "<c r=\"C%ld\" t=\"s\"><v>%ld</v></c>"
            "<c r=\"D%ld\" s=\"2\"><v>%ld.%02ld</v></c>"
            "<c r=\"E%ld\"><v>%ld</v></c>"
            "<c r=\"F%ld\" s=\"1\"><v>%ld</v></c>"
            "<c r=\"G%ld\" t=\"b\"><v>%d</v></c>"
            "<c r=\"H%ld\"><v>%.15g</v></c>"
            "<c r=\"I%ld\" t=\"s\"><v>%ld</v></c>"
            "<c r=\"J%ld\" t=\"inlineStr\"><is><t>remark %ld &amp; more</t></is></c>"
            "</row>",
            r, r, i, r, r, i, r, 10 + i % kNames, r, i % 5000, i % 100, r, i % 997, r,
            36526 + i % 9000, r, static_cast<int>(i % 3 == 0), r, 1.0 / static_cast<double>(i), r,
            10 + kNames + i % kCityCount, r, i);
        std::fwrite(line, 1, static_cast<size_t>(n), out);
    }
    std::fprintf(out,
                 "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" "
                 "bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/></worksheet>");
    return std::fclose(out) == 0;
}

bool AddText(zip_t* z, const char* name, const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size()));
    if (!copy)
        return false;
    std::copy(text.begin(), text.end(), copy);
    zip_source_t* s = zip_source_buffer(z, copy, text.size(), 1);
    if (!s || zip_file_add(z, name, s, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(s);
        return false;
    }
    return true;
}

// The workbook: the generated sheet and the parts Excel writes beside it.
bool Generate(const std::string& book, const std::string& sheetXml, long rows) {
    if (!WriteSheet(sheetXml, rows))
        return false;
    int code = 0;
    zip_t* z = zip_open(book.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z)
        return false;
    const std::string m = kMain, r = kRel;
    std::string strings;
    int count = 0;
    auto item = [&](const std::string& s) {
        strings += "<si><t>" + s + "</t></si>";
        ++count;
    };
    for (const char* h :
         {"id", "code", "name", "price", "qty", "made", "ok", "ratio", "city", "note"})
        item(h);
    for (int i = 0; i < kNames; ++i)
        item("part name " + std::to_string(i));
    for (const char* c : kCities)
        item(c);
    bool ok =
        AddText(z, "[Content_Types].xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                "<Default Extension=\"rels\" ContentType=\"application/"
                "vnd.openxmlformats-package.relationships+xml\"/>"
                "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
                "</Types>") &&
        AddText(z, "_rels/.rels",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                "<Relationships "
                "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                "<Relationship Id=\"rId1\" Type=\"" +
                    r + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>") &&
        AddText(z, "xl/workbook.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                "<workbook xmlns=\"" +
                    m + "\" xmlns:r=\"" + r +
                    "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
                    "</workbook>") &&
        AddText(z, "xl/_rels/workbook.xml.rels",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                "<Relationships "
                "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                "<Relationship Id=\"rId1\" Type=\"" +
                    r +
                    "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                    "<Relationship Id=\"rId2\" Type=\"" +
                    r +
                    "/styles\" Target=\"styles.xml\"/>"
                    "<Relationship Id=\"rId3\" Type=\"" +
                    r + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>") &&
        AddText(z, "xl/styles.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                "<styleSheet xmlns=\"" +
                    m +
                    "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
                    "</fonts><fills count=\"1\"><fill><patternFill patternType=\"none\"/></fill>"
                    "</fills><borders count=\"1\"><border/></borders>"
                    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\"/></cellStyleXfs>"
                    "<cellXfs count=\"3\"><xf numFmtId=\"0\" xfId=\"0\"/>"
                    "<xf numFmtId=\"14\" xfId=\"0\" applyNumberFormat=\"1\"/>"
                    "<xf numFmtId=\"2\" xfId=\"0\" applyNumberFormat=\"1\"/></cellXfs>"
                    "</styleSheet>") &&
        AddText(z, "xl/sharedStrings.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                "<sst xmlns=\"" +
                    m + "\" count=\"" + std::to_string(count) + "\" uniqueCount=\"" +
                    std::to_string(count) + "\">" + strings + "</sst>");
    zip_source_t* sheet = ok ? zip_source_file(z, sheetXml.c_str(), 0, -1) : nullptr;
    ok = sheet && zip_file_add(z, "xl/worksheets/sheet1.xml", sheet, 0) >= 0;
    if (!ok) {
        zip_source_free(sheet);
        zip_discard(z);
        return false;
    }
    ok = zip_close(z) == 0;
    ::unlink(sheetXml.c_str());
    return ok;
}

// The floor: the sheet's entry inflated in 256 KiB pieces and parsed by expat; the handlers
// count rows and the bytes of character data.
struct Walk {
    long rows = 0;
    size_t bytes = 0;
};

long Floor(const std::string& book, size_t* bytes) {
    int code = 0;
    zip_t* z = zip_open(book.c_str(), ZIP_RDONLY, &code);
    if (!z)
        return -1;
    zip_file_t* f = zip_fopen(z, "xl/worksheets/sheet1.xml", 0);
    XML_Parser parser = XML_ParserCreate(nullptr);
    Walk walk;
    XML_SetUserData(parser, &walk);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char**) {
            if (name[0] == 'r' && name[1] == 'o' && name[2] == 'w' && name[3] == 0)
                ++static_cast<Walk*>(data)->rows;
        },
        [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char*, int length) {
        static_cast<Walk*>(data)->bytes += static_cast<size_t>(length);
    });
    const int chunk = 256 * 1024;
    bool ok = f != nullptr;
    while (ok) {
        void* buffer = XML_GetBuffer(parser, chunk);
        const zip_int64_t n = zip_fread(f, buffer, chunk);
        ok = n >= 0 && XML_ParseBuffer(parser, static_cast<int>(n), n == 0) == XML_STATUS_OK;
        if (n == 0)
            break;
    }
    XML_ParserFree(parser);
    if (f)
        zip_fclose(f);
    zip_discard(z);
    *bytes = walk.bytes;
    return ok ? walk.rows - 1 : -1;  // the header row is no row
}

// openpyxl in read-only mode, timed inside Python (the interpreter's start is not counted).
// Prints "ROWS SECONDS", or nothing when openpyxl is missing.
bool Openpyxl(const std::string& book, long* rows, double* seconds) {
    const char* script =
        "import sys, time\n"
        "try:\n"
        "    from openpyxl import load_workbook\n"
        "except ImportError:\n"
        "    sys.exit(3)\n"
        "start = time.perf_counter()\n"
        "book = load_workbook(sys.argv[1], read_only=True)\n"
        "rows = -1\n"
        "cells = 0\n"
        "for row in book[\"Sheet1\"].iter_rows(values_only=True):\n"
        "    rows += 1\n"
        "    for v in row:\n"
        "        if v is not None:\n"
        "            cells += 1\n"
        "book.close()\n"
        "print(rows, time.perf_counter() - start)\n";
    // Debian's interpreter, which python3-openpyxl is installed for, before any other.
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        const std::string command =
            std::string(python) + " -c '" + script + "' '" + book + "' 2>/dev/null";
        std::FILE* p = ::popen(command.c_str(), "r");
        if (!p)
            continue;
        const int got = std::fscanf(p, "%ld %lf", rows, seconds);
        const int rc = ::pclose(p);
        if (got == 2 && rc == 0)
            return true;
    }
    return false;
}

// The library: a data source over the workbook, SELECT * of the sheet and every field of
// every row as text. The seconds it took (opening the data source included), or -1.
double LibraryRead(const std::string& book, long* rows, size_t* characters) {
    const auto start = Clock::now();
    std::wstring init;
    const std::wstring bookW(book.begin(), book.end());
    VornOleDbHelper::FormatConnectString(init, bookW.c_str(), nullptr, nullptr,
                                         L"Microsoft.ACE.OLEDB.12.0",
                                         L"Extended Properties='Excel 12.0 Xml;HDR=Yes'", nullptr);
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != S_OK) {
        std::fprintf(stderr, "could not open %s: %ls\n", book.c_str(),
                     connection.GetErrorInfo(true).c_str());
        return -1;
    }
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(L"SELECT * FROM [Sheet1$]");
    if (command.Execute() != VornOleDbCommand::dbOK) {
        std::fprintf(stderr, "SELECT failed: %ls\n", command.GetErrorText().c_str());
        return -1;
    }
    *rows = 0;
    *characters = 0;
    const unsigned long columns = command.GetColumnCount();
    while (command.FetchNext() == VornOleDbCommand::dbOK) {
        for (unsigned long c = 1; c <= columns; ++c)
            *characters += command.FieldAsString(c).size();
        ++*rows;
    }
    command.Close();
    connection.Close();
    return Seconds(start);
}

// The process's resident memory now and at its peak since the peak was last reset, in KiB.
long StatusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::atol(line.c_str() + key.size());
    return -1;
}

bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

void Report(const char* what, long rows, double seconds, double floorSeconds) {
    std::printf("%-40s %8.2f s %10.0f rows/s   %5.2f of the floor\n", what, seconds, rows / seconds,
                floorSeconds / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vorn-xlsx-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
    }
    const std::string book = folder + "/bench.xlsx";
    std::printf("generating %ld rows of 10 columns in %s ...\n", rows, book.c_str());
    if (!Generate(book, folder + "/sheet1.xml", rows)) {
        std::fprintf(stderr, "could not write %s\n", book.c_str());
        return 1;
    }
    struct stat st {};
    ::stat(book.c_str(), &st);
    std::printf("%.1f MB workbook\n\n", static_cast<double>(st.st_size) / (1024.0 * 1024.0));

    // Each side runs several times (once on large sheets) and its fastest run counts; a
    // first pass brings the file into the page cache for every reader alike.
    const int runs = rows <= 200000 ? 3 : 1;
    size_t bytes = 0;
    Floor(book, &bytes);
    long floorRows = 0;
    double floorSeconds = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        floorRows = Floor(book, &bytes);
        floorSeconds = std::min(floorSeconds, Seconds(start));
    }
    if (floorRows != rows)
        std::fprintf(stderr, "the floor's walk found %ld rows, not %ld\n", floorRows, rows);
    Report("floor (libzip + expat, counting)", floorRows, floorSeconds, floorSeconds);

    const long rssBefore = StatusKib("VmRSS");
    const bool peakReset = ResetPeak();
    long read = 0;
    size_t characters = 0;
    double librarySeconds = 1e30;
    long peak = 0;
    for (int i = 0; i < runs; ++i) {
        const double seconds = LibraryRead(book, &read, &characters);
        if (seconds < 0)
            return 1;
        librarySeconds = std::min(librarySeconds, seconds);
        if (i == 0)
            peak = StatusKib("VmHWM");
    }
    if (read != rows)
        std::fprintf(stderr, "the library read %ld rows, not %ld\n", read, rows);
    Report("VornOleDb every field FieldAsString", read, librarySeconds, floorSeconds);

    long pyRows = 0;
    double pySeconds = 1e30;
    bool havePython = false;
    for (int i = 0; i < runs; ++i) {
        double seconds = 0;
        if (!Openpyxl(book, &pyRows, &seconds))
            break;
        havePython = true;
        pySeconds = std::min(pySeconds, seconds);
    }
    if (havePython) {
        if (pyRows != rows)
            std::fprintf(stderr, "openpyxl read %ld rows, not %ld\n", pyRows, rows);
        Report("openpyxl read-only (values_only)", pyRows, pySeconds, floorSeconds);
    } else {
        std::printf("openpyxl: not installed (apt-get install python3-openpyxl)\n");
    }

    std::printf("\nthe library: %.2f of the floor (target 0.5)", floorSeconds / librarySeconds);
    if (havePython)
        std::printf(", %.2f x openpyxl (target 5)", pySeconds / librarySeconds);
    std::printf("\n");
    if (peakReset)
        std::printf("memory: %.1f MiB resident before the library's read, %.1f MiB at its peak\n",
                    rssBefore / 1024.0, peak / 1024.0);
    std::printf("(%zu characters read; %zu bytes of character data in the floor's walk)\n",
                characters, bytes);
    if (argc <= 2) {
        ::unlink(book.c_str());
        ::rmdir(folder.c_str());
    }
    return 0;
}
