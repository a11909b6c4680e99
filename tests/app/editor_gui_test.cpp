// The editor window and the board, read back from the real widgets.
#include <gtest/gtest.h>

#include "app/composer.h"
#include "imaging/image_store.h"
#include "tests/app/composer_support.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

void expect_at(int gadget, int x, int y)
{
    GdkRectangle r = gadget_allocation(gadget);
    EXPECT_EQ(r.x, x) << "gadget " << gadget;
    EXPECT_EQ(r.y, y) << "gadget " << gadget;
}

void expect_box(int gadget, int x, int y, int w, int h)
{
    GdkRectangle r = gadget_allocation(gadget);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}), (std::vector<int>{x, y, w, h}))
        << "gadget " << gadget;
}

GdkPixbuf* shown(int gadget)
{
    return reinterpret_cast<GdkPixbuf*>(gadget_get_state(gadget));
}

// The layout for square size s, from the formulas the board is built on.
void expect_layout(int s)
{
    for (int n = 1; n <= 64; n++)
        expect_box(n, ((n - 1) / 8 + 1) * s, ((n - 1) % 8 + 1) * s, s, s);
    // Strips show their images at the images' own sizes.
    expect_box(65, s - s / 2, s / 2, 9 * s, s / 2);
    expect_box(66, s - s / 2, 9 * s, 9 * s, s / 2);
    expect_box(67, s - s / 2, s, s / 2, 8 * s);
    expect_box(68, 9 * s, s, s / 2, 8 * s);
    for (int i = 1; i <= 6; i++) {
        expect_box(68 + i, 10 * s, i * s + 3 * i - s / 2, s, s);
        expect_box(74 + i, 11 * s + 5, i * s + 3 * i - s / 2, s, s);
    }
    expect_box(81, 12 * s + 10, s + 3 - s / 2, s, s);
    expect_box(88, 12 * s + 10, 2 * s + 6 - s / 2, s, s);
    expect_box(89, 12 * s + 10, 3 * s + 9 - s / 2, s, s);
    expect_box(82, s / 2, 10 * s - s / 2 + 5, 9 * s, 25);
    const int buttons[][2] = {{85, 10}, {83, 40}, {84, 70}, {86, 100}, {87, 130}};
    for (auto [gadget, offset] : buttons)
        expect_box(gadget, 10 * s, 7 * s + offset, 790 - 10 * s, 25);
}

}  // namespace

TEST(editor_window, layout_for_square_size_60)
{
    composer_session session(60);
    ASSERT_EQ(session.start_status, 0);
    expect_layout(60);
}

TEST(editor_window, layout_for_square_size_50_matches_the_worked_example)
{
    composer_session session(50);
    ASSERT_EQ(session.start_status, 0);
    expect_layout(50);
    // The worked example, spelled out.
    expect_at(1, 50, 50);
    expect_box(64, 400, 400, 50, 50);
    expect_at(65, 25, 25);
    expect_at(66, 25, 450);
    expect_at(67, 25, 50);
    expect_at(68, 450, 50);
    const int rows[] = {28, 81, 134, 187, 240, 293};
    for (int i = 0; i < 6; i++) {
        expect_at(69 + i, 500, rows[i]);
        expect_at(75 + i, 555, rows[i]);
    }
    expect_at(81, 610, 28);
    expect_box(82, 25, 480, 450, 25);
    expect_box(85, 500, 360, 290, 25);
    expect_at(83, 500, 390);
    expect_at(84, 500, 420);
    expect_at(86, 500, 450);
    expect_at(87, 500, 480);
}

TEST(editor_window, odd_square_size_uses_truncating_halves)
{
    composer_session session(61);
    ASSERT_EQ(session.start_status, 0);
    expect_layout(61);
    expect_at(65, 31, 30);
}

TEST(editor_window, window_is_titled_and_buttons_are_labelled)
{
    composer_session session;
    ASSERT_EQ(session.start_status, 0);
    GtkWidget* window = window_widget(0);
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Chess diagram");
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
    EXPECT_EQ(gadget_get_text(85), u"Добавить к печати");
    EXPECT_EQ(gadget_get_text(83), u"Просмотр и печать");
    EXPECT_EQ(gadget_get_text(84), u"Сохранить изображение");
    EXPECT_EQ(gadget_get_text(86), u"Очистить доску");
    EXPECT_EQ(gadget_get_text(87), u"Очистить диаграммы");
    EXPECT_EQ(gadget_get_text(82), placeholder_text);

    // At s = 60 the buttons are 190 wide; every label gets all the width it
    // asks for, so none is cut.
    for (int button = 83; button <= 87; button++) {
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(gadget_widget(button)));
        GtkRequisition wanted;
        gtk_widget_size_request(label, &wanted);
        GtkAllocation given;
        gtk_widget_get_allocation(label, &given);
        EXPECT_GE(given.width, wanted.width) << "button " << button;
    }
    // The smaller font is the buttons' alone: the task-text field keeps the theme's.
    gchar* theme = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-font-name", &theme, nullptr);
    PangoFontDescription* theme_font = pango_font_description_from_string(theme);
    g_free(theme);
    EXPECT_TRUE(pango_font_description_equal(gtk_widget_get_style(gadget_widget(82))->font_desc, theme_font));
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(gadget_widget(84)));
    EXPECT_LT(pango_font_description_get_size(gtk_widget_get_style(label)->font_desc),
              pango_font_description_get_size(theme_font));
    pango_font_description_free(theme_font);
}

