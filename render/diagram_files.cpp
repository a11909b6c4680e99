// Both formats go through the safe write, so a diagram file appears whole
// or not at all, and a name the user chose that is a link keeps its link.
#include "render/diagram_files.h"

#include <cerrno>
#include <cstring>

#include <gtk/gtk.h>

#include "chess/quoted_input.h"
#include "layout/quoted_file_name.h"
#include "imaging/fonts.h"
#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "layout/square_set.h"
#include "toolkit/safe_write.h"

namespace {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");
constexpr int task_font = 0;

gboolean write_chunk(const gchar* bytes, gsize count, GError** failure, gpointer data)
{
    auto* file = static_cast<safe_write*>(data);
    if (std::fwrite(bytes, 1, count, file->stream) == count)
        return TRUE;
    file->error = errno ? errno : EIO;
    g_set_error_literal(failure, G_FILE_ERROR, g_file_error_from_errno(file->error), std::strerror(file->error));
    return FALSE;
}

// The reason a write failed, as the system says it.
int save_png(GdkPixbuf* pixbuf, const std::string& path, std::string* gdk_reason)
{
    safe_write file;
    if (!safe_write_open(&file, path, link_rule::follow))
        return file.error;
    GError* failure = nullptr;
    if (!gdk_pixbuf_save_to_callback(pixbuf, write_chunk, &file, "png", &failure, nullptr)) {
        if (!file.error && failure)
            *gdk_reason = failure->message;
        if (failure)
            g_error_free(failure);
        const int reason = file.error ? file.error : EIO;
        file.error = reason;
        safe_write_abandon(&file);
        return reason;
    }
    return safe_write_commit(&file) ? 0 : file.error;
}

}  // namespace

void open_display_if_any()
{
    int argc = 1;
    char name[] = "chess-diagram-render";
    char* args[] = {name, nullptr};
    char** argv = args;
    // The settings give the screen its font resolution and options, as they
    // do in the editor once its first widget exists; text must match its.
    if (gtk_init_check(&argc, &argv))
        gtk_settings_get_default();
}

bool draw_position(const board_position& position, const std::string& task_text, std::string* error,
                   std::string* warning)
{
    const std::int32_t s = square_set_size();
    diagram_content content{};
    for (int n = 1; n <= board_squares; n++)
        content.squares[n - 1] = image_handle(square_image_number(position[std::size_t(n - 1)], n));
    content.horizontal_strip = image_handle(horizontal_strip_image);
    content.vertical_strip = image_handle(vertical_strip_image);
    content.font = font_handle(task_font);
    content.task_text = text_from_utf8(task_text);
    int text_width = 0;
    if (!render_diagram_image(rendered_diagram, s, content, &text_width)) {
        *error = "не удалось нарисовать диаграмму " + std::to_string(diagram_width(s)) + " × " +
                 std::to_string(diagram_height(s)) + ": не хватает памяти";
        return false;
    }
    warning->clear();
    if (text_width > diagram_width(s))
        *warning = "текст задания шире диаграммы (" + std::to_string(text_width) + " точек при ширине " +
                   std::to_string(diagram_width(s)) + ") и обрезан с обеих сторон: " + quoted_input(task_text);
    return true;
}

bool save_rendered_diagram(const std::string& path, image_format format, std::string* error)
{
    int reason = 0;
    std::string gdk_reason;
    bool saved;
    if (format == image_format::png) {
        reason = save_png(image_handle(rendered_diagram), path, &gdk_reason);
        saved = reason == 0;
    } else {
        saved = image_save(rendered_diagram, text_from_utf8(path), jpeg_code);
        reason = saved ? 0 : image_encode_last_errno();
    }
    if (saved)
        return true;
    const std::string why = !gdk_reason.empty() ? gdk_reason : reason ? std::strerror(reason) : "";
    *error = "не удалось записать " + quoted_file_name(path) + (why.empty() ? "" : ": " + why);
    return false;
}
