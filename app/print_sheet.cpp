// The print sheet: up to four collected diagrams in a 2 x 2 grid on image
// 101, shown in the preview window (window 1) and printed as large as the
// printer's page holds it, centred. Also the reset of the collection to
// four white blanks.
#include "app/composer.h"

#include "app/file_services.h"
#include "imaging/drawing.h"
#include "imaging/image_output.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/sheet_layout.h"
#include "print/print_job.h"
#include "print/printer_output.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");
constexpr colour white = 0xFFFFFF;
constexpr int blank_image = 0;
constexpr int collected_image = 99;
constexpr int sheet_image = 101;

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

void draw_collected_diagram(int k)
{
    image_load(collected_image, collected_file(k));
    const sheet_point at = sheet_cell_origin(k, image_width(collected_image), image_height(collected_image));
    if (k <= sheet_cells)
        draw_image(image_handle(collected_image), at.x, at.y);
}

void compose_sheet()
{
    image_create(sheet_image, sheet_width, sheet_height);
    drawing_start(image_output(sheet_image));
    paint_white(sheet_width + 10, sheet_height + 10);
    drawing_mode(drawing_mode_bit::outlined);
    for (int k = 1; k <= composer.collected_count; k++)
        draw_collected_diagram(k);
    drawing_stop();
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
    image_create(blank_image, 5, 5);
    drawing_start(image_output(blank_image));
    paint_white(10, 10);
    drawing_stop();
    // Without a fresh blank, 1.jpg is whatever stood there before; copying
    // it would spread a stale diagram over the others.
    if (image_save(blank_image, collected_file(1), jpeg_code)) {
        for (int k = 2; k <= 4; k++)
            file_copy(collected_file(1), collected_file(k));
    } else {
        show_failure_message(u"Не удалось записать чистые диаграммы в папку «" + composer.temp_folder + u"».");
    }
    composer.collected_count = 0;
}

void preview_and_print()
{
    directory_set_current(composer.temp_folder);
    compose_sheet();
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
