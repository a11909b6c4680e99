// Drawing one diagram and writing it as a file: JPEG at the editor's
// quality, or PNG through GdkPixbuf's saver for a lossless copy to print.
#pragma once

#include <cstdint>
#include <string>

#include "layout/image_numbers.h"
#include "render/output_names.h"
#include "render/position.h"

// The display, when there is one: text is then drawn the editor's way.
// Called once per process, after any fork.
void open_display_if_any();

// The image the diagrams are drawn into.
constexpr std::int32_t rendered_diagram = diagram_image;

// Draws the diagram into rendered_diagram; false with one line saying why
// not. A task text wider than the diagram is cut at both ends, as the editor
// cuts it, and *warning then says so; otherwise *warning is left empty.
bool draw_position(const board_position& position, const std::string& task_text, std::string* error,
                   std::string* warning);

// Writes the diagram last drawn; false with one line saying why not.
bool save_rendered_diagram(const std::string& path, image_format format, std::string* error);
