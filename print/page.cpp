// The page layer over GTK+ 2's printing and cairo. Each page is recorded on
// a cairo recording surface as it is drawn, because the printer (and so the
// real surface) is only known once the dialog has been answered; printing
// plays the recorded pages onto the print job's surface, turned to the
// paper's orientation. It does no n-up of its own.
#include "print/page.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <vector>

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>
#include <pango/pangocairo.h>

#include "imaging/cairo_pixels.h"

namespace {

struct recorded_page {
    std::string name;
    cairo_surface_t* surface;  // recording surface, owned
};

std::int32_t live_jobs = 0;

// The printer, paper and orientation last chosen in the run, so the next
// dialog starts from them as desktop programs do; null until the first
// dialog has been answered with Print or Preview.
GtkPrintSettings* chosen_settings = nullptr;
GtkPageSetup* chosen_page_setup = nullptr;

}  // namespace

struct page_context {
    page_job* job;
    cairo_t* cr;  // on the open page's recording surface, or null
    std::string* log;
};

struct page_job {
    GtkPrintSettings* settings;
    GtkPageSetup* page_setup;
    GtkPrinter* printer;  // chosen in the dialog, or null
    page_context context;
    std::vector<recorded_page> pages;
};

namespace {

void record(page_context* c, const char* format, ...) G_GNUC_PRINTF(2, 3);

void record(page_context* c, const char* format, ...)
{
    if (!c || !c->log)
        return;
    va_list args;
    va_start(args, format);
    gchar* line = g_strdup_vprintf(format, args);
    va_end(args);
    c->log->append(line);
    c->log->push_back('\n');
    g_free(line);
}

void paper_size(const page_job* job, double* width, double* height)
{
    *width = gtk_page_setup_get_paper_width(job->page_setup, GTK_UNIT_POINTS);
    *height = gtk_page_setup_get_paper_height(job->page_setup, GTK_UNIT_POINTS);
}

template <typename T>
void replace_object(T** field, T* value)
{
    if (*field)
        g_object_unref(*field);
    *field = value;
}

void remember_choices(const page_job* job)
{
    replace_object(&chosen_settings, gtk_print_settings_copy(job->settings));
    replace_object(&chosen_page_setup, gtk_page_setup_copy(job->page_setup));
}

// GTK+ 2.24 reads freed memory when it builds the file printer's format
// buttons for settings that name PostScript or SVG: selecting the button
// frees the remembered value while it is still being compared. So a
// dialog that starts from a print to PostScript or SVG offers PDF, and the
// remembered file name takes the PDF ending, as the format buttons do.
void start_file_printer_at_pdf(GtkPrintSettings* settings)
{
    const char* remembered = gtk_print_settings_get(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT);
    if (!remembered || g_strcmp0(remembered, "pdf") == 0)
        return;
    const std::string ending = std::string(".") + remembered;
    const char* uri = gtk_print_settings_get(settings, GTK_PRINT_SETTINGS_OUTPUT_URI);
    if (uri && g_str_has_suffix(uri, ending.c_str())) {
        std::string as_pdf(uri, std::strlen(uri) - ending.size());
        gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, (as_pdf + ".pdf").c_str());
    }
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
}

// Gives the job's surface the page's own size, turned as the paper is, so
// a landscape page comes out wider than high. The print system makes the
// surface in the paper's upright size; PDF and PostScript pages can be
// resized, other surfaces cannot (false).
bool size_surface_to_page(cairo_surface_t* surface, double width, double height)
{
    switch (cairo_surface_get_type(surface)) {
    case CAIRO_SURFACE_TYPE_PDF:
        cairo_pdf_surface_set_size(surface, width, height);
        return true;
    case CAIRO_SURFACE_TYPE_PS:
        cairo_ps_surface_set_size(surface, width, height);
        return true;
    default:
        return false;
    }
}

