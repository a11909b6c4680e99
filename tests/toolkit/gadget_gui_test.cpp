// Gadgets in a real window: sizes, the click and drag trackers, the text
// field's change reports, button clicks racing a close request, scroll
// areas as gadget lists, and which gadget has the focus.
#include <gtest/gtest.h>

#include <gdk/gdkkeysyms.h>

#include "tests/toolkit/toolkit_gui_support.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

using types = std::vector<std::int32_t>;
using namespace gadget_event_type;

class gadget_window : public testing::Test {
protected:
    void SetUp() override
    {
        toolkit_up();
        window = reinterpret_cast<GtkWidget*>(window_open(0, 0, 0, 400, 360, u"gadgets", 0));
        ASSERT_NE(window, nullptr);
        settle();
        take_events();
    }
    void TearDown() override
    {
        window_close_all();
        take_events();
        for (GdkPixbuf* p : pixbufs)
            g_object_unref(p);
    }
    GdkPixbuf* pixbuf(int width, int height)
    {
        pixbufs.push_back(solid_pixbuf(width, height));
        return pixbufs.back();
    }
    GtkWidget* window = nullptr;
    std::vector<GdkPixbuf*> pixbufs;
};

GtkAllocation allocation_of(GtkWidget* widget)
{
    GtkAllocation a{};
    gtk_widget_get_allocation(widget, &a);
    return a;
}

void click(GtkWidget* box, guint button)
{
    send_button(box, GDK_BUTTON_PRESS, button);
    send_button(box, GDK_BUTTON_RELEASE, button);
}

void double_click(GtkWidget* box, guint button)
{
    // What GDK delivers for a double click: the second press comes twice.
    send_button(box, GDK_BUTTON_PRESS, button);
    send_button(box, GDK_BUTTON_RELEASE, button);
    send_button(box, GDK_BUTTON_PRESS, button);
    send_button(box, GDK_2BUTTON_PRESS, button);
    send_button(box, GDK_BUTTON_RELEASE, button);
}

TEST_F(gadget_window, image_gadget_takes_the_image_size_or_exactly_the_given_one)
{
    ASSERT_NE(gadget_image(1, 10, 10, 100, 100, pixbuf(40, 30)), 0);
    ASSERT_NE(gadget_image(2, 10, 200, 70, 20, nullptr), 0);
    settle();
    GtkAllocation with_image = allocation_of(gadget_outer_widget(1));
    EXPECT_EQ(with_image.width, 40);
    EXPECT_EQ(with_image.height, 30);
    GtkAllocation empty = allocation_of(gadget_outer_widget(2));
    EXPECT_EQ(empty.width, 70);
    EXPECT_EQ(empty.height, 20);
    EXPECT_TRUE(GTK_IS_IMAGE(gadget_widget(1)));
    EXPECT_TRUE(GTK_IS_EVENT_BOX(gadget_outer_widget(1)));
}

TEST_F(gadget_window, clearing_an_image_gadget_keeps_its_size_and_a_new_image_resizes_it)
{
    GdkPixbuf* first = pixbuf(40, 30);
    GdkPixbuf* second = pixbuf(25, 15);
    gadget_image(1, 10, 10, 100, 100, first);
    settle();
    EXPECT_EQ(gadget_get_state(1), reinterpret_cast<gadget_state>(first));

    gadget_set_state(1, 0);
    settle();
    EXPECT_EQ(gadget_get_state(1), 0);
    EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(gadget_widget(1))), GTK_IMAGE_EMPTY);
    EXPECT_EQ(allocation_of(gadget_outer_widget(1)).width, 40);
    EXPECT_EQ(allocation_of(gadget_outer_widget(1)).height, 30);

    gadget_set_state(1, reinterpret_cast<gadget_state>(second));
    settle();
    EXPECT_EQ(gtk_image_get_pixbuf(GTK_IMAGE(gadget_widget(1))), second);
    EXPECT_EQ(allocation_of(gadget_outer_widget(1)).width, 25);
    EXPECT_EQ(allocation_of(gadget_outer_widget(1)).height, 15);
}

TEST_F(gadget_window, clearing_right_after_a_new_image_keeps_the_new_size)
{
    // No resize has run between the two calls.
    gadget_image(1, 10, 10, 100, 100, pixbuf(40, 30));
    settle();
    gadget_set_state(1, reinterpret_cast<gadget_state>(pixbuf(60, 50)));
    gadget_set_state(1, 0);
    settle();
    EXPECT_EQ(allocation_of(gadget_outer_widget(1)).width, 60);
    EXPECT_EQ(allocation_of(gadget_outer_widget(1)).height, 50);
}