TEST(board, shade_table_alternates_from_a_light_top_left_square)
{
    composer_session session;
    ASSERT_EQ(session.start_status, 0);
    EXPECT_EQ(composer.shade_table[1], 1);
    EXPECT_EQ(composer.shade_table[2], -1);
    EXPECT_EQ(composer.shade_table[9], -1);
    EXPECT_EQ(composer.shade_table[64], 1);
    int light = 0;
    for (int n = 1; n <= 64; n++) {
        light += composer.shade_table[n] == 1;
        EXPECT_EQ(shown(n), image_handle(composer.shade_table[n] == 1 ? 25 : 26)) << n;
    }
    EXPECT_EQ(light, 32);
}

TEST(board, palette_choice_places_light_and_dark_variants)
{
    composer_session session;
    ASSERT_EQ(session.start_status, 0);
    press_gadget(75);  // black king
    EXPECT_EQ(composer.selected_piece, 13);
    press_gadget(1);   // light square
    press_gadget(2);   // dark square
    EXPECT_EQ(shown(1), image_handle(13));
    EXPECT_EQ(shown(2), image_handle(14));
    press_gadget(88);
    press_gadget(9);   // dark
    EXPECT_EQ(shown(9), image_handle(30));
    press_gadget(89);
    press_gadget(3);   // light
    press_gadget(4);   // dark
    EXPECT_EQ(shown(3), image_handle(31));
    EXPECT_EQ(shown(4), image_handle(32));
    press_gadget(81);  // the empty square clears
    press_gadget(1);
    press_gadget(2);
    EXPECT_EQ(shown(1), image_handle(25));
    EXPECT_EQ(shown(2), image_handle(26));
}

TEST(board, every_palette_gadget_selects_the_image_it_shows)
{
    composer_session session;
    ASSERT_EQ(session.start_status, 0);
    for (int g = 69; g <= 81; g++) {
        press_gadget(g);
        EXPECT_EQ(image_handle(composer.selected_piece), shown(g)) << g;
    }
}

TEST(board, a_square_clicked_before_any_choice_stays_as_it_was)
{
    composer_session session;
    ASSERT_EQ(session.start_status, 0);
    press_gadget(1);
    press_gadget(2);
    EXPECT_EQ(shown(1), image_handle(25));
    EXPECT_EQ(shown(2), image_handle(26));
}

TEST(board, clearing_restores_the_fresh_board_and_empties_the_field)
{
    composer_session session;
    ASSERT_EQ(session.start_status, 0);
    std::vector<GdkPixbuf*> fresh;
    for (int n = 1; n <= 64; n++)
        fresh.push_back(shown(n));
    press_gadget(69);
    for (int n = 1; n <= 64; n += 3)
        press_gadget(n);
    gadget_set_text(82, u"Мат в 2 хода");
    press_gadget(86);
    for (int n = 1; n <= 64; n++)
        EXPECT_EQ(shown(n), fresh[n - 1]) << n;
    EXPECT_EQ(gadget_get_text(82), u"") << "emptied, and setting it posted nothing";
    EXPECT_EQ(composer.selected_piece, 1);
}

// Steps 2 to 4 of the main loop for one event of any kind.
void one_pass_on(std::int32_t kind)
{
    event_post(kind, 0, 0, 0);
    composer.event_kind = event_wait(0);
    composer_after_event();
}

TEST(board, the_placeholder_returns_at_the_next_event_of_any_kind_and_typed_text_stays)
{
    composer_session session;
    ASSERT_EQ(session.start_status, 0);
    ASSERT_NE(gadget_active(), 82);
    press_gadget(86);
    ASSERT_EQ(gadget_get_text(82), u"");
    one_pass_on(event_kind::repaint);
    EXPECT_EQ(gadget_get_text(82), placeholder_text);

    gadget_set_text(82, u"Мат в 2 хода");
    one_pass_on(event_kind::window_moved);
    press_gadget(65);
    EXPECT_EQ(gadget_get_text(82), u"Мат в 2 хода");
    // A text that only starts like the placeholder is the user's too.
    gadget_set_text(82, u"Введите здесь текст задания!");
    one_pass_on(event_kind::repaint);
    EXPECT_EQ(gadget_get_text(82), u"Введите здесь текст задания!");
}
