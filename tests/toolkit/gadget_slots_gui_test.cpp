// The operations-table slots the common operations do not reach: fonts,
// colours, scroll-area attributes and the text field's completion items.
#include <gtest/gtest.h>

#include "tests/toolkit/toolkit_gui_support.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_kinds.h"
#include "toolkit/window.h"

namespace {

class gadget_slots : public testing::Test {
protected:
    void SetUp() override
    {
        toolkit_up();
        ASSERT_NE(window_open(0, 0, 0, 400, 360, u"slots", 0), 0);
    }
    void TearDown() override
    {
        window_close_all();
        take_events();
    }
};

TEST_F(gadget_slots, fonts_are_copied_and_read_back)
{
    gadget_button(1, 0, 0, 80, 25, u"шрифт");
    gadget_text_field(2, 0, 30, 80, 25, u"");
    for (object_number n : {1, 2}) {
        gadget_record* record = gadget_lookup(n);
        const PangoFontDescription* before = record->ops->get_font(record);
        ASSERT_NE(before, nullptr) << "the style's font when none was set";
        PangoFontDescription* font = pango_font_description_from_string("Serif Bold 21");
        record->ops->set_font(record, font);
        pango_font_description_free(font);  // the gadget keeps a copy
        const PangoFontDescription* after = record->ops->get_font(record);
        ASSERT_NE(after, nullptr);
        EXPECT_EQ(pango_font_description_get_size(after), 21 * PANGO_SCALE);
        EXPECT_EQ(pango_font_description_get_weight(after), PANGO_WEIGHT_BOLD);
    }
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(gadget_widget(1)));
    EXPECT_EQ(pango_font_description_get_size(gtk_widget_get_style(label)->font_desc), 21 * PANGO_SCALE);
}

TEST_F(gadget_slots, colours_put_red_in_the_low_byte_and_reset_with_minus_one)
{
    gadget_text_field(2, 0, 30, 80, 25, u"");
    gadget_record* field = gadget_lookup(2);
    EXPECT_EQ(field->ops->get_colour(field, gadget_colour_type::front), -1);
    field->ops->set_colour(field, gadget_colour_type::front, 0x0000FF);
    field->ops->set_colour(field, gadget_colour_type::back, 0xFF0000);
    EXPECT_EQ(field->ops->get_colour(field, gadget_colour_type::front), 0x0000FF);
    EXPECT_EQ(field->ops->get_colour(field, gadget_colour_type::back), 0xFF0000);
    GtkStyle* style = gtk_widget_get_style(field->widget);
    EXPECT_EQ(style->text[GTK_STATE_NORMAL].red, 0xFFFF);
    EXPECT_EQ(style->text[GTK_STATE_NORMAL].blue, 0);
    EXPECT_EQ(style->base[GTK_STATE_NORMAL].blue, 0xFFFF);
    EXPECT_EQ(style->base[GTK_STATE_NORMAL].red, 0);
    field->ops->set_colour(field, gadget_colour_type::front, -1);
    EXPECT_EQ(field->ops->get_colour(field, gadget_colour_type::front), -1);

    gadget_scroll_area(4, 0, 80, 50, 50, 100, 100);
    gadget_record* scroll = gadget_lookup(4);
    scroll->ops->set_colour(scroll, gadget_colour_type::back, 0x00FF00);
    EXPECT_EQ(scroll->ops->get_colour(scroll, gadget_colour_type::back), 0x00FF00);
    EXPECT_EQ(gtk_widget_get_style(gadget_current_list())->bg[GTK_STATE_NORMAL].green, 0xFFFF);
}

TEST_F(gadget_slots, scroll_area_attributes_read_and_move_the_inner_area)
{
    gadget_scroll_area(4, 0, 0, 100, 80, 400, 300);
    settle();
    gadget_record* scroll = gadget_lookup(4);
    EXPECT_EQ(scroll->ops->get_attribute(scroll, gadget_attribute::inner_width), 400);
    EXPECT_EQ(scroll->ops->get_attribute(scroll, gadget_attribute::inner_height), 300);

    scroll->ops->set_attribute(scroll, gadget_attribute::horizontal_position, 50);
    EXPECT_EQ(scroll->ops->get_attribute(scroll, gadget_attribute::horizontal_position), 50);
    GtkAdjustment* vertical = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroll->widget));
    int last = int(gtk_adjustment_get_upper(vertical) - gtk_adjustment_get_page_size(vertical));
    ASSERT_GT(last, 0);
    scroll->ops->set_attribute(scroll, gadget_attribute::vertical_position, 100000);
    EXPECT_EQ(scroll->ops->get_attribute(scroll, gadget_attribute::vertical_position), last);

    scroll->ops->set_attribute(scroll, gadget_attribute::inner_height, 500);
    EXPECT_EQ(scroll->ops->get_attribute(scroll, gadget_attribute::inner_height), 500);
    EXPECT_EQ(scroll->ops->get_attribute(scroll, gadget_attribute::inner_width), 400);
}

TEST_F(gadget_slots, completion_items_need_a_completion_list)
{
    gadget_text_field(2, 0, 0, 80, 25, u"");
    gadget_record* field = gadget_lookup(2);
    EXPECT_EQ(field->ops->count_items(field), 0);
    EXPECT_EQ(field->ops->add_item(field, -1, "none"), -1);

    GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
    GtkEntryCompletion* completion = gtk_entry_completion_new();
    gtk_entry_completion_set_model(completion, GTK_TREE_MODEL(store));
    gtk_entry_set_completion(GTK_ENTRY(field->widget), completion);
    g_object_unref(store);
    g_object_unref(completion);

    EXPECT_EQ(field->ops->add_item(field, -1, "слон"), 0);
    EXPECT_EQ(field->ops->add_item(field, 0, "конь"), 0);
    EXPECT_EQ(field->ops->add_item(field, 99, "ладья"), 2);
    EXPECT_EQ(field->ops->count_items(field), 3);
    EXPECT_EQ(field->ops->get_item_text(field, 0), u"конь");
    EXPECT_EQ(field->ops->get_item_text(field, 1), u"слон");
    field->ops->set_item_text(field, 1, "ферзь");
    field->ops->remove_item(field, 0);
    field->ops->remove_item(field, 7);
    EXPECT_EQ(field->ops->count_items(field), 2);
    EXPECT_EQ(field->ops->get_item_text(field, 0), u"ферзь");
    EXPECT_EQ(field->ops->get_item_text(field, 5), u"");
    field->ops->clear_items(field);
    EXPECT_EQ(field->ops->count_items(field), 0);
}

}  // namespace
