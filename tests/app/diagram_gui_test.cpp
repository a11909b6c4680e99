// Rendering, collecting and the print sheet, driven through the composer's
// own procedures, with references composed by ImageMagick from DATA/.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/composer.h"
#include "imaging/drawing.h"
#include "imaging/fonts.h"
#include "imaging/image_output.h"
#include "imaging/image_store.h"
#include "tests/app/composer_support.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"

namespace {

struct rgb_image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    const std::uint8_t* at(int x, int y) const { return &pixels[std::size_t((y * width + x) * 3)]; }
};

// Decodes with ImageMagick, never with the program's own decoder.
rgb_image decode(const std::string& path, const temp_folder& scratch)
{
    rgb_image image;
    std::string ppm = scratch.file("decoded.ppm");
    if (run_command("convert '" + path + "' -depth 8 '" + ppm + "'") != 0)
        return image;
    auto bytes = read_file_bytes(ppm);
    int maxval = 0, consumed = 0;
    if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "P6 %d %d %d%n", &image.width, &image.height,
                    &maxval, &consumed) != 3)
        return image;
    image.pixels.assign(bytes.begin() + consumed + 1, bytes.end());
    return image;
}

double mean_difference(const rgb_image& a, const rgb_image& b, int x0, int y0, int w, int h)
{
    double total = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++)
            for (int c = 0; c < 3; c++)
                total += std::abs(int(a.at(x, y)[c]) - int(b.at(x, y)[c]));
    return total / (double(w) * h * 3);
}

// The diagram as ImageMagick composes it from the square images: strips,
// then each square at (col × s − s/2, row × s − s/2).
std::string reference_command(const composer_session& session, int s, const std::vector<int>& square_images,
                              const std::string& out)
{
    std::string c = "convert -size " + std::to_string(9 * s) + "x" + std::to_string(9 * s + s / 2) + " xc:white";
    auto put = [&](int image, int x, int y) {
        c += " '" + session.data(std::to_string(image) + ".jpg") + "' -geometry +" + std::to_string(x) + "+" +
             std::to_string(y) + " -composite";
    };
    put(27, 0, 0);
    put(27, 0, 8 * s + s / 2);
    put(28, 0, s / 2);
    put(28, 8 * s + s / 2, s / 2);
    for (int k = 1; k <= 64; k++)
        put(square_images[k - 1], ((k - 1) / 8 + 1) * s - s / 2, ((k - 1) % 8 + 1) * s - s / 2);
    return c + " '" + out + "'";
}

void check_diagram_against_reference(int s)
{
    composer_session session(s);
    ASSERT_EQ(session.start_status, 0);
    std::vector<int> images;
    for (int n = 1; n <= 64; n++)
        images.push_back(composer.shade_table[n] == 1 ? 25 : 26);
    const std::pair<int, int> moves[] = {{69, 5}, {75, 60}, {73, 22}, {80, 43}, {88, 28}, {89, 37}};
    for (auto [palette, square] : moves) {
        press_gadget(palette);
        press_gadget(square);
        images[square - 1] = composer.selected_piece + (composer.shade_table[square] == 1 ? 0 : 1);
    }
    press_gadget(85);
    ASSERT_EQ(composer.collected_count, 1);
    temp_folder scratch;
    std::string reference = scratch.file("reference.png");
    ASSERT_EQ(run_command(reference_command(session, s, images, reference)), 0);
    rgb_image ours = decode(session.temp("1.jpg"), scratch);
    rgb_image theirs = decode(reference, scratch);
    ASSERT_EQ(ours.width, 9 * s);
    ASSERT_EQ(ours.height, 9 * s + s / 2);
    ASSERT_EQ(theirs.width, ours.width);
    // Within JPEG loss over the framed board; the text band is checked apart.
    EXPECT_LT(mean_difference(ours, theirs, 0, 0, 9 * s, 9 * s), 3.0);
    for (int col = 0; col < 9; col++)
        for (int row = 0; row < 9; row++)
            EXPECT_LT(mean_difference(ours, theirs, col * s, row * s, s, s), 6.0) << col << "," << row;
}

int dark_columns_in_band(const rgb_image& image, int y0, int y1, int* first, int* last)
{
    int count = 0;
    *first = image.width;
    *last = -1;
    for (int x = 0; x < image.width; x++) {
        bool dark = false;
        for (int y = y0; y < y1 && !dark; y++)
            dark = image.at(x, y)[0] < 128;
        if (dark) {
            count++;
            *first = std::min(*first, x);
            *last = x;
        }
    }
    return count;
}