TEST_F(gadget_window, click_tracker_reports_left_and_right_single_and_double_clicks)
{
    gadget_image(7, 10, 10, 50, 50, nullptr);
    settle();
    GtkWidget* box = gadget_outer_widget(7);

    click(box, 1);
    auto left = take_gadget_events(7);
    EXPECT_EQ(sub_types(left), types{left_click});
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].window, 0);

    click(box, 3);
    EXPECT_EQ(sub_types(take_gadget_events(7)), types{right_click});
    double_click(box, 1);
    EXPECT_EQ(sub_types(take_gadget_events(7)), (types{left_click, left_double_click}));
    double_click(box, 3);
    EXPECT_EQ(sub_types(take_gadget_events(7)), (types{right_click, right_double_click}));
}

TEST_F(gadget_window, click_tracker_ignores_middle_button_and_mismatched_release)
{
    gadget_image(7, 10, 10, 50, 50, nullptr);
    settle();
    GtkWidget* box = gadget_outer_widget(7);

    click(box, 2);
    EXPECT_TRUE(take_gadget_events(7).empty());

    send_button(box, GDK_BUTTON_PRESS, 1);
    send_button(box, GDK_BUTTON_RELEASE, 3);
    EXPECT_TRUE(take_gadget_events(7).empty());
    // The mismatched release forgot the press, so a later release is no click.
    send_button(box, GDK_BUTTON_RELEASE, 1);
    EXPECT_TRUE(take_gadget_events(7).empty());

    send_button(box, GDK_BUTTON_PRESS, 3);
    send_button(box, GDK_BUTTON_RELEASE, 1);
    EXPECT_TRUE(take_gadget_events(7).empty());
}

TEST_F(gadget_window, drag_past_the_threshold_reports_one_drag_start_and_still_a_click)
{
    gadget_image(7, 10, 10, 80, 80, nullptr);
    settle();
    GtkWidget* box = gadget_outer_widget(7);
    gint threshold = 0;
    g_object_get(gtk_widget_get_settings(box), "gtk-dnd-drag-threshold", &threshold, nullptr);
    ASSERT_GT(threshold, 0);
    ASSERT_LT(threshold, 40);

    send_button(box, GDK_BUTTON_PRESS, 1, 5, 5);
    send_motion(box, 6, 6, GDK_BUTTON1_MASK);
    EXPECT_TRUE(take_gadget_events(7).empty()) << "within the threshold";
    send_motion(box, 5 + threshold + 1, 5, GDK_BUTTON1_MASK);
    EXPECT_EQ(sub_types(take_gadget_events(7)), types{drag_start});
    // Taken from the queue at once, so a repeat could not hide in a collapse.
    send_motion(box, 60, 60, GDK_BUTTON1_MASK);
    EXPECT_TRUE(take_gadget_events(7).empty());
    send_motion(box, 70, 5, GDK_BUTTON1_MASK);
    send_button(box, GDK_BUTTON_RELEASE, 1, 70, 5);
    EXPECT_EQ(sub_types(take_gadget_events(7)), types{left_click});

    // The next press arms it again.
    send_button(box, GDK_BUTTON_PRESS, 1, 5, 5);
    send_motion(box, 60, 60, GDK_BUTTON1_MASK);
    EXPECT_EQ(sub_types(take_gadget_events(7)), types{drag_start});
    send_button(box, GDK_BUTTON_RELEASE, 1, 60, 60);
    take_events();
}