// Maps the page (width x height points, orientation applied) onto the
// surface: as it stands on a surface of the page's size, reversed
// orientations upside down; on an upright surface that could not be
// resized, a landscape page is turned a quarter so its top lies along the
// paper's left edge (its right edge for reverse landscape).
void turn_to_surface(cairo_t* cr, GtkPageOrientation orientation, bool sized, double width, double height)
{
    bool across =
        orientation == GTK_PAGE_ORIENTATION_LANDSCAPE || orientation == GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE;
    bool reversed =
        orientation == GTK_PAGE_ORIENTATION_REVERSE_PORTRAIT || orientation == GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE;
    if (sized || !across) {
        if (reversed) {
            cairo_translate(cr, width, height);
            cairo_rotate(cr, G_PI);
        }
        return;
    }
    // Upright paper: its width is the page's height.
    if (reversed) {
        cairo_translate(cr, height, 0);
        cairo_rotate(cr, G_PI / 2);
    } else {
        cairo_translate(cr, 0, width);
        cairo_rotate(cr, -G_PI / 2);
    }
}

// The print dialog's scale shrinks or grows the page about its centre, so
// that what stands in the middle of the page stays there.
void scale_about_centre(cairo_t* cr, double scale, double width, double height)
{
    if (scale <= 0 || scale == 1.0)
        return;
    cairo_translate(cr, width / 2, height / 2);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -width / 2, -height / 2);
}

// Pages to send, in order, as the job's settings ask: page ranges, even or
// odd pages, reverse order, copies (collated or not). The printer backend
// leaves these to the application unless it does them itself, in which
// case the job's fields already say "all, once".
std::vector<std::int32_t> pages_to_send(GtkPrintJob* print_job, std::int32_t page_count)
{
    std::vector<std::int32_t> selected;
    for (std::int32_t i = 0; i < page_count; ++i) {
        bool wanted = print_job->print_pages != GTK_PRINT_PAGES_RANGES || print_job->num_page_ranges <= 0;
        for (gint r = 0; !wanted && r < print_job->num_page_ranges; ++r) {
            const GtkPageRange& range = print_job->page_ranges[r];
            wanted = i >= range.start && i <= std::max(range.start, range.end);
        }
        if (wanted)
            selected.push_back(i);
    }
    std::vector<std::int32_t> sheets;
    for (std::size_t k = 0; k < selected.size(); ++k) {
        // Even and odd count sheets from 1, as people do.
        bool odd_sheet = k % 2 == 0;
        if (print_job->page_set == GTK_PAGE_SET_EVEN && odd_sheet)
            continue;
        if (print_job->page_set == GTK_PAGE_SET_ODD && !odd_sheet)
            continue;
        sheets.push_back(selected[k]);
    }
    if (print_job->reverse)
        sheets = std::vector<std::int32_t>(sheets.rbegin(), sheets.rend());
    int copies = print_job->num_copies > 0 ? print_job->num_copies : 1;
    std::vector<std::int32_t> order;
    if (print_job->collate) {
        for (int n = 0; n < copies; ++n)
            order.insert(order.end(), sheets.begin(), sheets.end());
    } else {
        for (std::int32_t page : sheets)
            order.insert(order.end(), std::size_t(copies), page);
    }
    return order;
}

struct send_wait {
    bool done;
    std::string error;
    bool queued;  // the print server took the job into a queue
};

void on_job_sent(GtkPrintJob*, gpointer data, GError* error)
{
    auto* wait = static_cast<send_wait*>(data);
    if (error)
        wait->error = error->message && *error->message ? error->message : "ошибка системы печати";
    wait->done = true;
}

void on_job_status(GtkPrintJob* print_job, gpointer data)
{
    GtkPrintStatus status = gtk_print_job_get_status(print_job);
    if (status == GTK_PRINT_STATUS_PENDING || status == GTK_PRINT_STATUS_PENDING_ISSUE ||
        status == GTK_PRINT_STATUS_PRINTING)
        static_cast<send_wait*>(data)->queued = true;
}

// GTK+ hands a job that the print server refused (its queue closed, the
// user's quota spent) back as sent, without an error. Its status tells:
// with status tracking on, a job the server accepted is pending in its
// queue by the time the hand-over ends, a refused one is finished at once.
// Printers without a queue (as the file printer) finish at once anyway.
bool refused_by_server(GtkPrintJob* print_job, GtkPrinter* printer, const send_wait& wait)
{
    if (gtk_printer_is_virtual(printer) || wait.queued)
        return false;
    GtkPrintStatus status = gtk_print_job_get_status(print_job);
    return status == GTK_PRINT_STATUS_FINISHED || status == GTK_PRINT_STATUS_FINISHED_ABORTED;
}

