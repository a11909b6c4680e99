// The font store: Pango font descriptions kept under object numbers. A font
// is only a description (family, size in points, weight, style); turning it
// into pixels is the drawing output's business.
#include "imaging/fonts.h"

#include <algorithm>
#include <climits>
#include <string>

namespace {

constexpr std::int32_t font_growth_step = 16;
constexpr int bold_weight = 700;

object_table* font_table = nullptr;

}  // namespace

void font_store_init()
{
    if (!font_table)
        font_table = table_create(sizeof(font_record), font_growth_step, font_release);
}

void font_store_shutdown()
{
    if (font_table)
        table_release_all(font_table);
}

created_object font_load(object_number number, const text& name, std::int32_t size, std::int32_t flags)
{
    if (!font_table)
        return 0;
    // An empty name leaves the family unset, so the context's family applies.
    std::string utf8 = text_to_utf8(name);
    PangoFontDescription* description = pango_font_description_from_string(utf8.c_str());
    if (!description)
        return 0;
    // Kept in range so that an absurd size cannot overflow.
    std::int64_t pango_size = std::clamp<std::int64_t>(std::int64_t(size) * PANGO_SCALE, 0, INT_MAX);
    pango_font_description_set_size(description, int(pango_size));
    if (flags & font_flag::bold)
        pango_font_description_set_weight(description, PangoWeight(bold_weight));
    if (flags & font_flag::italic)
        pango_font_description_set_style(description, PANGO_STYLE_ITALIC);

    object_number assigned = number;
    auto* record = static_cast<font_record*>(table_allocate(font_table, number, &assigned));
    if (!record) {
        pango_font_description_free(description);
        return 0;
    }
    record->description = description;
    if (number == dynamic_number)
        return assigned;
    return reinterpret_cast<created_object>(description);
}

PangoFontDescription* font_handle(object_number number)
{
    if (!font_table)
        return nullptr;
    auto* record = table_lookup_as<font_record>(font_table, number);
    return record ? record->description : nullptr;
}

void font_release(object_number number)
{
    if (!font_table)
        return;
    auto* record = table_lookup_as<font_record>(font_table, number);
    if (!record)
        return;
    pango_font_description_free(record->description);
    table_release(font_table, number);
}