TEST_F(gadget_window, image_gadget_window_asks_the_server_for_presses_releases_and_drags)
{
    // Events sent straight to the widget pass whatever its mask says; the X
    // server sends only what the GDK window asked for.
    gadget_image(7, 10, 10, 80, 80, pixbuf(20, 20));
    settle();
    GdkWindow* box_window = gtk_widget_get_window(gadget_outer_widget(7));
    ASSERT_NE(box_window, nullptr);
    const GdkEventMask wanted =
        GdkEventMask(GDK_BUTTON_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    EXPECT_EQ(gdk_window_get_events(box_window) & wanted, wanted);
    EXPECT_EQ(gtk_widget_get_events(gadget_outer_widget(7)) & wanted, wanted);
}

TEST_F(gadget_window, no_drag_without_the_left_button_alone)
{
    gadget_image(7, 10, 10, 80, 80, nullptr);
    settle();
    GtkWidget* box = gadget_outer_widget(7);

    // Motion with the button up, before any press.
    send_motion(box, 60, 60, GDK_BUTTON1_MASK);
    // Left and right held together.
    send_button(box, GDK_BUTTON_PRESS, 1, 5, 5);
    send_motion(box, 60, 60, GDK_BUTTON1_MASK | GDK_BUTTON3_MASK);
    send_button(box, GDK_BUTTON_RELEASE, 1, 60, 60);
    // After the release the press is over.
    send_motion(box, 70, 70, GDK_BUTTON1_MASK);
    // A right-button drag.
    send_button(box, GDK_BUTTON_PRESS, 3, 5, 5);
    send_motion(box, 60, 60, GDK_BUTTON3_MASK);
    send_button(box, GDK_BUTTON_RELEASE, 3, 60, 60);
    EXPECT_EQ(sub_types(take_gadget_events(7)), (types{left_click, right_click}));
}

TEST_F(gadget_window, text_set_by_the_program_posts_no_change_but_typing_does)
{
    ASSERT_NE(gadget_text_field(82, 10, 10, 200, 25, u"начало"), 0);
    EXPECT_EQ(gadget_get_text(82), u"начало");
    gadget_set_text(82, u"Мат в два хода");
    EXPECT_EQ(gadget_get_text(82), u"Мат в два хода");
    settle();
    EXPECT_TRUE(take_gadget_events(82).empty());

    gadget_set_text(82, u"");
    GtkWidget* entry = gadget_widget(82);
    send_key(entry, GDK_a);
    send_key(entry, GDK_b);
    EXPECT_EQ(gadget_get_text(82), u"ab");
    // Two keystrokes in a row are one change in the queue.
    EXPECT_EQ(sub_types(take_gadget_events(82)), types{change});
    send_key(entry, GDK_c);
    EXPECT_EQ(sub_types(take_gadget_events(82)), types{change});
    // Enter reports nothing.
    send_key(entry, GDK_Return);
    EXPECT_TRUE(take_gadget_events(82).empty());
    // The program's text still reports nothing after the user typed.
    gadget_set_text(82, u"x");
    EXPECT_TRUE(take_gadget_events(82).empty());
}

TEST_F(gadget_window, focus_moves_are_reported_and_active_gadget_follows_the_window_focus)
{
    gadget_text_field(82, 10, 10, 200, 25, u"");
    gadget_button(83, 10, 50, 100, 25, u"Кнопка");
    settle();
    take_events();
    EXPECT_EQ(gadget_active(), -1);

    gadget_set_active(82);
    send_focus(window, true);
    EXPECT_EQ(gadget_active(), 82);
    EXPECT_EQ(sub_types(take_gadget_events(82)), types{focus});

    EXPECT_EQ(gadget_set_active(83), 1);
    EXPECT_EQ(gadget_active(), 83);
    EXPECT_EQ(sub_types(take_gadget_events(82)), types{lost_focus});

    gadget_set_active(82);
    take_events();
    send_focus(window, false);
    EXPECT_EQ(sub_types(take_gadget_events(82)), types{lost_focus});
    // The field is still the window's focus widget, but the window is not focused.
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), gadget_widget(82));
    EXPECT_EQ(gadget_active(), -1);
}

TEST_F(gadget_window, button_click_is_dropped_only_while_a_close_request_is_oldest)
{
    ASSERT_NE(gadget_button(85, 10, 10, 120, 25, u"Добавить к печати"), 0);
    EXPECT_EQ(gadget_get_text(85), u"Добавить к печати");
    settle();
    take_events();
    GtkButton* button = GTK_BUTTON(gadget_widget(85));

    gtk_button_clicked(button);
    EXPECT_EQ(sub_types(take_gadget_events(85)), types{left_click});

    event_post(event_kind::close_request, 0, 0, 0);
    gtk_button_clicked(button);
    auto events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, event_kind::close_request);

    // A close request behind another event does not stop the click.
    event_post(event_kind::repaint, 0, 0, 0);
    event_post(event_kind::close_request, 0, 0, 0);
    gtk_button_clicked(button);
    EXPECT_EQ(sub_types(take_gadget_events(85)), types{left_click});
}

