// The print job's states without a display: the dialog cannot be made, so
// every request answers 0 but still holds a job on the default paper. These
// tests never call setlocale, so they run in the C locale, whose paper is A4
// whatever the machine's locale says.
#include <gtest/gtest.h>

#include "print/print_job.h"

namespace {

class print_job : public testing::Test {
protected:
    void SetUp() override
    {
        printer_init();
        jobs_before = page_job_live_count();
    }
    void TearDown() override { printer_init(); }
    std::int32_t jobs_before = 0;
};

}  // namespace

TEST_F(print_job, before_any_request_nothing_is_held_and_start_still_answers_1)
{
    EXPECT_EQ(printer_job(), nullptr);
    EXPECT_EQ(printer_context(), nullptr);
    EXPECT_EQ(printer_page_width(), 0);
    EXPECT_EQ(printer_page_height(), 0);
    EXPECT_EQ(printing_start(u"print diagram"), 1);
    EXPECT_EQ(page_job_live_count(), jobs_before);
    printing_stop();
    EXPECT_EQ(printer_last_failure(), "");
}

TEST_F(print_job, a_request_without_a_dialog_answers_0_and_holds_one_job_on_a4)
{
    EXPECT_EQ(printer_request(), 0);
    ASSERT_NE(printer_job(), nullptr);
    EXPECT_EQ(printer_context(), page_job_context(printer_job()));
    EXPECT_EQ(page_job_page_count(printer_job()), 0);
    EXPECT_EQ(printer_page_width(), 595);
    EXPECT_EQ(printer_page_height(), 841);
    EXPECT_EQ(printer_request(), 0);
    EXPECT_EQ(page_job_live_count(), jobs_before + 1);
}

TEST_F(print_job, start_begins_exactly_one_page_named_1_even_when_started_again)
{
    printer_request();
    EXPECT_EQ(printing_start(u"print diagram"), 1);
    EXPECT_EQ(page_job_page_count(printer_job()), 1);
    EXPECT_EQ(page_job_page_name(printer_job(), 0), "1");
    printer_request();  // a fresh job starts again from no pages
    EXPECT_EQ(page_job_page_count(printer_job()), 0);
    printing_start(u"print diagram");
    EXPECT_EQ(page_job_page_name(printer_job(), 0), "1");
}

TEST_F(print_job, stop_shows_the_page_releases_the_job_and_tells_why_nothing_was_printed)
{
    printer_request();
    printing_start(u"print diagram");
    std::string log;
    page_context_record_calls(printer_context(), &log);
    printing_stop();
    EXPECT_EQ(log, "showpage\n");
    // Cancelled dialog, no printer: the failure is told, not swallowed.
    EXPECT_FALSE(printer_last_failure().empty());
    EXPECT_EQ(printer_job(), nullptr);
    EXPECT_EQ(printer_context(), nullptr);
    EXPECT_EQ(page_job_live_count(), jobs_before);
    EXPECT_EQ(printer_page_width(), 0);
    EXPECT_EQ(printer_page_height(), 0);
    printer_request();
    EXPECT_EQ(printer_page_width(), 595);
}
