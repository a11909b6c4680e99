// The print dialog answered from a timer while it runs, and whole prints
// through GTK+'s file printer on each paper and orientation: the PDF,
// PostScript or SVG it writes is read back with pdfinfo, pdftoppm,
// Ghostscript and librsvg, programs of our own choosing, not ours. The dialog is answered through
// GTK+'s calls and by what its widgets hold, never by their translated
// labels, so the tests pass in any locale and with any default paper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

#include "imaging/drawing.h"
#include "layout/sheet_layout.h"
#include "print/print_job.h"
#include "print/printer_output.h"
#include "tests/print/print_test_support.h"
#include "tests/support/test_support.h"

namespace {

gboolean note_file_printer(GtkPrinter* printer, gpointer data)
{
    GtkPrintBackend* backend = gtk_printer_get_backend(printer);
    if (!backend || std::string(G_OBJECT_TYPE_NAME(backend)) != "GtkPrintBackendFile")
        return FALSE;
    *static_cast<std::string*>(data) = gtk_printer_get_name(printer);
    return TRUE;
}

// The name GTK+ gives its file printer in this locale, found by its backend.
// Waiting for every backend could hang on a print server that never
// answers, so the list is read from the main loop until the printer shows.
const std::string& file_printer()
{
    static std::string name;
    if (!name.empty())
        return name;
    gtk_enumerate_printers(note_file_printer, &name, nullptr, FALSE);
    for (int i = 0; i < 2000 && name.empty(); ++i) {
        while (gtk_events_pending())
            gtk_main_iteration();
        g_usleep(5000);
    }
    return name;
}

// A paper, orientation and scale to choose on the dialog's page-setup tab.
struct paper_choice {
    const char* paper = nullptr;  // GTK+'s name of a paper size, as "iso_a4"
    GtkPageOrientation orientation = GTK_PAGE_ORIENTATION_PORTRAIT;
    int scale_percent = 100;
};

// What the timer does to the dialog, and what it saw there.
struct dialog_answer {
    gint response;
    std::string output_uri;  // when set, choose the file printer writing there
    std::string format = "pdf";
    paper_choice paper = {};          // chosen when its paper is set
    bool wait_for_printer = false;    // answer only once a printer is selected
    bool found = false;
    bool settings_given = false;
    int polls = 0;
    std::string title;
    bool offers_preview = false;
    std::string printer;
    // The page setup the dialog showed before anything was chosen in it.
    std::string shown_paper;
    GtkPageOrientation shown_orientation = GTK_PAGE_ORIENTATION_PORTRAIT;
    std::string shown_file;  // the file printer's output, as a URI
    bool paper_chosen = false;  // both choosers found, sensitive, and set
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

struct page_setup_choosers {
    GtkComboBox* paper = nullptr;
    GtkComboBox* orientation = nullptr;
    GtkSpinButton* scale = nullptr;
};

bool has_label(GtkWidget* box, const std::string& text)
{
    bool found = false;
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList* c = children; c; c = c->next)
        found = found || (GTK_IS_LABEL(c->data) && gtk_label_get_text(GTK_LABEL(c->data)) == text);
    g_list_free(children);
    return found;
}

// The paper list is the combo whose rows hold page setups; the orientation
// list is the text combo in the same table; the scale is the spin button
// with a "%" beside it.
void find_page_setup_choosers(GtkWidget* widget, page_setup_choosers* found)
{
    if (GTK_IS_SPIN_BUTTON(widget) && has_label(gtk_widget_get_parent(widget), "%"))
        found->scale = GTK_SPIN_BUTTON(widget);
    if (GTK_IS_COMBO_BOX(widget) && !GTK_IS_COMBO_BOX_TEXT(widget)) {
        GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
        if (model && gtk_tree_model_get_n_columns(model) == 2 &&
            gtk_tree_model_get_column_type(model, 0) == G_TYPE_OBJECT) {
            found->paper = GTK_COMBO_BOX(widget);
            GList* siblings = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(widget)));
            for (GList* s = siblings; s; s = s->next)
                if (GTK_IS_COMBO_BOX_TEXT(s->data))
                    found->orientation = GTK_COMBO_BOX(s->data);
            g_list_free(siblings);
        }
    }
    if (!GTK_IS_CONTAINER(widget))
        return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* c = children; c; c = c->next)
        find_page_setup_choosers(GTK_WIDGET(c->data), found);
    g_list_free(children);
}