TEST_F(gadget_window, disable_and_operations_a_kind_lacks)
{
    gadget_button(85, 10, 10, 120, 25, u"");
    gadget_image(7, 10, 50, 20, 20, nullptr);
    gadget_text_field(82, 10, 80, 100, 25, u"t");
    gadget_disable(85, 1);
    EXPECT_FALSE(gtk_widget_get_sensitive(gadget_widget(85)));
    gadget_disable(85, 0);
    EXPECT_TRUE(gtk_widget_get_sensitive(gadget_widget(85)));

    EXPECT_EQ(gadget_get_text(85), u"");
    EXPECT_EQ(gadget_get_text(7), u"");
    gadget_set_text(7, u"ignored");
    EXPECT_EQ(gadget_get_text(7), u"");
    EXPECT_EQ(gadget_get_state(7), 0) << "the image gadget still shows nothing";
    EXPECT_TRUE(take_gadget_events(7).empty());
    EXPECT_EQ(gadget_get_state(82), 0);
    gadget_set_state(82, 1);
    EXPECT_EQ(gadget_get_text(82), u"t");
    EXPECT_EQ(gadget_get_state(85), 0);  // a push button has no toggle state

    // Numbers without a live gadget.
    EXPECT_EQ(gadget_set_active(50), 0);
    EXPECT_EQ(gadget_get_text(50), u"");
    EXPECT_EQ(gadget_get_state(50), 0);
    gadget_disable(50, 1);
    gadget_set_text(50, u"x");
    EXPECT_EQ(gadget_widget(50), nullptr);
    // ... and they reach no other gadget.
    EXPECT_TRUE(gtk_widget_get_sensitive(gadget_widget(85)));
    EXPECT_EQ(gadget_get_text(85), u"");
    EXPECT_EQ(gadget_get_text(82), u"t");
}

TEST_F(gadget_window, gadget_200_after_scroll_area_199_sits_in_its_inner_area)
{
    ASSERT_NE(gadget_scroll_area(199, 10, 10, 200, 150, 400, 300), 0);
    GtkWidget* scrolled = gadget_widget(199);
    GtkWidget* viewport = gtk_bin_get_child(GTK_BIN(scrolled));
    ASSERT_TRUE(GTK_IS_VIEWPORT(viewport));
    GtkWidget* inner = gtk_bin_get_child(GTK_BIN(viewport));
    ASSERT_TRUE(GTK_IS_FIXED(inner));
    EXPECT_EQ(gadget_current_list(), inner);

    // Larger than the inner area: it must not grow.
    ASSERT_NE(gadget_image(200, 5, 5, 0, 0, pixbuf(500, 400)), 0);
    settle();
    GtkWidget* box = gadget_outer_widget(200);
    EXPECT_EQ(gtk_widget_get_parent(box), inner);
    GtkAllocation placed = allocation_of(box);
    EXPECT_EQ(placed.x, 5);  // the inner area has its own window
    EXPECT_EQ(placed.y, 5);
    EXPECT_EQ(allocation_of(inner).width, 400);
    EXPECT_EQ(allocation_of(inner).height, 300);
    EXPECT_EQ(allocation_of(scrolled).width, 200);
    EXPECT_EQ(allocation_of(scrolled).height, 150);
    EXPECT_EQ(gtk_scrolled_window_get_shadow_type(GTK_SCROLLED_WINDOW(scrolled)), GTK_SHADOW_NONE);
    EXPECT_EQ(gtk_viewport_get_shadow_type(GTK_VIEWPORT(viewport)), GTK_SHADOW_NONE);
}

TEST_F(gadget_window, scrolling_posts_one_event_while_its_own_is_oldest)
{
    gadget_scroll_area(199, 10, 10, 200, 150, 400, 300);
    settle();
    take_events();
    auto* scrolled = GTK_SCROLLED_WINDOW(gadget_widget(199));
    GtkAdjustment* horizontal = gtk_scrolled_window_get_hadjustment(scrolled);
    GtkAdjustment* vertical = gtk_scrolled_window_get_vadjustment(scrolled);

    gtk_adjustment_set_value(horizontal, 30);
    auto events = take_gadget_events(199);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].sub_type, 0);
    EXPECT_EQ(events[0].window, 0);

    gtk_adjustment_set_value(horizontal, 40);
    event_post(event_kind::repaint, 0, 0, 0);
    gtk_adjustment_set_value(vertical, 20);  // its own event is still the oldest
    EXPECT_EQ(take_gadget_events(199).size(), 1u);

    event_post(event_kind::repaint, 0, 0, 0);
    gtk_adjustment_set_value(vertical, 30);  // now the oldest is another event
    EXPECT_EQ(take_gadget_events(199).size(), 1u);
}

