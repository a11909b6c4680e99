// The printer output: the drawing output whose operations become page calls
// on the open page of the print job, with y turned to the page's upward axis.
#pragma once

#include "imaging/drawing.h"
#include "print/page.h"

struct printer_output_record {
    drawing_output base;
    page_context* context;  // borrowed from the print job
    std::int32_t mode;
    PangoLayout* layout;
    PangoFontDescription* default_font;
};

// A new output on the current print job, made current at once; null without a job.
drawing_output* printer_output();