// A white pixbuf with the text drawn alone at (0, 2) as the diagram draws
// it at (x, 9s + 2); *width is the text's width, measured on this output.
GdkPixbuf* text_alone(const text& t, int band_width, int band_height, int* width)
{
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, band_width, band_height);
    gdk_pixbuf_fill(pixbuf, 0xFFFFFFFF);
    drawing_start(image_output_for_pixbuf(pixbuf));
    drawing_mode(drawing_mode_bit::outlined);
    drawing_font(font_handle(0));
    *width = text_width(t);
    draw_text(0, 2, t, 0, 0xFFFFFF);
    drawing_stop();
    return pixbuf;
}

const std::uint8_t* pixel_of(GdkPixbuf* pixbuf, int x, int y)
{
    return gdk_pixbuf_get_pixels(pixbuf) + std::ptrdiff_t(y) * gdk_pixbuf_get_rowstride(pixbuf) + x * 3;
}

}  // namespace

TEST(diagram, matches_a_reference_composed_from_the_squares_at_60)
{
    check_diagram_against_reference(60);
}

TEST(diagram, matches_a_reference_composed_from_the_squares_at_50)
{
    check_diagram_against_reference(50);
}

TEST(diagram, task_text_sits_under_the_frame_at_the_truncated_half_of_the_free_width)
{
    composer_session session(60);
    ASSERT_EQ(session.start_status, 0);
    // A text whose free width 9s - w is odd, where rounding up and down part.
    const int band_top = 540, band_height = 570 - band_top;
    GdkPixbuf* alone = nullptr;
    int w = 0;
    for (const char16_t* candidate : {u"Мат в 2 хода", u"Мат в 3 хода", u"Кооперативный мат в 2 хода", u"Выигрыш",
                                      u"Ничья", u"Белые начинают и выигрывают"}) {
        if (alone)
            g_object_unref(alone);
        alone = text_alone(candidate, 540, band_height, &w);
        if ((540 - w) % 2 == 1) {
            gadget_set_text(82, candidate);
            break;
        }
    }
    ASSERT_EQ((540 - w) % 2, 1) << "no candidate text has an odd free width";
    press_gadget(85);
    GdkPixbuf* diagram = image_handle(100);
    ASSERT_NE(diagram, nullptr);
    // The band under the frame holds exactly the text drawn alone, moved
    // right by (9s - w) / 2.
    const int x = (540 - w) / 2;
    int differing = 0;
    for (int row = 0; row < band_height; row++)
        for (int column = 0; column < 540; column++) {
            const std::uint8_t* ours = pixel_of(diagram, column, band_top + row);
            static const std::uint8_t white[3] = {255, 255, 255};
            const std::uint8_t* expected = column >= x ? pixel_of(alone, column - x, row) : white;
            differing += !std::equal(ours, ours + 3, expected);
        }
    EXPECT_EQ(differing, 0) << "text of width " << w << " expected at x = " << x;
    g_object_unref(alone);
}

TEST(diagram, placeholder_is_drawn_when_no_text_was_typed)
{
    composer_session session(60);
    ASSERT_EQ(session.start_status, 0);
    press_gadget(85);
    temp_folder scratch;
    rgb_image with_placeholder = decode(session.temp("1.jpg"), scratch);
    int first = 0, last = 0;
    int columns = dark_columns_in_band(with_placeholder, 542, 570, &first, &last);
    EXPECT_GT(columns, 100) << "the placeholder is a long text";
}

TEST(collecting, four_diagrams_fill_temp_in_order_and_a_fifth_adds_nothing)
{
    composer_session session(60);
    ASSERT_EQ(session.start_status, 0);
    auto blank = read_file_bytes(session.temp("4.jpg"));
    for (int k = 1; k <= 4; k++) {
        press_gadget(85);
        EXPECT_EQ(composer.collected_count, k);
        temp_folder scratch;
        rgb_image collected = decode(session.temp(std::to_string(k) + ".jpg"), scratch);
        EXPECT_EQ(collected.width, 540);
        EXPECT_EQ(collected.height, 570);
        if (k < 4) {
            EXPECT_EQ(read_file_bytes(session.temp("4.jpg")), blank);
        }
    }
    // The button follows the count at the next event, not at once.
    EXPECT_TRUE(gtk_widget_is_sensitive(gadget_widget(85)));
    press_gadget(65);
    EXPECT_FALSE(gtk_widget_is_sensitive(gadget_widget(85)));
    // A click queued before the button went insensitive.
    press_gadget(85);
    EXPECT_EQ(composer.collected_count, 4);
    EXPECT_FALSE(file_exists(session.temp("5.jpg")));
    press_gadget(87);
    EXPECT_EQ(composer.collected_count, 0);
    EXPECT_FALSE(gtk_widget_is_sensitive(gadget_widget(85)));
    press_gadget(65);
    EXPECT_TRUE(gtk_widget_is_sensitive(gadget_widget(85)));
    for (int k = 1; k <= 4; k++)
        EXPECT_EQ(read_file_bytes(session.temp(std::to_string(k) + ".jpg")), read_file_bytes(session.temp("1.jpg")));
    press_gadget(85);
    EXPECT_EQ(composer.collected_count, 1);
}

