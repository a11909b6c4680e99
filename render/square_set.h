// The diagram of a position, drawn from the square set loaded as images 1 to
// 32 (layout/square_set.h) exactly as the editor draws its board.
#pragma once

#include <cstdint>

#include "render/position.h"
#include "toolkit/text.h"

// Makes image number the diagram of position with the task text; false
// after nothing was drawn (no memory for the image).
bool render_position(std::int32_t image, const board_position& position, const text& task_text);