// Chooses the paper, orientation and scale as a user would, in the
// dialog's own lists; false when they are missing or greyed out.
bool choose_paper(GtkPrintUnixDialog* dialog, const paper_choice& choice)
{
    page_setup_choosers choosers;
    find_page_setup_choosers(GTK_WIDGET(dialog), &choosers);
    if (!choosers.paper || !choosers.orientation || !choosers.scale ||
        !gtk_widget_is_sensitive(GTK_WIDGET(choosers.paper)) ||
        !gtk_widget_is_sensitive(GTK_WIDGET(choosers.orientation)) ||
        !gtk_widget_is_sensitive(GTK_WIDGET(choosers.scale)))
        return false;
    gtk_spin_button_set_value(choosers.scale, choice.scale_percent);
    GtkTreeModel* model = gtk_combo_box_get_model(choosers.paper);
    GtkTreeIter row;
    bool chosen = false;
    for (bool more = gtk_tree_model_get_iter_first(model, &row); more && !chosen;
         more = gtk_tree_model_iter_next(model, &row)) {
        GObject* setup = nullptr;
        gtk_tree_model_get(model, &row, 0, &setup, -1);
        if (setup && GTK_IS_PAGE_SETUP(setup) &&
            std::string(gtk_paper_size_get_name(gtk_page_setup_get_paper_size(GTK_PAGE_SETUP(setup)))) ==
                choice.paper) {
            gtk_combo_box_set_active_iter(choosers.paper, &row);
            chosen = true;
        }
        if (setup)
            g_object_unref(setup);
    }
    // The list runs portrait, landscape, reverse portrait, reverse
    // landscape, as GTK+ numbers them.
    gtk_combo_box_set_active(choosers.orientation, int(choice.orientation));
    return chosen;
}

// The file printer's format buttons carry their format ("pdf", "ps",
// "svg") as GTK+'s "value" data; false until the one asked for is shown.
bool find_format_button(GtkWidget* widget, const std::string& format, GtkToggleButton** found)
{
    if (GTK_IS_RADIO_BUTTON(widget)) {
        auto* value = static_cast<const char*>(g_object_get_data(G_OBJECT(widget), "value"));
        if (value && format == value)
            *found = GTK_TOGGLE_BUTTON(widget);
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* c = children; c && !*found; c = c->next)
            find_format_button(GTK_WIDGET(c->data), format, found);
        g_list_free(children);
    }
    return *found != nullptr;
}

bool choose_format(GtkPrintUnixDialog* dialog, const std::string& format)
{
    GtkToggleButton* button = nullptr;
    if (!find_format_button(GTK_WIDGET(dialog), format, &button))
        return false;
    gtk_toggle_button_set_active(button, TRUE);
    return true;
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
    GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(dialog);
    if (!answer->output_uri.empty()) {
        if (!answer->settings_given) {
            // The dialog selects the named printer as soon as it is listed.
            GtkPrintSettings* settings = gtk_print_unix_dialog_get_settings(dialog);
            gtk_print_settings_set_printer(settings, file_printer().c_str());
            gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, answer->output_uri.c_str());
            gtk_print_unix_dialog_set_settings(dialog, settings);
            g_object_unref(settings);
            answer->settings_given = true;
            return TRUE;
        }
        if (!printer || gtk_printer_get_name(printer) != file_printer())
            return TRUE;
        // The format is chosen as a user does, since a format other than
        // PDF given in the settings makes GTK+ 2.24 read freed memory.
        if (!choose_format(dialog, answer->format))
            return TRUE;
    }
    if (answer->wait_for_printer && !printer)
        return TRUE;
    answer->printer = printer ? gtk_printer_get_name(printer) : "";
    GtkPageSetup* shown = gtk_print_unix_dialog_get_page_setup(dialog);
    answer->shown_paper = gtk_paper_size_get_name(gtk_page_setup_get_paper_size(shown));
    answer->shown_orientation = gtk_page_setup_get_orientation(shown);
    GtkPrintSettings* shown_settings = gtk_print_unix_dialog_get_settings(dialog);
    const char* shown_file = gtk_print_settings_get(shown_settings, GTK_PRINT_SETTINGS_OUTPUT_URI);
    answer->shown_file = shown_file ? shown_file : "";
    g_object_unref(shown_settings);
    if (answer->paper.paper)
        answer->paper_chosen = choose_paper(dialog, answer->paper);
    gtk_dialog_response(GTK_DIALOG(dialog), answer->response);
    return FALSE;
}

