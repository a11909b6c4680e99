// The one print job of the process: asked for in the print dialog, one page
// begun, measured in whole points, and sent to the printer by printing_stop.
#include "print/print_job.h"

#include <cstdio>
#include <string>

namespace {

struct print_state {
    page_job* job;
    page_context* context;
    std::int32_t page_count;
};

print_state state;
std::string last_failure;

void release_job()
{
    page_job_free(state.job);
    state.job = nullptr;
    state.context = nullptr;
}

// Finishes the open page, if any, and opens the next one, named by its number.
void begin_next_page()
{
    if (!state.context)
        return;
    if (state.page_count != 0)
        page_show(state.context);
    state.page_count++;
    page_begin(state.context, std::to_string(state.page_count));
}

std::int32_t page_dimension(bool width)
{
    double w = 0, h = 0;
    if (!state.job || !page_job_page_size(state.job, &w, &h))
        return 0;
    // GTK+ keeps paper sizes in millimetres, so a paper of whole points
    // comes back a hair short (Letter as 611.99998); a thousandth of a point
    // is no real part of any paper.
    return std::int32_t((width ? w : h) + 0.001);
}

}  // namespace

void printer_init()
{
    // Nothing is held at start-up; a second call (tests make them) drops any
    // job, and the next dialog starts again from the print system's defaults.
    release_job();
    state = print_state{};
    page_forget_choices();
}

std::int32_t printer_request()
{
    release_job();
    state.job = page_job_new();
    state.context = state.job ? page_job_context(state.job) : nullptr;
    if (!state.job)
        return 0;
    int answer = page_job_run_dialog(state.job);
    return answer == 1 || answer == 2 ? answer : 0;
}

std::int32_t printing_start(const text&)
{
    state.page_count = 0;
    begin_next_page();
    return 1;
}

std::int32_t printer_page_width()
{
    return page_dimension(true);
}

std::int32_t printer_page_height()
{
    return page_dimension(false);
}

// Waits until the job has been handed over, so quitting right after
// printing loses nothing; a failure is kept for the caller to tell.
void printing_stop()
{
    last_failure.clear();
    if (!state.context)
        return;
    if (state.page_count != 0)
        page_show(state.context);
    if (!page_job_print(state.job, &last_failure) && last_failure.empty())
        last_failure = "система печати не приняла задание";
    release_job();
}

page_context* printer_context()
{
    return state.context;
}

page_job* printer_job()
{
    return state.job;
}

const std::string& printer_last_failure()
{
    return last_failure;
}
