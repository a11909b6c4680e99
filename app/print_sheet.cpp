// The print sheet: up to four collected diagrams in a 2 x 2 grid on image
// 101, shown in the preview window (window 1) and printed as large as the
// printer's page holds it, centred. Also the reset of the collection to
// four white blanks.
#include "app/composer.h"

#include <algorithm>

#include "app/file_services.h"
#include "imaging/drawing.h"
#include "imaging/image_output.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/image_numbers.h"
#include "layout/sheet_composition.h"
#include "print/print_job.h"
#include "print/printer_output.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");
constexpr colour white = 0xFFFFFF;

// The collected files are named in full, so they can land nowhere but in TEMP/.
text collected_file(int k)
{
    return composer.temp_folder + number_to_string(k) + u".jpg";
}

void paint_white(int width, int height)
{
    drawing_mode(drawing_mode_bit::gradient);
    draw_box(0, 0, width, height, white);
}

// Each collected file is read into image 99 in turn. A file that cannot be
// read leaves image 99 as it was, so its cell shows the diagram before it.
bool compose_collected_sheet()
{
    GdkPixbuf* diagrams[sheet_cells] = {};
    const int count = std::min(composer.collected_count, sheet_cells);
    for (int k = 1; k <= count; k++) {
        image_load(collected_diagram_image, collected_file(k));
        diagrams[k - 1] = image_handle(collected_diagram_image);
        if (diagrams[k - 1])
            g_object_ref(diagrams[k - 1]);  // the next load replaces image 99
    }
    const bool composed = sheet_compose(sheet_image, diagrams, count);
    for (GdkPixbuf* diagram : diagrams)
        if (diagram)
            g_object_unref(diagram);
    return composed;
}

void open_preview_window()
{
    window_open(1, 1, 1, 1000, 730, u"", window_flag::centred | window_flag::minimize_box);
    gadget_button(201, 425, 695, 150, 25, u"Печать диаграмм");
    gadget_scroll_area(199, 0, 0, 990, 680, sheet_width, sheet_height);
    gadget_image(200, 5, 5, sheet_width, sheet_height, image_handle(sheet_image));
}

void print_sheet()
{
    printing_start(u"print diagram");
    drawing_start(printer_output());
    const sheet_area on_page = sheet_fit_on_page(printer_page_width(), printer_page_height());
    image_resize(sheet_image, on_page.width, on_page.height);
    draw_image(image_handle(sheet_image), on_page.x, on_page.y);
    drawing_stop();
    printing_stop();
    if (!printer_last_failure().empty())
        show_failure_message(u"Не удалось напечатать диаграммы: " + text_from_utf8(printer_last_failure()));
}

}  // namespace

void clear_diagrams()
{
    directory_set_current(composer.temp_folder);
    image_create(blank_diagram_image, 5, 5);
    drawing_start(image_output(blank_diagram_image));
    paint_white(10, 10);
    drawing_stop();
    // Without a fresh blank, 1.jpg is whatever stood there before; copying
    // it would spread a stale diagram over the others.
    if (image_save_owned(blank_diagram_image, collected_file(1), jpeg_code)) {
        for (int k = 2; k <= 4; k++)
            file_copy(collected_file(1), collected_file(k));
    } else {
        const int reason = image_encode_last_errno();
        show_failure_message(u"Не удалось записать чистые диаграммы в папку «" + composer.temp_folder + u"»" +
                             (reason ? u": " + text_from_utf8(g_strerror(reason)) : text()) + u".");
    }
    composer.collected_count = 0;
}

void preview_and_print()
{
    directory_set_current(composer.temp_folder);
    if (!compose_collected_sheet()) {
        show_failure_message(u"Не удалось составить лист диаграмм: не хватает памяти.");
        return;
    }
    open_preview_window();
    for (;;) {
        composer.event_kind = event_wait(-1);
        if (composer.event_kind == event_kind::close_request) {
            window_close(1);
            return;
        }
        if (composer.event_kind == event_kind::gadget_event && event_gadget() == 201 && printer_request() != 0)
            print_sheet();
    }
}
