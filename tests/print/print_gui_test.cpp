// The print dialog answered from a timer while it runs, and a whole print
// through GTK+'s "Print to File" printer: the PDF it writes is read back
// with pdfinfo and pdftoppm, programs of our own choosing, not ours.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

#include "imaging/drawing.h"
#include "print/print_job.h"
#include "print/printer_output.h"
#include "tests/print/print_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr char file_printer[] = "Print to File";

// What the timer does to the dialog, and what it saw there.
struct dialog_answer {
    gint response;
    std::string output_uri;  // when set, choose the file printer writing there
    bool found = false;
    bool settings_given = false;
    int polls = 0;
    std::string title;
    bool offers_preview = false;
    std::string printer;
};

GtkPrintUnixDialog* find_print_dialog()
{
    GtkPrintUnixDialog* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next)
        if (GTK_IS_PRINT_UNIX_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            found = GTK_PRINT_UNIX_DIALOG(w->data);
    g_list_free(windows);
    return found;
}

gboolean answer_dialog(gpointer data)
{
    auto* answer = static_cast<dialog_answer*>(data);
    GtkPrintUnixDialog* dialog = find_print_dialog();
    // Give up after about 20 seconds rather than hang the test run.
    if (++answer->polls > 400) {
        if (dialog)
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        return FALSE;
    }
    if (!dialog)
        return TRUE;
    answer->found = true;
    answer->title = gtk_window_get_title(GTK_WINDOW(dialog)) ? gtk_window_get_title(GTK_WINDOW(dialog)) : "";
    answer->offers_preview =
        (gtk_print_unix_dialog_get_manual_capabilities(dialog) & GTK_PRINT_CAPABILITY_PREVIEW) != 0;
    if (!answer->output_uri.empty()) {
        if (!answer->settings_given) {
            // The dialog selects the named printer as soon as it is listed.
            GtkPrintSettings* settings = gtk_print_unix_dialog_get_settings(dialog);
            gtk_print_settings_set_printer(settings, file_printer);
            gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, answer->output_uri.c_str());
            gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
            gtk_print_unix_dialog_set_settings(dialog, settings);
            g_object_unref(settings);
            answer->settings_given = true;
            return TRUE;
        }
        GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(dialog);
        if (!printer || std::string(gtk_printer_get_name(printer)) != file_printer)
            return TRUE;
    }
    GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(dialog);
    answer->printer = printer ? gtk_printer_get_name(printer) : "";
    gtk_dialog_response(GTK_DIALOG(dialog), answer->response);
    return FALSE;
}

std::int32_t request_answered(dialog_answer& answer)
{
    g_timeout_add(50, answer_dialog, &answer);
    return printer_request();
}

std::string command_output(const std::string& command)
{
    std::string result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[512];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.append(buffer, n);
    pclose(pipe);
    return result;
}

// The value of one "Name:   value" line of pdfinfo's report.
std::string info_field(const std::string& info, const std::string& name)
{
    std::string::size_type at = info.find("\n" + name);
    if (at == std::string::npos)
        return {};
    at = info.find_first_not_of(' ', at + 1 + name.size());
    std::string::size_type end = info.find('\n', at);
    return info.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// A binary PPM as pdftoppm writes it: "P6 w h 255" and RGB rows.
struct ppm_image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    explicit ppm_image(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::string magic;
        int maximum = 0;
        in >> magic >> width >> height >> maximum;
        in.get();
        if (magic != "P6" || maximum != 255 || width <= 0 || height <= 0)
            return;
        rgb.resize(std::size_t(width) * std::size_t(height) * 3);
        in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()));
        if (!in)
            rgb.clear();
    }
    rgb_pixel at(int x, int y) const
    {
        const unsigned char* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
        return {p[0], p[1], p[2]};
    }
};

class print_dialog : public testing::Test {
protected:
    void SetUp() override
    {
        drawing_init();
        printer_init();
    }
    void TearDown() override { printer_init(); }
};

}  // namespace

TEST_F(print_dialog, is_titled_print_offers_preview_and_maps_its_answers)
{
    dialog_answer cancel{GTK_RESPONSE_CANCEL, {}};
    EXPECT_EQ(request_answered(cancel), 0);
    EXPECT_TRUE(cancel.found);
    EXPECT_EQ(cancel.title, "Print");
    EXPECT_TRUE(cancel.offers_preview);

    dialog_answer preview{GTK_RESPONSE_APPLY, {}};
    EXPECT_EQ(request_answered(preview), 2);
    dialog_answer print{GTK_RESPONSE_OK, {}};
    EXPECT_EQ(request_answered(print), 1);
    dialog_answer closed{GTK_RESPONSE_DELETE_EVENT, {}};
    EXPECT_EQ(request_answered(closed), 0);
    EXPECT_EQ(find_print_dialog(), nullptr);  // destroyed after each answer
}

