// The composer: the program's own logic on top of the toolkit. Its
// procedures take no arguments and share the composer state below; every
// window, gadget, image and font is addressed by its fixed object number.
#pragma once

#include <cstdint>

#include "toolkit/text.h"

struct composer_state {
    text working_folder;
    text data_folder;
    text save_folder;
    text temp_folder;
    std::int32_t square_size;
    std::int32_t event_kind;
    std::int32_t collected_count;
    std::int32_t selected_piece;  // odd image number of the last palette choice, 0 before any
    std::int32_t shade_table[65];  // +1 light, -1 dark, for square gadgets 1 to 64
    text save_file_name;
};

extern composer_state composer;

inline const char16_t placeholder_text[] = u"Введите здесь текст задания";

int composer_main(int argc, char** argv);

// Start-up without the main loop, for tests: initialises the toolkit and
// loads the square images from the current directory's DATA/. Returns 0, or
// 1 after saying why the program cannot start (standard error and a dialog).
int composer_start(int* argc, char*** argv);
void composer_main_loop();
void composer_after_event();  // steps 2 to 4 of every pass
void composer_dispatch();     // step 7 for the last event
void end_program_resources();  // end_program without exiting

void build_editor_window();
void clear_board();
void place_piece(std::int32_t square);
void render_diagram();
void save_diagram();
void add_to_print();
void clear_diagrams();
void preview_and_print();
void show_failure_message(const text& message);
// Says why the program cannot start, on standard error and in a dialog;
// GTK+ is initialised here if it is not yet (argc and argv may be null).
void show_start_refusal(const std::string& why, int* argc, char*** argv);