TEST_F(gadget_window, a_number_made_again_names_only_the_new_gadget)
{
    gadget_image(5, 10, 10, 20, 20, nullptr);
    GtkWidget* old_box = gadget_outer_widget(5);
    g_object_add_weak_pointer(G_OBJECT(old_box), reinterpret_cast<gpointer*>(&old_box));
    created_object made = gadget_button(5, 10, 10, 60, 25, u"новая");
    EXPECT_EQ(old_box, nullptr) << "the old gadget's widgets are gone";
    EXPECT_EQ(reinterpret_cast<GtkWidget*>(made), gadget_widget(5));
    EXPECT_TRUE(GTK_IS_BUTTON(gadget_widget(5)));
    EXPECT_EQ(gadget_get_text(5), u"новая");
}

TEST_F(gadget_window, scroll_area_made_again_inside_itself_goes_back_to_the_list_it_was_pushed_over)
{
    GtkWidget* list = window_gadget_list(0);
    auto parent_of = [](GtkWidget* widget) { return widget ? gtk_widget_get_parent(widget) : nullptr; };
    // Making the number again destroys the old area's inner area, which is
    // the current list; the new area goes where the old one went.
    gadget_scroll_area(199, 10, 10, 200, 150, 400, 300);
    GtkWidget* old_inner = gadget_current_list();
    g_object_add_weak_pointer(G_OBJECT(old_inner), reinterpret_cast<gpointer*>(&old_inner));
    ASSERT_NE(gadget_scroll_area(199, 10, 10, 200, 150, 400, 300), 0);
    EXPECT_EQ(old_inner, nullptr);
    EXPECT_EQ(parent_of(gadget_widget(199)), list);
    ASSERT_NE(gadget_image(200, 5, 5, 30, 30, nullptr), 0);
    GtkWidget* new_inner = parent_of(gadget_outer_widget(200));
    EXPECT_EQ(parent_of(parent_of(new_inner)), gadget_widget(199)) << "the new area's own inner area";

    // A scroll area inside it, then 199 replaced by another kind: both inner
    // areas go, and every later creator gets the window's list.
    ASSERT_NE(gadget_scroll_area(198, 0, 0, 100, 100, 200, 200), 0);
    ASSERT_NE(gadget_button(199, 10, 10, 60, 25, u"b"), 0);
    EXPECT_EQ(gadget_widget(198), nullptr);
    EXPECT_EQ(parent_of(gadget_widget(199)), list);
    ASSERT_NE(gadget_text_field(82, 10, 200, 100, 25, u""), 0);
    EXPECT_EQ(parent_of(gadget_widget(82)), list);
    EXPECT_EQ(gadget_current_list(), list);
}

TEST_F(gadget_window, dynamic_number_returns_a_handle_that_names_the_gadget)
{
    created_object handle = gadget_text_field(dynamic_number, 10, 10, 100, 25, u"d");
    ASSERT_NE(handle, 0);
    auto number = object_number(handle);
    EXPECT_NE(number, dynamic_number);
    EXPECT_EQ(gadget_get_text(number), u"d");
    gadget_set_text(number, u"e");
    EXPECT_TRUE(take_gadget_events(number).empty());
    gadget_set_active(number);
    send_focus(window, true);
    EXPECT_EQ(gadget_active(), number);
    send_focus(window, false);
}

TEST_F(gadget_window, closing_the_window_releases_its_gadgets_and_stops_creation)
{
    gadget_scroll_area(199, 10, 10, 200, 150, 400, 300);
    gadget_image(200, 5, 5, 30, 30, nullptr);
    gadget_text_field(82, 10, 200, 100, 25, u"");
    window_close(0);
    EXPECT_EQ(gadget_widget(199), nullptr);
    EXPECT_EQ(gadget_widget(200), nullptr);
    EXPECT_EQ(gadget_widget(82), nullptr);

    ASSERT_EQ(gadget_current_list(), nullptr);
    EXPECT_EQ(gadget_button(90, 0, 0, 10, 10, u"x"), 0);
    EXPECT_EQ(gadget_image(91, 0, 0, 10, 10, nullptr), 0);
    EXPECT_EQ(gadget_text_field(92, 0, 0, 10, 10, u""), 0);
    EXPECT_EQ(gadget_scroll_area(93, 0, 0, 10, 10, 20, 20), 0);
    EXPECT_EQ(gadget_widget(90), nullptr);
    EXPECT_EQ(gadget_widget(93), nullptr);
}

}  // namespace
