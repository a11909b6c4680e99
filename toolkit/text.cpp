// Conversions between the system's UTF-16 text and UTF-8, through GLib.
#include "toolkit/text.h"

#include <glib.h>

std::string text_to_utf8(std::u16string_view t)
{
    if (t.empty())
        return {};
    glong written = 0;
    gchar* utf8 = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(t.data()), glong(t.size()), nullptr,
                                  &written, nullptr);
    if (!utf8)
        return {};
    std::string result(utf8, std::size_t(written));
    g_free(utf8);
    return result;
}

text text_from_utf8(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    glong written = 0;
    gunichar2* utf16 = g_utf8_to_utf16(utf8.data(), glong(utf8.size()), nullptr, &written, nullptr);
    if (!utf16)
        return {};
    text result(reinterpret_cast<const char16_t*>(utf16), std::size_t(written));
    g_free(utf16);
    return result;
}

text text_from_utf8(const char* utf8)
{
    return utf8 ? text_from_utf8(std::string_view(utf8)) : text();
}
