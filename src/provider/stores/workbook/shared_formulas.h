// Shared formulas a write must keep: a cell <f t="shared" si="N" ref="D2:D9">text</f>
// holds the formula that the cells <f t="shared" si="N"/> of its group use, moved to
// each. When a write overwrites that master cell while others of the group remain, the
// first remaining cell (in row order) becomes the master: it gets the text with its
// relative references moved by the offset between the two cells and a ref that covers
// the remaining cells. When that cannot be done soundly the write is refused.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "stores/workbook/sheet_edits.h"
#include "stores/workbook/zip_archive.h"

namespace vorn::provider::stores::workbook {

// The cells whose <f> element a write replaces: by row, then column, the new element.
struct SharedFormulaPlan {
    std::map<uint32_t, std::map<uint32_t, std::string>> rows;

    // The new <f> element of a cell, or null.
    const std::string* Find(uint32_t row, uint32_t column) const;
};

// Reads the sheet (source) to plan the new masters of the groups whose master the edits
// overwrite. False with *error filled when the sheet cannot be read or a group cannot be
// kept (naming sheet, the cell and why).
bool PlanSharedFormulas(ByteSource& source, const SheetEdits& edits, const std::wstring& sheet,
                        SharedFormulaPlan* plan, std::wstring* error);

}  // namespace vorn::provider::stores::workbook
