// Each sheet is composed as the editor composes its print sheet, then
// painted onto an A4 page scaled on each axis on its own, as printing does;
// the page keeps the sheet's 1180 x 1628 pixels rather than printing's 72
// per inch. The PDF goes through the safe write: it replaces an earlier one
// only once cairo has finished it without error.
#include "render/sheets_pdf.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <cairo-pdf.h>
#include <cairo.h>

#include "imaging/cairo_pixels.h"
#include "imaging/image_store.h"
#include "layout/image_numbers.h"
#include "layout/sheet_composition.h"
#include "render/diagram_files.h"
#include "render/options.h"
#include "toolkit/safe_write.h"

namespace {

constexpr double a4_width_points = 210.0 / 25.4 * 72.0;
constexpr double a4_height_points = 297.0 / 25.4 * 72.0;

// Where cairo's bytes go, and the reason of the first write that failed:
// cairo reports only that a write failed, and errno is gone by then.
struct pdf_output {
    safe_write file;
    int write_error;
};

cairo_status_t write_to_file(void* closure, const unsigned char* data, unsigned int length)
{
    auto* output = static_cast<pdf_output*>(closure);
    if (std::fwrite(data, 1, length, output->file.stream) == length)
        return CAIRO_STATUS_SUCCESS;
    if (!output->write_error)
        output->write_error = errno ? errno : EIO;
    return CAIRO_STATUS_WRITE_ERROR;
}

// Puts the sheet of up to four diagrams on a page of its own; false when
// the sheet could not be composed.
bool add_page(cairo_t* cr, std::vector<GdkPixbuf*>* diagrams)
{
    const bool composed = sheet_compose(sheet_image, diagrams->data(), int(diagrams->size()));
    for (GdkPixbuf* diagram : *diagrams)
        g_object_unref(diagram);
    diagrams->clear();
    GdkPixbuf* pixels = composed ? image_handle(sheet_image) : nullptr;
    cairo_surface_t* sheet =
        pixels ? cairo_surface_from_pixels(gdk_pixbuf_get_pixels(pixels), sheet_width, sheet_height,
                                           gdk_pixbuf_get_rowstride(pixels), gdk_pixbuf_get_has_alpha(pixels))
               : nullptr;
    if (!sheet)
        return false;
    cairo_save(cr);
    cairo_scale(cr, a4_width_points / sheet_width, a4_height_points / sheet_height);
    cairo_set_source_surface(cr, sheet, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(sheet);
    cairo_show_page(cr);
    return true;
}

// Draws every sheet onto cr; false when a diagram could not be drawn or
// written, or a sheet not composed (each said on standard error).
bool draw_sheets(const position_list& list, const std::string& output, cairo_t* cr)
{
    bool all_written = true;
    std::vector<GdkPixbuf*> diagrams;
    auto fail = [&](int line, const std::string& error) {
        report_problem("строка " + std::to_string(line) + ": " + error);
        all_written = false;
    };
    for (const listed_position& entry : list.positions) {
        std::string error;
        if (!draw_position(entry.position, entry.task_text, &error)) {
            fail(entry.line, error);
            continue;
        }
        if (!output.empty() &&
            !save_rendered_diagram(listed_file_name(output, entry.number, list.position_lines), &error))
            fail(entry.line, error);
        diagrams.push_back(gdk_pixbuf_copy(image_handle(rendered_diagram)));
        if (diagrams.size() == sheet_cells && !add_page(cr, &diagrams))
            fail(entry.line, "не удалось составить лист: не хватает памяти");
    }
    if (!diagrams.empty() && !add_page(cr, &diagrams))
        fail(list.positions.back().line, "не удалось составить лист: не хватает памяти");
    return all_written;
}

}  // namespace

bool write_sheets_pdf(const position_list& list, const std::string& pdf_path, const std::string& output)
{
    if (list.positions.empty()) {
        report_problem("в списке нет ни одной позиции, листы не записаны");
        return false;
    }
    pdf_output pdf{};
    if (!safe_write_open(&pdf.file, pdf_path, link_rule::follow)) {
        report_problem("не удалось записать " + pdf_path + ": " + std::strerror(pdf.file.error));
        return false;
    }
    open_display_if_any();
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(write_to_file, &pdf, a4_width_points, a4_height_points);
    cairo_t* cr = cairo_create(surface);
    const bool diagrams_written = draw_sheets(list, output, cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        pdf.file.error = pdf.write_error;
        safe_write_abandon(&pdf.file);
        const std::string why = pdf.write_error ? std::strerror(pdf.write_error) : cairo_status_to_string(status);
        report_problem("не удалось записать " + pdf_path + ": " + why);
        return false;
    }
    if (!safe_write_commit(&pdf.file)) {
        report_problem("не удалось записать " + pdf_path + ": " + std::strerror(pdf.file.error));
        return false;
    }
    return diagrams_written;
}
