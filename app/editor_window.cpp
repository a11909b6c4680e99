// The editor window and the board model. The board has no model of its own:
// the image each square gadget shows is the position. Every coordinate is a
// formula of the square size s, the width of square image 1.
#include "app/composer.h"

#include "imaging/image_store.h"
#include "layout/image_numbers.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

// Walks the squares in gadget order (down each column, columns left to
// right) with the shade toggle of the build: t starts at -1, flips after
// every square and once more after every column. Each square gets the image
// for the toggle's value before its flip.
template <class Visit>
void walk_board(Visit visit)
{
    int n = 0;
    int t = -1;
    for (int col = 1; col <= 8; col++) {
        for (int row = 1; row <= 8; row++) {
            n++;
            visit(n, col, row, t == -1 ? empty_light_square_image : empty_dark_square_image, -t);
            t = -t;
        }
        t = -t;
    }
}

GdkPixbuf* square_image(int number)
{
    return image_handle(number);
}

void build_squares(int s)
{
    walk_board([s](int n, int col, int row, int image, int shade_after_flip) {
        gadget_image(n, col * s, row * s, s, s, square_image(image));
        composer.shade_table[n] = shade_after_flip;
    });
}

void build_frame(int s)
{
    gadget_image(65, s - s / 2, s / 2, 9 * s, s / 2, square_image(horizontal_strip_image));
    gadget_image(66, s - s / 2, 9 * s, 9 * s, 25, square_image(horizontal_strip_image));
    gadget_image(67, s - s / 2, s, s / 2, 8 * s, square_image(vertical_strip_image));
    gadget_image(68, 9 * s, s, s / 2, 8 * s, square_image(vertical_strip_image));
}

int palette_row_y(int s, int i)
{
    return i * s + 3 * i - s / 2;
}

void build_palette(int s)
{
    for (int i = 1; i <= 6; i++)
        gadget_image(68 + i, 10 * s, palette_row_y(s, i), s, s, square_image(first_white_piece_image + 2 * (i - 1)));
    for (int i = 1; i <= 6; i++)
        gadget_image(74 + i, 11 * s + 5, palette_row_y(s, i), s, s, square_image(first_black_piece_image + 2 * (i - 1)));
    gadget_image(81, 12 * s + 10, palette_row_y(s, 1), s, s, square_image(empty_light_square_image));
}

void build_buttons(int s)
{
    const int x = 10 * s, width = 790 - 10 * s, height = 25;
    gadget_button(83, x, 7 * s + 40, width, height, u"Просмотр и печать");
    gadget_button(84, x, 7 * s + 70, width, height, u"Сохранить изображение");
    gadget_button(85, x, 7 * s + 10, width, height, u"Добавить к печати");
    gadget_button(86, x, 7 * s + 100, width, height, u"Очистить доску");
    gadget_button(87, x, 7 * s + 130, width, height, u"Очистить диаграммы");
}

}  // namespace

void build_editor_window()
{
    const int s = composer.square_size;
    window_open(0, 1, 1, 800, 620, u"Chess diagram", window_flag::centred | window_flag::minimize_box);
    build_squares(s);
    build_frame(s);
    build_palette(s);
    gadget_text_field(82, s / 2, 10 * s - s / 2 + 5, 9 * s, 25, placeholder_text);
    build_buttons(s);
    gadget_image(88, 12 * s + 10, palette_row_y(s, 2), s, s, square_image(cross_marker_image));
    gadget_image(89, 12 * s + 10, palette_row_y(s, 3), s, s, square_image(ring_marker_image));
    gadget_set_active(85);
}

void clear_board()
{
    walk_board([](int n, int, int, int image, int) {
        gadget_set_state(n, gadget_state(square_image(image)));
    });
}

// A square clicked before any palette choice keeps what it shows: there is
// no piece to place yet.
void place_piece(int square)
{
    if (composer.selected_piece == 0)
        return;
    int image = composer.shade_table[square] == 1 ? composer.selected_piece : composer.selected_piece + 1;
    gadget_set_state(square, gadget_state(square_image(image)));
}
