// Helpers shared by the test programs: a temporary folder that removes
// itself, file reading and writing, and where the build keeps its tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gdk/gdk.h>

struct temp_folder {
    temp_folder();  // a fresh folder under /tmp
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    std::string path;  // without a trailing "/"
    std::string file(const std::string& name) const { return path + "/" + name; }
};

std::vector<std::uint8_t> read_file_bytes(const std::string& path);
bool write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool file_exists(const std::string& path);

// The build folder (from CHESS_BUILD_DIR, set by CTest) and a tool inside it.
std::string build_dir();
std::string build_tool(const std::string& name);  // build_dir()/tools/name

// Runs a shell command; returns its exit status, or -1 when it could not run.
int run_command(const std::string& command);

// For a step in which a test closes a window behind the toolkit's back (a
// dialog answered from a timeout): GTK+ may still ask the X server about
// the window, and the BadWindow that follows is the test's race, not a
// fault. Outside such steps an X error stops the test program.
struct x_error_trap {
    x_error_trap() { gdk_error_trap_push(); }
    ~x_error_trap()
    {
        gdk_flush();
        gdk_error_trap_pop();
    }
    x_error_trap(const x_error_trap&) = delete;
    x_error_trap& operator=(const x_error_trap&) = delete;
};