std::int32_t request_answered(dialog_answer& answer)
{
    // Looked up before the dialog runs, never from inside its loop.
    if (!answer.output_uri.empty() && file_printer().empty())
        return -1;
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

// A binary PPM as pdftoppm and Ghostscript write it: "P6 w h 255", maybe
// with "#" comment lines, and RGB rows.
struct ppm_image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    explicit ppm_image(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::string magic;
        int maximum = 0;
        in >> magic;
        for (int* field : {&width, &height, &maximum}) {
            while ((in >> std::ws).peek() == '#')
                in.ignore(1 << 16, '\n');
            in >> *field;
        }
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

// How the sheet lies on the printed page.
enum class lying {
    upright,      // the page has the paper's shape, the sheet as drawn
    upside_down,  // reverse orientations: half a turn
    turned,       // SVG pages keep the paper upright: the sheet's top along the left edge,
    turned_back,  // or, reversed, along the right edge
};

// One paper, orientation, scale and file format: the numbers the job
// reports, and the printed page's size in points.
struct paper_case {
    paper_choice choice;
    const char* format;
    int width, height;  // whole points, as printer_page_width/height report them
    lying sheet;
    bool again = false;  // the row before printed again: the dialog starts from its choices
};

const paper_case paper_cases[] = {
    {{"iso_a4", GTK_PAGE_ORIENTATION_PORTRAIT}, "pdf", 595, 841, lying::upright},
    {{"iso_a4", GTK_PAGE_ORIENTATION_LANDSCAPE}, "pdf", 841, 595, lying::upright},
    {{"iso_a4", GTK_PAGE_ORIENTATION_LANDSCAPE, 50}, "pdf", 841, 595, lying::upright},
    {{"iso_a4", GTK_PAGE_ORIENTATION_LANDSCAPE}, "ps", 841, 595, lying::upright},
    {{"iso_a4", GTK_PAGE_ORIENTATION_LANDSCAPE}, "ps", 841, 595, lying::upright, true},
    {{"iso_a4", GTK_PAGE_ORIENTATION_LANDSCAPE}, "svg", 841, 595, lying::turned},
    {{"iso_a4", GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE}, "pdf", 841, 595, lying::upside_down},
    {{"iso_a4", GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE}, "svg", 841, 595, lying::turned_back},
    {{"na_letter", GTK_PAGE_ORIENTATION_PORTRAIT}, "ps", 612, 792, lying::upright},
    {{"na_letter", GTK_PAGE_ORIENTATION_LANDSCAPE}, "pdf", 792, 612, lying::upright},
    {{"iso_a5", GTK_PAGE_ORIENTATION_PORTRAIT}, "pdf", 419, 595, lying::upright},
    {{"iso_a5", GTK_PAGE_ORIENTATION_LANDSCAPE}, "ps", 595, 419, lying::upright},
};

// The page as a picture at 72 dots per inch, one pixel a point: pdftoppm
// for PDF, Ghostscript for PostScript, librsvg for SVG.
bool rasterise(const std::string& document, const std::string& format, const std::string& ppm)
{
    if (format == "pdf") {
        std::string stem = ppm.substr(0, ppm.size() - 4);
        return run_command("pdftoppm -r 72 -singlefile '" + document + "' '" + stem + "'") == 0;
    }
    if (format == "svg")
        return run_command("rsvg-convert -d 72 -p 72 -b white '" + document + "' | convert png:- -depth 8 '" + ppm +
                           "'") == 0;
    return run_command("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r72 -o '" + ppm + "' '" + document +
                       "'") == 0;
}

TEST_F(print_dialog, each_paper_orientation_and_scale_is_reported_and_prints_the_sheet_whole_centred_and_square)
{
    temp_folder folder;
    for (const paper_case& row : paper_cases) {
        SCOPED_TRACE(std::string(row.choice.paper) + " orientation " + std::to_string(int(row.choice.orientation)) +
                     " scale " + std::to_string(row.choice.scale_percent) + " " + row.format);
        if (!row.again)
            printer_init();
        const std::string document = folder.file(std::string("sheet.") + row.format);
        std::remove(document.c_str());  // so that no dialog asks about replacing it
        dialog_answer answer{GTK_RESPONSE_OK, "file://" + document};
        answer.format = row.format;
        answer.paper = row.choice;
        ASSERT_EQ(request_answered(answer), 1);
        ASSERT_EQ(answer.printer, file_printer());
        ASSERT_TRUE(answer.paper_chosen) << "paper, orientation and scale offered and sensitive";

        ASSERT_EQ(printing_start(u"print diagram"), 1);
        ASSERT_NE(drawing_start(printer_output()), 0);
        const int w = printer_page_width(), h = printer_page_height();
        ASSERT_EQ(w, row.width);
        ASSERT_EQ(h, row.height);
        // A sheet of quadrants: red, green over blue, black, with a white
        // board of 8 x 8 squares where the first diagram's lies at s = 60;
        // scaled and placed as the editor prints its sheet. Then a
        // half-transparent black square on the red quadrant, through the
        // RGBA image call.
        std::vector<std::uint32_t> sheet_pixels(std::size_t(sheet_width) * std::size_t(sheet_height));
        for (int y = 0; y < sheet_height; ++y)
            for (int x = 0; x < sheet_width; ++x)
                sheet_pixels[std::size_t(y * sheet_width + x)] =
                    std::min(x, y) >= 70 && std::max(x, y) < 70 + 8 * 60 ? 0xFFFFFF
                    : y < sheet_height / 2 ? (x < sheet_width / 2 ? 0xFF0000 : 0x00FF00)
                                           : (x < sheet_width / 2 ? 0x0000FF : 0x000000);
        const sheet_area fit = sheet_fit_on_page(w, h);
        GdkPixbuf* whole = pixbuf_from(sheet_width, sheet_height, false, sheet_pixels);
        GdkPixbuf* sheet = gdk_pixbuf_scale_simple(whole, fit.width, fit.height, GDK_INTERP_BILINEAR);
        GdkPixbuf* shade = pixbuf_from(20, 20, true, std::vector<std::uint32_t>(20 * 20, 0x00000080));
        auto on_page = [&](int x, int y) {
            return std::pair{fit.x + x * fit.width / sheet_width, fit.y + y * fit.height / sheet_height};
        };
        std::string log;
        page_context_record_calls(printer_context(), &log);
        draw_image(sheet, fit.x, fit.y);
        draw_image(shade, on_page(295, 700).first - 10, on_page(295, 700).second - 10);
        drawing_stop();
        g_object_unref(whole);
        g_object_unref(sheet);
        g_object_unref(shade);
        EXPECT_NE(log.find("rgbimage " + std::to_string(fit.width) + " " + std::to_string(fit.height) + "\n"),
                  std::string::npos);
        EXPECT_NE(log.find("rgbaimage 20 20\n"), std::string::npos);
        EXPECT_EQ(page_job_page_count(printer_job()), 1);
        EXPECT_EQ(page_job_page_name(printer_job(), 0), "1");

        printing_stop();
        EXPECT_EQ(printer_last_failure(), "");
        EXPECT_EQ(printer_page_width(), 0);
        // Handed over before printing_stop returned: the file is whole already.
        if (std::string(row.format) == "pdf") {
            std::string info = command_output("pdfinfo '" + document + "' 2>&1");
            EXPECT_EQ(info_field(info, "Pages:"), "1") << info;
            // "595.276 x 841.89 pts", read whatever this process's locale says.
            std::string size = info_field(info, "Page size:");
            char* rest = nullptr;
            double pw = g_ascii_strtod(size.c_str(), &rest);
            double ph = g_ascii_strtod(rest + std::strspn(rest, " x"), nullptr);
            EXPECT_EQ(int(pw + 0.001), row.width) << info;
            EXPECT_EQ(int(ph + 0.001), row.height) << info;
        } else if (std::string(row.format) == "ps") {
            EXPECT_EQ(command_output("grep -c '^%%Page: ' '" + document + "'"), "1\n");
        }
        ASSERT_TRUE(rasterise(document, row.format, folder.file("page.ppm")));
        ppm_image page(folder.file("page.ppm"));
        ASSERT_FALSE(page.rgb.empty());
        // The paper, turned as chosen, rounded up to whole pixels.
        const bool turned = row.sheet == lying::turned || row.sheet == lying::turned_back;
        EXPECT_GE(page.width, turned ? h : w);
        EXPECT_LE(page.width, (turned ? h : w) + 1);
        EXPECT_GE(page.height, turned ? w : h);
        EXPECT_LE(page.height, (turned ? w : h) + 1);
        // Where a point of the sheet lands on the paper: the dialog's scale
        // shrinks the page about its centre, then the page lies as it does.
        const double scale = row.choice.scale_percent / 100.0;
        auto on_paper = [&](int sheet_x, int sheet_y) {
            auto [page_x, page_y] = on_page(sheet_x, sheet_y);
            const int x = int(w / 2.0 + (page_x - w / 2.0) * scale), y = int(h / 2.0 + (page_y - h / 2.0) * scale);
            switch (row.sheet) {
            case lying::upside_down:
                return std::pair{w - 1 - x, h - 1 - y};
            case lying::turned:
                return std::pair{y, w - 1 - x};
            case lying::turned_back:
                return std::pair{h - 1 - y, x};
            default:
                return std::pair{x, y};
            }
        };
        auto sheet_at = [&](int x, int y) { return page.at(on_paper(x, y).first, on_paper(x, y).second); };
        const rgb_pixel red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, black{0, 0, 0};
        EXPECT_EQ(sheet_at(295, 600), red);  // below the board, clear of the shaded square
        EXPECT_EQ(sheet_at(3 * sheet_width / 4, sheet_height / 4), green);
        EXPECT_EQ(sheet_at(sheet_width / 4, 3 * sheet_height / 4), blue);
        EXPECT_EQ(sheet_at(3 * sheet_width / 4, 3 * sheet_height / 4), black);
        rgb_pixel shaded = sheet_at(295, 700);
        EXPECT_NEAR(shaded[0], 127, 3);
        EXPECT_EQ(shaded[1], 0);
        EXPECT_EQ(shaded[2], 0);
        // The whole sheet on the paper, centred, as large as the paper holds
        // it with one scale for both axes, times the dialog's scale.
        int left = page.width, right = 0, top = page.height, bottom = 0;
        for (int y = 0; y < page.height; ++y)
            for (int x = 0; x < page.width; ++x)
                if (std::ranges::min(page.at(x, y)) < 128)
                    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                    bottom = std::max(bottom, y);
        const double fitted = std::min(double(w) / sheet_width, double(h) / sheet_height) * scale;
        EXPECT_NEAR(right + 1 - left, (turned ? sheet_height : sheet_width) * fitted, 2);
        EXPECT_NEAR(bottom + 1 - top, (turned ? sheet_width : sheet_height) * fitted, 2);
        EXPECT_NEAR(left, (turned ? h : w) - 1 - right, 2) << "as much white left and right";
        EXPECT_NEAR(top, (turned ? w : h) - 1 - bottom, 2) << "as much white above and below";
        // The first diagram's squares as high as they are wide: the white
        // board's extent through its middle, a partly white pixel in part.
        const auto [middle_x, middle_y] = on_paper(310, 310);
        double across = 0, down = 0;
        for (int x = left + 1; x < right; ++x)
            across += std::ranges::min(page.at(x, middle_y)) / 255.0;
        for (int y = top + 1; y < bottom; ++y)
            down += std::ranges::min(page.at(middle_x, y)) / 255.0;
        EXPECT_NEAR(across / down, 1.0, 0.02) << across << " x " << down;
    }
}

TEST_F(print_dialog, the_next_dialog_starts_from_the_last_printed_choices_and_the_first_from_the_defaults)
{
    // GTK+'s own default paper for this locale, whatever it is.
    const std::string default_paper = gtk_paper_size_get_default();
    dialog_answer first{GTK_RESPONSE_CANCEL, {}};
    ASSERT_EQ(request_answered(first), 0);
    EXPECT_EQ(first.printer, "");
    EXPECT_EQ(first.shown_paper, default_paper);
    EXPECT_EQ(first.shown_orientation, GTK_PAGE_ORIENTATION_PORTRAIT);

    // Chosen, then cancelled: nothing is kept.
    temp_folder folder;
    dialog_answer cancelled{GTK_RESPONSE_CANCEL, "file://" + folder.file("never.pdf")};
    cancelled.paper = {"na_letter", GTK_PAGE_ORIENTATION_LANDSCAPE};
    ASSERT_EQ(request_answered(cancelled), 0);
    ASSERT_TRUE(cancelled.paper_chosen);
    dialog_answer after_cancel{GTK_RESPONSE_CANCEL, {}};
    ASSERT_EQ(request_answered(after_cancel), 0);
    EXPECT_EQ(after_cancel.printer, "");
    EXPECT_EQ(after_cancel.shown_paper, default_paper);
    EXPECT_EQ(after_cancel.shown_orientation, GTK_PAGE_ORIENTATION_PORTRAIT);

    // Chosen and printed: the next dialogs start there, also after a cancel;
    // the file printer at PDF, the file named to match.
    dialog_answer printed{GTK_RESPONSE_OK, "file://" + folder.file("a5.ps")};
    printed.format = "ps";
    printed.paper = {"iso_a5", GTK_PAGE_ORIENTATION_LANDSCAPE};
    ASSERT_EQ(request_answered(printed), 1);
    printing_start(u"print diagram");
    printing_stop();
    EXPECT_EQ(printer_last_failure(), "");
    for (int again = 0; again < 2; ++again) {
        dialog_answer next{GTK_RESPONSE_CANCEL, {}};
        next.wait_for_printer = true;
        ASSERT_EQ(request_answered(next), 0);
        EXPECT_EQ(next.printer, file_printer());
        EXPECT_EQ(next.shown_paper, "iso_a5");
        EXPECT_EQ(next.shown_orientation, GTK_PAGE_ORIENTATION_LANDSCAPE);
        EXPECT_EQ(next.shown_file, "file://" + folder.file("a5.pdf"));
        EXPECT_EQ(printer_page_width(), 595);
        EXPECT_EQ(printer_page_height(), 419);
    }

    // A new run starts from the defaults again.
    printer_init();
    dialog_answer new_run{GTK_RESPONSE_CANCEL, {}};
    ASSERT_EQ(request_answered(new_run), 0);
    EXPECT_EQ(new_run.printer, "");
    EXPECT_EQ(new_run.shown_paper, default_paper);
}

TEST_F(print_dialog, a_file_that_cannot_be_written_is_reported_and_the_job_is_released)
{
    temp_folder folder;
    dialog_answer answer{GTK_RESPONSE_OK, "file://" + folder.file("missing/sheet.pdf")};
    ASSERT_EQ(request_answered(answer), 1);
    ASSERT_EQ(answer.printer, file_printer());
    printing_start(u"print diagram");
    ASSERT_NE(drawing_start(printer_output()), 0);
    draw_box(10, 10, 100, 100, 0);
    drawing_stop();
    printing_stop();
    EXPECT_FALSE(printer_last_failure().empty());
    EXPECT_EQ(printer_job(), nullptr);
    EXPECT_FALSE(file_exists(folder.file("missing/sheet.pdf")));
}
