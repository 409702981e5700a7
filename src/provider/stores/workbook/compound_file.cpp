// The OLE2 compound file of an .xls workbook, through libgsf. glib and libgsf are included
// here only: glib's TRUE and FALSE macros must not meet the library's own names elsewhere.
#include "stores/workbook/compound_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>

namespace vorn::provider::stores::workbook {
namespace {

// Reads the whole child stream: 1, 0 when there is none, -1 when it cannot be read.
int ReadChild(GsfInfile* infile, const char* name, std::string* out) {
    GsfInput* child = gsf_infile_child_by_name(infile, name);
    if (!child)
        return 0;
    const gsf_off_t size = gsf_input_size(child);
    bool ok = size >= 0;
    if (ok) {
        out->resize(static_cast<size_t>(size));
        gsf_off_t done = 0;
        while (ok && done < size) {
            const size_t n = static_cast<size_t>(size - done > 65536 ? 65536 : size - done);
            ok = gsf_input_read(child, n, reinterpret_cast<guint8*>(&(*out)[done])) != nullptr;
            done += static_cast<gsf_off_t>(n);
        }
    }
    g_object_unref(child);
    return ok ? 1 : -1;
}

}  // namespace

CompoundContent ReadCompoundFile(std::string_view bytes, std::string* stream, std::string* error) {
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                           static_cast<gsf_off_t>(bytes.size()), FALSE);
    if (!input) {
        *error = "out of memory";
        return CompoundContent::Damaged;
    }
    GError* failure = nullptr;
    GsfInfile* infile = gsf_infile_msole_new(input, &failure);
    g_object_unref(input);
    if (!infile) {
        *error = failure && failure->message ? failure->message : "not a compound file";
        if (failure)
            g_error_free(failure);
        return CompoundContent::Damaged;
    }
    CompoundContent content = CompoundContent::Other;
    GsfInput* probe = nullptr;
    int read = ReadChild(infile, "Workbook", stream);
    if (read == 0)
        read = ReadChild(infile, "WORKBOOK", stream);
    if (read < 0) {
        *error = "its workbook stream cannot be read";
        content = CompoundContent::Damaged;
    } else if (read > 0) {
        content = CompoundContent::Workbook;
    } else if ((probe = gsf_infile_child_by_name(infile, "Book")) != nullptr) {
        content = CompoundContent::OldBook;
    } else if ((probe = gsf_infile_child_by_name(infile, "EncryptedPackage")) != nullptr) {
        content = CompoundContent::EncryptedXlsx;
    }
    if (probe)
        g_object_unref(probe);
    g_object_unref(infile);
    return content;
}

}  // namespace vorn::provider::stores::workbook
