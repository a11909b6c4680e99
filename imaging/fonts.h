// The font store: numbered Pango font descriptions.
#pragma once

#include <cstdint>

#include <pango/pango.h>

#include "toolkit/object_table.h"
#include "toolkit/text.h"

namespace font_flag {
constexpr std::int32_t bold = 1;
constexpr std::int32_t italic = 2;
}  // namespace font_flag

struct font_record {
    PangoFontDescription* description;  // owned; live while set
};

void font_store_init();
void font_store_shutdown();
created_object font_load(object_number number, const text& name, std::int32_t size, std::int32_t flags = 0);
PangoFontDescription* font_handle(object_number number);
void font_release(object_number number);