TEST_F(print_dialog, two_cancelled_requests_hold_exactly_one_job)
{
    const std::int32_t before = page_job_live_count();
    dialog_answer first{GTK_RESPONSE_CANCEL, {}};
    dialog_answer second{GTK_RESPONSE_CANCEL, {}};
    EXPECT_EQ(request_answered(first), 0);
    EXPECT_EQ(request_answered(second), 0);
    EXPECT_TRUE(second.found);
    EXPECT_EQ(page_job_live_count(), before + 1);
    EXPECT_NE(printer_context(), nullptr);
}

TEST_F(print_dialog, a_sheet_printed_to_a_file_fills_one_a4_page_the_right_way_up)
{
    temp_folder folder;
    const std::string pdf = folder.file("sheet.pdf");
    dialog_answer answer{GTK_RESPONSE_OK, "file://" + pdf};
    ASSERT_EQ(request_answered(answer), 1);
    ASSERT_EQ(answer.printer, file_printer);

    ASSERT_EQ(printing_start(u"print diagram"), 1);
    ASSERT_NE(drawing_start(printer_output()), 0);
    const int w = printer_page_width(), h = printer_page_height();
    ASSERT_EQ(w, 595);
    ASSERT_EQ(h, 841);
    // Quadrants: red, green over blue, black. Then a half-transparent black
    // square on the red one, through the RGBA image call.
    std::vector<std::uint32_t> sheet_pixels(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            sheet_pixels[std::size_t(y * w + x)] =
                y < h / 2 ? (x < w / 2 ? 0xFF0000 : 0x00FF00) : (x < w / 2 ? 0x0000FF : 0x000000);
    GdkPixbuf* sheet = pixbuf_from(w, h, false, sheet_pixels);
    GdkPixbuf* shade = pixbuf_from(100, 100, true, std::vector<std::uint32_t>(100 * 100, 0x00000080));
    std::string log;
    page_context_record_calls(printer_context(), &log);
    draw_image(sheet, 0, 0);
    draw_image(shade, 50, 50);
    drawing_stop();
    g_object_unref(sheet);
    g_object_unref(shade);
    EXPECT_NE(log.find("rgbimage 595 841\n"), std::string::npos);
    EXPECT_NE(log.find("rgbaimage 100 100\n"), std::string::npos);
    EXPECT_EQ(page_job_page_count(printer_job()), 1);
    EXPECT_EQ(page_job_page_name(printer_job(), 0), "1");

    printing_stop();
    EXPECT_EQ(printer_last_failure(), "");
    EXPECT_EQ(printer_page_width(), 0);
    // Handed over before printing_stop returned: the file is whole already.
    std::string info = command_output("pdfinfo '" + pdf + "' 2>&1");
    EXPECT_EQ(info_field(info, "Pages:"), "1") << info;
    EXPECT_EQ(info_field(info, "Page size:"), "595.276 x 841.89 pts (A4)") << info;
    ASSERT_EQ(run_command("pdftoppm -r 72 -singlefile '" + pdf + "' '" + folder.file("page") + "'"), 0);
    ppm_image page(folder.file("page.ppm"));
    ASSERT_FALSE(page.rgb.empty());
    EXPECT_EQ(page.width, 596);  // 595.276 x 841.89 points, rounded up
    EXPECT_EQ(page.height, 842);
    EXPECT_EQ(page.at(150, 300), (rgb_pixel{255, 0, 0}));
    EXPECT_EQ(page.at(450, 300), (rgb_pixel{0, 255, 0}));
    EXPECT_EQ(page.at(150, 600), (rgb_pixel{0, 0, 255}));
    EXPECT_EQ(page.at(450, 600), (rgb_pixel{0, 0, 0}));
    rgb_pixel shaded = page.at(100, 100);
    EXPECT_NEAR(shaded[0], 127, 3);
    EXPECT_EQ(shaded[1], 0);
    EXPECT_EQ(shaded[2], 0);
    EXPECT_EQ(page.at(160, 100), (rgb_pixel{255, 0, 0}));
}

TEST_F(print_dialog, a_file_that_cannot_be_written_is_reported_and_the_job_is_released)
{
    temp_folder folder;
    dialog_answer answer{GTK_RESPONSE_OK, "file://" + folder.file("missing/sheet.pdf")};
    ASSERT_EQ(request_answered(answer), 1);
    ASSERT_EQ(answer.printer, file_printer);
    printing_start(u"print diagram");
    ASSERT_NE(drawing_start(printer_output()), 0);
    draw_box(10, 10, 100, 100, 0);
    drawing_stop();
    printing_stop();
    EXPECT_FALSE(printer_last_failure().empty());
    EXPECT_EQ(printer_job(), nullptr);
    EXPECT_FALSE(file_exists(folder.file("missing/sheet.pdf")));
}
