// Each sheet is composed as the editor composes its print sheet, then
// painted onto an A4 page scaled on each axis on its own, as printing does;
// the page keeps the sheet's 1180 x 1628 pixels rather than printing's 72
// per inch. The PDF is written under a temporary name beside the target and
// renamed into place once cairo has finished it without error.
#include "render/sheets_pdf.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <cairo-pdf.h>
#include <cairo.h>

#include "imaging/cairo_pixels.h"
#include "imaging/drawing.h"
#include "imaging/image_output.h"
#include "imaging/image_store.h"
#include "layout/sheet_layout.h"
#include "render/diagram_files.h"
#include "render/options.h"
#include "render/square_set.h"

namespace {

constexpr std::int32_t diagram_image = rendered_diagram;
constexpr std::int32_t sheet_image = 101;
constexpr double a4_width_points = 210.0 / 25.4 * 72.0;
constexpr double a4_height_points = 297.0 / 25.4 * 72.0;
constexpr colour white = 0xFFFFFF;

// The sheet of up to four diagrams, drawn as the editor draws its print sheet.
void compose_sheet(const std::vector<GdkPixbuf*>& diagrams)
{
    image_create(sheet_image, sheet_width, sheet_height);
    drawing_start(image_output(sheet_image));
    drawing_mode(drawing_mode_bit::gradient);
    draw_box(0, 0, sheet_width + 10, sheet_height + 10, white);
    drawing_mode(drawing_mode_bit::outlined);
    for (std::size_t k = 1; k <= diagrams.size(); k++) {
        GdkPixbuf* diagram = diagrams[k - 1];
        const sheet_point at =
            sheet_cell_origin(int(k), gdk_pixbuf_get_width(diagram), gdk_pixbuf_get_height(diagram));
        draw_image(diagram, at.x, at.y);
    }
    drawing_stop();
}

void add_page(cairo_t* cr, std::vector<GdkPixbuf*>* diagrams)
{
    compose_sheet(*diagrams);
    for (GdkPixbuf* diagram : *diagrams)
        g_object_unref(diagram);
    diagrams->clear();
    GdkPixbuf* pixels = image_handle(sheet_image);
    cairo_surface_t* sheet =
        pixels ? cairo_surface_from_pixels(gdk_pixbuf_get_pixels(pixels), sheet_width, sheet_height,
                                           gdk_pixbuf_get_rowstride(pixels), gdk_pixbuf_get_has_alpha(pixels))
               : nullptr;
    if (sheet) {
        cairo_save(cr);
        cairo_scale(cr, a4_width_points / sheet_width, a4_height_points / sheet_height);
        cairo_set_source_surface(cr, sheet, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_destroy(sheet);
    }
    cairo_show_page(cr);
}

cairo_status_t write_to_file(void* file, const unsigned char* data, unsigned int length)
{
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(file)) == length ? CAIRO_STATUS_SUCCESS
                                                                                    : CAIRO_STATUS_WRITE_ERROR;
}

// Draws every sheet onto cr; false when a diagram file could not be written.
bool draw_sheets(const position_list& list, const std::string& output, cairo_t* cr)
{
    bool all_written = true;
    std::vector<GdkPixbuf*> diagrams;
    for (const listed_position& entry : list.positions) {
        render_position(diagram_image, entry.position, entry.task_text);
        std::string error;
        if (!output.empty() &&
            !save_rendered_diagram(listed_file_name(output, entry.number, list.position_lines), &error)) {
            report_problem("строка " + std::to_string(entry.line) + ": " + error);
            all_written = false;
        }
        diagrams.push_back(gdk_pixbuf_copy(image_handle(diagram_image)));
        if (diagrams.size() == sheet_cells)
            add_page(cr, &diagrams);
    }
    if (!diagrams.empty())
        add_page(cr, &diagrams);
    return all_written;
}

}  // namespace

bool write_sheets_pdf(const position_list& list, const std::string& pdf_path, const std::string& output)
{
    if (list.positions.empty()) {
        report_problem("в списке нет ни одной позиции, листы не записаны");
        return false;
    }
    std::string temporary = pdf_path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (!file) {
        report_problem("не удалось записать " + pdf_path + ": " + std::strerror(errno));
        if (fd >= 0) {
            close(fd);
            unlink(temporary.c_str());
        }
        return false;
    }
    // mkstemp makes the file for its owner only; the PDF gets the usual rights.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    open_display_if_any();
    cairo_surface_t* pdf = cairo_pdf_surface_create_for_stream(write_to_file, file, a4_width_points, a4_height_points);
    cairo_t* cr = cairo_create(pdf);
    const bool diagrams_written = draw_sheets(list, output, cr);
    cairo_destroy(cr);
    cairo_surface_finish(pdf);
    const cairo_status_t status = cairo_surface_status(pdf);
    cairo_surface_destroy(pdf);
    errno = 0;
    const bool complete = std::fclose(file) == 0 && status == CAIRO_STATUS_SUCCESS;
    if (!complete || std::rename(temporary.c_str(), pdf_path.c_str()) != 0) {
        const std::string why = errno ? std::strerror(errno) : cairo_status_to_string(status);
        report_problem("не удалось записать " + pdf_path + ": " + why);
        unlink(temporary.c_str());
        return false;
    }
    return diagrams_written;
}
