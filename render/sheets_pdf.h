// Print sheets as a PDF: the listed diagrams four to a sheet in the editor's
// 2 x 2 layout, one A4 page per sheet, each sheet at its full resolution.
// The workers draw and compose the sheets; this process writes them in
// list order.
#pragma once

#include <string>

#include "chess/position_list.h"
#include "render/output_names.h"

// Writes the PDF (and, when output is given, each diagram's file as
// write_listed_diagrams names them). The PDF appears only when complete.
// Returns false after saying on standard error what failed.
bool write_sheets_pdf(const position_list& list, const std::string& pdf_path, const output_target* output);
