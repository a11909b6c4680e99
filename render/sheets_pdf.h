// Print sheets as a PDF: the listed diagrams four to a sheet in the editor's
// 2 x 2 layout, one A4 page per sheet, each sheet at its full resolution.
#pragma once

#include <string>

#include "render/position_list.h"

// Writes the PDF (and, when output is not empty, each diagram's JPEG file
// as write_listed_diagrams names them). The PDF appears only when complete.
// Returns false after reporting on standard error what failed.
bool write_sheets_pdf(const position_list& list, const std::string& pdf_path, const std::string& output);