void paint_image(page_context* c, const std::uint8_t* pixels, int width, int height, int rowstride, bool alpha)
{
    record(c, "%s %d %d", alpha ? "rgbaimage" : "rgbimage", width, height);
    if (!c || !c->cr)
        return;
    cairo_surface_t* surface = cairo_surface_from_pixels(pixels, width, height, rowstride, alpha);
    if (!surface)
        return;
    cairo_t* cr = c->cr;
    cairo_save(cr);
    // The unit square's top edge is y = 1 in page space; the image's first
    // row goes there, so its rows run downward from it.
    cairo_translate(cr, 0, 1);
    cairo_scale(cr, 1.0 / width, -1.0 / height);
    cairo_set_source_surface(cr, surface, 0, 0);
    // Each sample fills its own square, as printers draw images unless told
    // to smooth them; smoothing would blur a diagram's lines.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

}  // namespace

page_job* page_job_new()
{
    auto* job = new page_job{};
    job->settings = chosen_settings ? gtk_print_settings_copy(chosen_settings) : gtk_print_settings_new();
    job->page_setup = chosen_page_setup ? gtk_page_setup_copy(chosen_page_setup) : gtk_page_setup_new();
    job->context.job = job;
    ++live_jobs;
    return job;
}

page_context* page_job_context(page_job* job)
{
    return job ? &job->context : nullptr;
}

void page_job_free(page_job* job)
{
    if (!job)
        return;
    if (job->context.cr)
        cairo_destroy(job->context.cr);
    for (recorded_page& page : job->pages)
        cairo_surface_destroy(page.surface);
    replace_object(&job->printer, static_cast<GtkPrinter*>(nullptr));
    replace_object(&job->settings, static_cast<GtkPrintSettings*>(nullptr));
    replace_object(&job->page_setup, static_cast<GtkPageSetup*>(nullptr));
    delete job;
    --live_jobs;
}

std::int32_t page_job_live_count()
{
    return live_jobs;
}

void page_forget_choices()
{
    replace_object(&chosen_settings, static_cast<GtkPrintSettings*>(nullptr));
    replace_object(&chosen_page_setup, static_cast<GtkPageSetup*>(nullptr));
}

int page_job_run_dialog(page_job* job)
{
    if (!job || !gdk_display_get_default())
        return 0;
    GtkWidget* widget = gtk_print_unix_dialog_new("Print", nullptr);
    if (!widget)
        return 0;
    auto* dialog = GTK_PRINT_UNIX_DIALOG(widget);
    // Paper size and orientation on the dialog's page-setup tab, beside the printer.
    gtk_print_unix_dialog_set_embed_page_setup(dialog, TRUE);
    start_file_printer_at_pdf(job->settings);
    gtk_print_unix_dialog_set_settings(dialog, job->settings);
    // Until the user has chosen, the dialog takes the chosen printer's own
    // default paper; afterwards it keeps the user's paper and orientation.
    if (chosen_page_setup)
        gtk_print_unix_dialog_set_page_setup(dialog, job->page_setup);
    // Beyond the printer's own, the dialog offers Preview and the scale,
    // which printing applies itself.
    gtk_print_unix_dialog_set_manual_capabilities(
        dialog, GtkPrintCapabilities(GTK_PRINT_CAPABILITY_PREVIEW | GTK_PRINT_CAPABILITY_SCALE));
    gtk_window_set_modal(GTK_WINDOW(widget), TRUE);
    gint response = gtk_dialog_run(GTK_DIALOG(widget));
    int result = response == GTK_RESPONSE_OK ? 1 : response == GTK_RESPONSE_APPLY ? 2 : 0;
    if (result != 0) {
        GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(dialog);
        replace_object(&job->printer, printer ? GTK_PRINTER(g_object_ref(printer)) : nullptr);
        replace_object(&job->settings, gtk_print_unix_dialog_get_settings(dialog));
        GtkPageSetup* setup = gtk_print_unix_dialog_get_page_setup(dialog);
        if (setup)
            replace_object(&job->page_setup, gtk_page_setup_copy(setup));
        remember_choices(job);
    }
    gtk_widget_destroy(widget);
    return result;
}

