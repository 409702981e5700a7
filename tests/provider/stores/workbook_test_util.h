// Helpers of the workbook store tests: a connection to a workbook through the consumer
// library whose results come back as text, and small .xlsx files made from sheet XML.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <map>
#include <string>
#include <vector>

#include "provider/stores/text_store_test_util.h"
#include "support/temp_database.h"
#include "vornoledb/command.h"
#include "vornoledb/connection.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {

using Grid = std::vector<std::vector<std::wstring>>;

inline const std::string kExcelData = std::string(VORN_TESTDATA_DIR) + "/excel";

inline std::string Utf8(const std::wstring& w) {
    return WideToUtf8(w);
}

// Writes an .xlsx whose sheets are given as (name, sheetData XML) pairs; shared strings,
// styles and workbook XML (the part inside <workbook>) may be added.
inline void MakeXlsx(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& sheets,
                     const std::string& sharedStrings = "", const std::string& styles = "",
                     const std::string& workbookExtra = "") {
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    std::vector<std::string> keep;
    keep.reserve(64);
    auto add = [&](const std::string& name, std::string text) {
        keep.push_back(std::move(text));
        zip_source_t* s = zip_source_buffer(z, keep.back().data(), keep.back().size(), 0);
        ASSERT_GE(zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8), 0);
    };
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::string types =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/"
        "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
        "ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    std::string rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "relationships\">";
    std::string list;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        add("xl/worksheets/sheet" + n + ".xml", "<worksheet xmlns=\"" + main + "\"><sheetData>" +
                                                    sheets[i].second + "</sheetData></worksheet>");
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel +
                "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        list +=
            "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    }
    if (!sharedStrings.empty()) {
        add("xl/sharedStrings.xml", "<sst xmlns=\"" + main + "\">" + sharedStrings + "</sst>");
        rels += "<Relationship Id=\"rIdS\" Type=\"" + rel +
                "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    }
    if (!styles.empty()) {
        add("xl/styles.xml", "<styleSheet xmlns=\"" + main + "\">" + styles + "</styleSheet>");
        rels += "<Relationship Id=\"rIdT\" Type=\"" + rel + "/styles\" Target=\"styles.xml\"/>";
    }
    add("[Content_Types].xml", types + "</Types>");
    add("_rels/.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
            rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    add("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    add("xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel + "\">" +
                               workbookExtra + "<sheets>" + list + "</sheets></workbook>");
    ASSERT_EQ(zip_close(z), 0);
}

// Every entry of a zip file with its CRC and size.
inline std::map<std::string, std::pair<uint32_t, uint64_t>> ZipEntries(const std::string& path) {
    std::map<std::string, std::pair<uint32_t, uint64_t>> entries;
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!z)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        if (zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st) == 0)
            entries[st.name] = {st.crc, st.size};
    }
    zip_discard(z);
    return entries;
}

// The text store's fixture gives the folder, the connection, the command, Run and Query;
// this one opens workbooks and reads fields without their trailing blanks.
class WorkbookTest : public TextFolderTest {
  protected:
    static std::wstring ConnectionTo(const std::string& path, const std::wstring& properties) {
        return L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(path) +
               L";Extended Properties=\"" + properties + L"\";";
    }
    bool Open(const std::string& path, const std::wstring& properties = L"Excel 12.0 Xml;HDR=Yes",
              const std::wstring& more = L"") {
        connection.Close();
        if (connection.OpenFromInitializationString(ConnectionTo(path, properties) + more, false) !=
            S_OK) {
            error = connection.GetErrorInfo(true);
            return false;
        }
        command.SetConnection(&connection);
        return true;
    }
    // Every row of a query as text, NULL as "<null>"; the command is closed after it.
    Grid Query(const std::wstring& sql) {
        Grid rows = TextFolderTest::Query(sql, true);
        command.Close();
        return rows;
    }
    std::vector<std::wstring> Columns(const std::wstring& table) {
        std::vector<std::wstring> names;
        if (!Run(L"SELECT * FROM " + table)) {
            ADD_FAILURE() << Utf8(error);
            return names;
        }
        for (unsigned c = 1; c <= command.GetColumnCount(); ++c)
            names.push_back(command.GetColumnName(c));
        command.Close();
        return names;
    }
};

}  // namespace vorn::test
