// Writing diagrams as JPEG files at the editor's quality: one position, or
// a whole list shared among the machine's processors.
#pragma once

#include <cstdint>
#include <string>

#include "layout/image_numbers.h"
#include "render/position_list.h"
#include "toolkit/text.h"

// The display, when there is one: text is then drawn the editor's way.
// Called once per process, after any fork.
void open_display_if_any();

// The image the diagrams are drawn into.
constexpr std::int32_t rendered_diagram = diagram_image;

// Writes the diagram last drawn; false with one line saying why not.
bool save_rendered_diagram(const std::string& path, std::string* error);

// Draws the diagram into rendered_diagram; false with one line saying why not.
bool draw_position(const board_position& position, const text& task_text, std::string* error);

// Draws and writes one diagram; false with one line saying why not.
bool write_diagram_file(const board_position& position, const text& task_text, const std::string& path,
                        std::string* error);

// OUT.jpg and position 7 of 120 give OUT-007.jpg.
std::string listed_file_name(const std::string& output, int number, int count);

// Writes every position of the list; reports each failure on standard error
// and returns false after one. On a terminal, shows its progress there.
bool write_listed_diagrams(const position_list& list, const std::string& output);