bool page_job_page_size(page_job* job, double* width, double* height)
{
    if (!job || !job->page_setup)
        return false;
    paper_size(job, width, height);
    return true;
}

void page_begin(page_context* c, const std::string& name)
{
    record(c, "beginpage %s", name.c_str());
    if (!c)
        return;
    if (c->cr)
        page_show(c);
    double width = 0, height = 0;
    paper_size(c->job, &width, &height);
    cairo_rectangle_t extents = {0, 0, width, height};
    cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    c->job->pages.push_back({name, surface});
    c->cr = cairo_create(surface);
    // Page space: y upward from the bottom edge.
    cairo_matrix_t flip;
    cairo_matrix_init(&flip, 1, 0, 0, -1, 0, height);
    cairo_set_matrix(c->cr, &flip);
    // PostScript's default line width, which the page's users expect.
    cairo_set_line_width(c->cr, 1.0);
    cairo_set_source_rgb(c->cr, 0, 0, 0);
}

void page_show(page_context* c)
{
    record(c, "showpage");
    if (!c || !c->cr)
        return;
    cairo_destroy(c->cr);
    c->cr = nullptr;
}

bool page_job_print(page_job* job, std::string* failure)
{
    failure->clear();
    if (!job)
        return true;
    if (job->context.cr) {
        cairo_destroy(job->context.cr);
        job->context.cr = nullptr;
    }
    if (job->pages.empty())
        return true;
    if (!job->printer) {
        *failure = "принтер не выбран";
        return false;
    }
    const char* title = g_get_application_name();
    GtkPrintJob* print_job = gtk_print_job_new(title ? title : "print", job->printer, job->settings, job->page_setup);
    GError* error = nullptr;
    cairo_surface_t* surface = gtk_print_job_get_surface(print_job, &error);
    if (!surface) {
        *failure = error && error->message ? error->message : "ошибка системы печати";
        if (error)
            g_error_free(error);
        g_object_unref(print_job);
        return false;
    }
    std::vector<std::int32_t> order = pages_to_send(print_job, std::int32_t(job->pages.size()));
    if (order.empty()) {
        *failure = "в выбранном диапазоне нет страниц";
        g_object_unref(print_job);
        return false;
    }
    double width = 0, height = 0;
    paper_size(job, &width, &height);
    GtkPageOrientation orientation = gtk_page_setup_get_orientation(job->page_setup);
    cairo_t* cr = cairo_create(surface);
    for (std::int32_t index : order) {
        // Set before anything is drawn on the page, as cairo asks.
        bool sized = size_surface_to_page(surface, width, height);
        cairo_save(cr);
        turn_to_surface(cr, orientation, sized, width, height);
        scale_about_centre(cr, print_job->scale, width, height);
        page_job_play_page(job, index, cr);
        cairo_restore(cr);
        cairo_show_page(cr);
    }
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    // The job sends its spool file as it stands, so the surface must have
    // written everything to it first.
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        *failure = cairo_status_to_string(status);
        g_object_unref(print_job);
        return false;
    }
    // Wait for the hand-over so that quitting right after printing loses
    // nothing; the backends finish sending from the main loop.
    send_wait wait{false, {}, false};
    gtk_print_job_set_track_print_status(print_job, TRUE);
    g_signal_connect(print_job, "status-changed", G_CALLBACK(on_job_status), &wait);
    gtk_print_job_send(print_job, on_job_sent, &wait, nullptr);
    while (!wait.done)
        gtk_main_iteration();
    if (wait.error.empty() && refused_by_server(print_job, job->printer, wait))
        wait.error = "сервер печати не принял задание";
    // GTK+ may go on following the job; nothing here needs to hear of it.
    g_signal_handlers_disconnect_by_data(print_job, &wait);
    g_object_unref(print_job);
    *failure = wait.error;
    return failure->empty();
}

std::int32_t page_job_page_count(const page_job* job)
{
    return job ? std::int32_t(job->pages.size()) : 0;
}

std::string page_job_page_name(const page_job* job, std::int32_t index)
{
    if (!job || index < 0 || std::size_t(index) >= job->pages.size())
        return {};
    return job->pages[std::size_t(index)].name;
}