TEST(collecting, a_diagram_that_cannot_be_written_is_reported_and_not_counted)
{
    composer_session session(60);
    ASSERT_EQ(session.start_status, 0);
    // A folder where the file should go: no save can replace it.
    std::remove(session.temp("1.jpg").c_str());
    ASSERT_EQ(mkdir(session.temp("1.jpg").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(session.temp("1.jpg/inside").c_str(), 0700), 0);
    press_gadget(85);
    pump_events(200);
    EXPECT_EQ(composer.collected_count, 0);
    ASSERT_EQ(shown_messages().size(), 1u);
    EXPECT_NE(shown_messages()[0].find("TEMP/1.jpg"), std::string::npos) << shown_messages()[0];
    EXPECT_NE(shown_messages()[0].find("Не удалось сохранить"), std::string::npos) << shown_messages()[0];
}

TEST(collecting, a_blank_that_cannot_be_written_leaves_the_other_diagrams_alone)
{
    composer_session session(60);
    ASSERT_EQ(session.start_status, 0);
    for (int k = 1; k <= 4; k++)
        press_gadget(85);
    std::vector<std::vector<std::uint8_t>> before;
    for (int k = 2; k <= 4; k++)
        before.push_back(read_file_bytes(session.temp(std::to_string(k) + ".jpg")));
    std::remove(session.temp("1.jpg").c_str());
    ASSERT_EQ(mkdir(session.temp("1.jpg").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(session.temp("1.jpg/inside").c_str(), 0700), 0);
    press_gadget(87);
    pump_events(200);
    ASSERT_EQ(shown_messages().size(), 1u);
    EXPECT_NE(shown_messages()[0].find("Не удалось записать чистые диаграммы"), std::string::npos);
    for (int k = 2; k <= 4; k++)
        EXPECT_EQ(read_file_bytes(session.temp(std::to_string(k) + ".jpg")), before[std::size_t(k - 2)]) << k;
    EXPECT_EQ(composer.collected_count, 0);
}

TEST(print_sheet, collected_diagrams_sit_in_a_grid_of_their_width_and_height)
{
    composer_session session(60);
    ASSERT_EQ(session.start_status, 0);
    // Four different diagrams, 540 wide and 570 high, so a cell placed by
    // the wrong one of the two lands 30 pixels off.
    const int pieces[][2] = {{69, 1}, {75, 20}, {80, 43}, {73, 60}};
    auto collect = [&](int k) {
        press_gadget(pieces[k - 1][0]);
        press_gadget(pieces[k - 1][1]);
        press_gadget(85);
    };
    // Open the preview and close it at once: the sheet stays in image 101.
    auto compose = [] {
        event_post(event_kind::gadget_event, 83, 0, 0);
        event_post(event_kind::close_request, 0, 1, 0);
        press_gadget(65);
        return image_handle(101);
    };
    auto difference = [](GdkPixbuf* sheet, const rgb_image& diagram, int x0, int y0) {
        double total = 0;
        for (int y = 0; y < diagram.height; y++)
            for (int x = 0; x < diagram.width; x++)
                for (int c = 0; c < 3; c++)
                    total += std::abs(int(pixel_of(sheet, x0 + x, y0 + y)[c]) - int(diagram.at(x, y)[c]));
        return total / (double(diagram.width) * diagram.height * 3);
    };
    temp_folder scratch;
    const int cells[][2] = {{40, 40}, {600, 40}, {40, 630}, {600, 630}};
    auto expect_cells_filled = [&](GdkPixbuf* sheet, int count) {
        for (int k = 1; k <= count; k++) {
            rgb_image diagram = decode(session.temp(std::to_string(k) + ".jpg"), scratch);
            ASSERT_EQ(diagram.width, 540);
            EXPECT_LT(difference(sheet, diagram, cells[k - 1][0], cells[k - 1][1]), 1.0) << "diagram " << k;
        }
    };
    for (int k = 1; k <= 3; k++)
        collect(k);
    ASSERT_EQ(composer.collected_count, 3);
    GdkPixbuf* sheet = compose();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(gdk_pixbuf_get_width(sheet), 1180);
    ASSERT_EQ(gdk_pixbuf_get_height(sheet), 1628);
    expect_cells_filled(sheet, 3);
    // The fourth cell is still white paper.
    rgb_image white;
    white.width = 540;
    white.height = 570;
    white.pixels.assign(std::size_t(540 * 570 * 3), 255);
    EXPECT_EQ(difference(sheet, white, 600, 630), 0.0);

    // A full sheet: every cell in its place.
    collect(4);
    ASSERT_EQ(composer.collected_count, 4);
    expect_cells_filled(compose(), 4);
}
