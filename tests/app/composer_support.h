// Running the composer inside a test: a fresh working folder with a square
// set of a chosen size, start-up as the program does it, events pumped until
// the editor is on screen, and message dialogs answered automatically.
#pragma once

#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "tests/support/test_support.h"

struct composer_session {
    explicit composer_session(int square_size = 60);
    ~composer_session();
    composer_session(const composer_session&) = delete;
    composer_session& operator=(const composer_session&) = delete;

    int start_status = -1;
    temp_folder folder;
    std::string temp(const std::string& name) const { return folder.file("TEMP/" + name); }
    std::string data(const std::string& name) const { return folder.file("DATA/" + name); }
};

// Runs GTK+ until nothing is pending and the widgets have settled.
void pump_events(int milliseconds = 100);

// Posts a gadget event and runs one pass of the main loop on it.
void press_gadget(int gadget);

// Where a gadget's outer widget sits in its gadget list, and its size.
GdkRectangle gadget_allocation(int gadget);

// Texts of the message dialogs shown since the session started; each was
// answered with OK at once.
const std::vector<std::string>& shown_messages();