void page_job_play_page(const page_job* job, std::int32_t index, cairo_t* cr)
{
    if (!job || !cr || index < 0 || std::size_t(index) >= job->pages.size())
        return;
    cairo_save(cr);
    cairo_set_source_surface(cr, job->pages[std::size_t(index)].surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

void page_set_rgb(page_context* c, double r, double g, double b)
{
    record(c, "setrgbcolor %g %g %g", r, g, b);
    if (c && c->cr)
        cairo_set_source_rgb(c->cr, r, g, b);
}

void page_move_to(page_context* c, double x, double y)
{
    record(c, "moveto %g %g", x, y);
    if (c && c->cr)
        cairo_move_to(c->cr, x, y);
}

void page_line_to(page_context* c, double x, double y)
{
    record(c, "lineto %g %g", x, y);
    if (c && c->cr)
        cairo_line_to(c->cr, x, y);
}

void page_curve_to(page_context* c, double x1, double y1, double x2, double y2, double x3, double y3)
{
    record(c, "curveto %g %g %g %g %g %g", x1, y1, x2, y2, x3, y3);
    if (c && c->cr)
        cairo_curve_to(c->cr, x1, y1, x2, y2, x3, y3);
}

void page_arc_to(page_context* c, double cx, double cy, double radius, double from_degrees, double to_degrees,
                 int direction)
{
    record(c, "arcto %g %g %g %g %g %d", cx, cy, radius, from_degrees, to_degrees, direction);
    if (!c || !c->cr)
        return;
    // In page space, growing angles run counter-clockwise.
    double from = from_degrees * G_PI / 180.0;
    double to = to_degrees * G_PI / 180.0;
    if (direction == 0)
        cairo_arc(c->cr, cx, cy, radius, from, to);
    else
        cairo_arc_negative(c->cr, cx, cy, radius, from, to);
}

void page_fill(page_context* c)
{
    record(c, "fill");
    if (c && c->cr)
        cairo_fill(c->cr);
}

void page_stroke(page_context* c)
{
    record(c, "stroke");
    if (c && c->cr)
        cairo_stroke(c->cr);
}

void page_save(page_context* c)
{
    record(c, "gsave");
    if (c && c->cr)
        cairo_save(c->cr);
}

void page_restore(page_context* c)
{
    record(c, "grestore");
    if (c && c->cr)
        cairo_restore(c->cr);
}

void page_translate(page_context* c, double x, double y)
{
    record(c, "translate %g %g", x, y);
    if (c && c->cr)
        cairo_translate(c->cr, x, y);
}

void page_scale(page_context* c, double sx, double sy)
{
    record(c, "scale %g %g", sx, sy);
    // A zero scale would leave cairo's matrix singular and the page unusable.
    if (c && c->cr && sx != 0 && sy != 0)
        cairo_scale(c->cr, sx, sy);
}

void page_rotate(page_context* c, double degrees)
{
    record(c, "rotate %g", degrees);
    if (c && c->cr)
        cairo_rotate(c->cr, degrees * G_PI / 180.0);
}

void page_rgb_image(page_context* c, const std::uint8_t* pixels, int width, int height, int rowstride)
{
    paint_image(c, pixels, width, height, rowstride, false);
}

void page_rgba_image(page_context* c, const std::uint8_t* pixels, int width, int height, int rowstride)
{
    paint_image(c, pixels, width, height, rowstride, true);
}

PangoLayout* page_create_layout(page_context*)
{
    PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    // One unit per point, and metrics that do not depend on the surface.
    pango_cairo_context_set_resolution(context, 72.0);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    PangoLayout* layout = pango_layout_new(context);
    g_object_unref(context);
    return layout;
}

void page_layout(page_context* c, PangoLayout* layout)
{
    record(c, "layout %s", layout ? pango_layout_get_text(layout) : "");
    if (!c || !c->cr || !layout || !cairo_has_current_point(c->cr))
        return;
    cairo_t* cr = c->cr;
    double x = 0, y = 0;
    cairo_get_current_point(cr, &x, &y);
    cairo_save(cr);
    // Text runs downward from its top-left corner, so turn y back down there.
    cairo_translate(cr, x, y);
    cairo_scale(cr, 1, -1);
    cairo_move_to(cr, 0, 0);
    pango_cairo_update_layout(cr, layout);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
}

void page_context_record_calls(page_context* c, std::string* log)
{
    if (c)
        c->log = log;
}
