// Drawing sessions: the one current output and the entry operations that act
// on it. Entry operations pass colours on to the output only when they
// change, so an output's colour work runs once per colour, not per shape.
// What an output does with the calls is its own matter (image_output.cpp,
// the printer output).
#include "imaging/drawing.h"

#include <cstdlib>

const PangoFontDescription* const output_default_font =
    reinterpret_cast<const PangoFontDescription*>(std::intptr_t(-1));

namespace {

drawing_output* current = nullptr;

// The output loses its current place and its memory; release runs first
// when the output has one.
void discard(drawing_output* output, int release_flag)
{
    if (output->ops.release)
        output->ops.release(output, release_flag);
    std::free(output);
    current = nullptr;
}

void pass_front_colour(drawing_output* output, colour c)
{
    if (c == output->front_colour)
        return;
    output->front_colour = c;
    if (output->ops.set_front_colour)
        output->ops.set_front_colour(output, c);
}

void pass_back_colour(drawing_output* output, colour c)
{
    if (c == output->back_colour)
        return;
    output->back_colour = c;
    if (output->ops.set_back_colour)
        output->ops.set_back_colour(output, c);
}

}  // namespace

void drawing_init()
{
    current = nullptr;
}

drawing_output* drawing_current()
{
    return current;
}

void drawing_make_current(drawing_output* output)
{
    current = output;
}

std::intptr_t drawing_start(drawing_output* output)
{
    if (!output)
        return 0;
    std::intptr_t result = output->ops.start ? output->ops.start(output) : 0;
    if (result)
        return result;
    discard(output, 0);
    return 0;
}

void drawing_stop()
{
    if (!current)
        return;
    if (current->ops.stop)
        current->ops.stop(current);
    discard(current, 1);
}

void drawing_mode(std::int32_t mode)
{
    if (current && current->ops.set_mode)
        current->ops.set_mode(current, mode);
}

void draw_box(int x, int y, int w, int h, colour c)
{
    if (!current)
        return;
    pass_front_colour(current, c);
    if (current->ops.box)
        current->ops.box(current, x, y, w, h);
}

void draw_image(GdkPixbuf* pixbuf, int x, int y)
{
    if (current && current->ops.draw_image)
        current->ops.draw_image(current, pixbuf, x, y);
}

void drawing_font(const PangoFontDescription* font)
{
    if (current && current->ops.set_font)
        current->ops.set_font(current, font);
}

int draw_text(int x, int y, const text& t, colour front, colour back)
{
    if (!current)
        return x;
    pass_front_colour(current, front);
    pass_back_colour(current, back);
    return current->ops.draw_text ? current->ops.draw_text(current, x, y, t) : x;
}

int text_width(const text& t)
{
    if (current && current->ops.text_width)
        return current->ops.text_width(current, t);
    return 0;
}
