// The print job: the one job of the process with its current page. Ask with
// printer_request, start the page, draw through printer_output, and send it
// with printing_stop.
#pragma once

#include <cstdint>

#include "print/page.h"
#include "toolkit/text.h"

void printer_init();
std::int32_t printer_request();  // 1 Print, 2 Preview, 0 otherwise
std::int32_t printing_start(const text& job_name);
std::int32_t printer_page_width();
std::int32_t printer_page_height();
void printing_stop();

page_context* printer_context();  // the current job's context, or null
page_job* printer_job();          // the current job, or null

// The print system's word on the last printing_stop, empty when it succeeded.
const std::string& printer_last_failure();
