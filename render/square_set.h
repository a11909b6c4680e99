// The 32 square images a diagram is made of, loaded as images 1 to 32 as the
// editor loads them, and the diagram of a position drawn from them.
#pragma once

#include <cstdint>
#include <string>

#include "render/position.h"
#include "toolkit/text.h"

// The folder named by --data, else ./DATA when there is one, else the
// default set the installation put in place.
std::string square_set_folder(const std::string& requested);

// Loads DATA/1.jpg … 32.jpg from folder; false with one line naming the
// file that could not be loaded.
bool load_square_set(const std::string& folder, std::string* error);

std::int32_t square_set_size();  // s, the width of image 1

// Makes image number the diagram of position with the task text, exactly as
// the editor draws it.
void render_position(std::int32_t image, const board_position& position, const text& task_text);
