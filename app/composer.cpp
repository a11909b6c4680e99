// Start-up, the working folders, the main loop and its dispatch, and the end
// of the program. The composer waits for one event at a time; after every
// event it keeps button 85 and the task-text placeholder up to date, then
// acts on gadget events by gadget number.
#include "app/composer.h"

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>

#include <gtk/gtk.h>

#include "app/file_services.h"
#include "codec/jpeg_plugin.h"
#include "imaging/bmp_decoder.h"
#include "imaging/drawing.h"
#include "imaging/fonts.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/image_numbers.h"
#include "layout/square_set.h"
#include "print/print_job.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

composer_state composer;

namespace {

// At s = 60 the buttons are 190 pixels wide, too narrow for "Сохранить
// изображение" in the usual theme font, so their labels get that font a
// point smaller. Only buttons placed in a window's gadget list match: the
// task-text field, the drawn diagrams and the dialogs keep the theme's font.
void use_smaller_button_font()
{
    gchar* name = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-font-name", &name, nullptr);
    PangoFontDescription* font = pango_font_description_from_string(name ? name : "Sans 10");
    g_free(name);
    int size = pango_font_description_get_size(font);
    if (size > 2 * PANGO_SCALE)
        pango_font_description_set_size(font, size - PANGO_SCALE);
    gchar* smaller = pango_font_description_to_string(font);
    std::string style = std::string("style \"gadget_button\" { font_name = \"") + smaller + "\" }\n" +
                        "widget_class \"GtkWindow.GtkVBox.GtkFixed*GtkButton*\" style \"gadget_button\"\n";
    gtk_rc_parse_string(style.c_str());
    g_free(smaller);
    pango_font_description_free(font);
}

void initialise_toolkit(int* argc, char*** argv)
{
    gtk_init(argc, argv);
    use_smaller_button_font();
    image_plugins_init();
    image_decoder_register(bmp_decoder());
    image_store_init();
    drawing_init();
    event_queue_init();
    window_table_init();
    gadget_table_init();
    printer_init();
    font_store_init();
}

void refuse_to_start(const std::string& why)
{
    show_start_refusal(why, nullptr, nullptr);
}

// SAVE/ and TEMP/ are made when missing; TEMP/ must be usable, since the
// collected diagrams may go nowhere else.
bool settle_folders()
{
    mkdir(text_to_utf8(composer.save_folder).c_str(), 0777);
    std::string temp = text_to_utf8(composer.temp_folder);
    mkdir(temp.c_str(), 0777);
    text here = directory_current();
    if (directory_set_current(composer.temp_folder) != 0) {
        refuse_to_start("не удаётся создать папку " + temp + " или войти в неё: " + g_strerror(errno));
        return false;
    }
    directory_set_current(here);
    return true;
}

bool load_square_images()
{
    if (directory_set_current(composer.data_folder) != 0) {
        refuse_to_start("не удаётся войти в папку " + text_to_utf8(composer.data_folder));
        return false;
    }
    std::string why;
    if (!square_set_load(text_to_utf8(composer.data_folder), &why)) {
        refuse_to_start(why);
        return false;
    }
    return true;
}

void update_add_button()
{
    gadget_disable(85, composer.collected_count < 4 ? 0 : 1);
}

// The placeholder shows only while the field is unfocused and empty.
void update_placeholder()
{
    object_number active = gadget_active();
    if (active == 82 && gadget_get_text(82) == placeholder_text)
        gadget_set_text(82, u"");
    if (active != 82 && gadget_get_text(82).empty())
        gadget_set_text(82, placeholder_text);
}

}  // namespace

int composer_start(int* argc, char*** argv)
{
    composer = composer_state{};
    initialise_toolkit(argc, argv);
    jpeg_decoder_register();
    jpeg_encoder_register();
    font_load(0, u"", 12);
    composer.working_folder = directory_current();
    if (composer.working_folder.empty()) {
        refuse_to_start("не удаётся прочитать имя текущей папки");
        return 1;
    }
    composer.data_folder = composer.working_folder + u"DATA/";
    composer.save_folder = composer.working_folder + u"SAVE/";
    composer.temp_folder = composer.working_folder + u"TEMP/";
    if (!settle_folders() || !load_square_images())
        return 1;
    composer.square_size = square_set_size();
    clear_diagrams();
    build_editor_window();
    return 0;
}

void composer_after_event()
{
    update_add_button();
    update_placeholder();
}

void composer_dispatch()
{
    object_number g = event_gadget();
    if (g >= 69 && g <= 81)
        composer.selected_piece = 2 * g - 137;
    else if (g == 88)
        composer.selected_piece = cross_marker_image;
    else if (g == 89)
        composer.selected_piece = ring_marker_image;
    else if (g >= 1 && g <= 64)
        place_piece(g);
    else if (g == 83)
        preview_and_print();
    else if (g == 84)
        save_diagram();
    else if (g == 85)
        add_to_print();
    else if (g == 86) {
        clear_board();
        gadget_set_text(82, u"");
    } else if (g == 87)
        clear_diagrams();
}

void composer_main_loop()
{
    for (;;) {
        composer.event_kind = event_wait(-1);
        composer_after_event();
        if (composer.event_kind == event_kind::close_request)
            return;
        if (composer.event_kind == event_kind::gadget_event)
            composer_dispatch();
    }
}

void end_program_resources()
{
    font_store_shutdown();
    window_close_all();
    image_store_shutdown();
}

int composer_main(int argc, char** argv)
{
    if (composer_start(&argc, &argv) != 0)
        return 1;
    composer_main_loop();
    end_program_resources();
    return 0;
}
