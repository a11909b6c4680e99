// The save-file requester: a modal GTK+ file chooser that returns the chosen
// path, or the empty text when the user cancels. It adds no extension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/text.h"

// pattern_list: "name|patterns|name|patterns…", patterns joined by ";",
// "*.*" meaning every file. pattern_index names the filter to preselect.
text requester_save_file(const text& title, const text& default_path, const text& pattern_list,
                         std::int32_t pattern_index);

// The filters a pattern list describes, in order; exposed for tests.
struct file_filter_spec {
    std::string name;
    std::vector<std::string> patterns;
};
std::vector<file_filter_spec> parse_pattern_list(const std::string& pattern_list_utf8);
