// libFuzzer target of the workbook readers: the input is read as a worksheet's XML (by
// the streaming reader and by the scan that finds the area of values), as a shared-strings
// part, and as the workbook stream of an .xls (its BIFF8 records, every sheet read).
// Whatever the bytes, the readers must end with rows or an error, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "stores/workbook/xls_workbook.h"
#include "stores/workbook/xlsx_sheet_reader.h"

using namespace vorn::provider::stores::workbook;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::wstring error;

    SharedStrings strings;
    MemorySource forStrings(bytes);
    ReadSharedStrings(forStrings, L"fuzz", &strings, &error);

    CellArea area;
    MemorySource forArea(bytes);
    ScanValueArea(forArea, L"fuzz", &area, &error);

    const std::vector<bool> dates = {false, true};
    SheetContext context;
    context.strings = &strings;
    context.dateStyles = &dates;
    context.what = L"fuzz";
    auto reader = NewXlsxSheetReader(std::make_unique<MemorySource>(bytes), context);
    SheetRow row;
    error.clear();
    while (reader->Next(&row, &error)) {
    }

    auto book = XlsBook::FromStream(std::string(bytes), L"fuzz", &error);
    if (book) {
        for (size_t i = 0; i < book->Sheets().size(); ++i) {
            if (!book->ValueArea(i, &area, &error))
                continue;
            auto sheet = book->OpenSheet(i, &error);
            while (sheet && sheet->Next(&row, &error)) {
            }
        }
    }
    return 0;
}
