// Where -o puts diagrams: one file, numbered files beside a name, or
// numbered files inside a folder; and in which format, by the extension.
#pragma once

#include <string>

enum class image_format { jpeg, png };

struct output_target {
    std::string stem;       // what goes before a number: "out/mate" or, for a folder, "out/"
    std::string extension;  // as given (".JPG" stays), ".jpg" when none was given
    std::string single;     // the one file of --fen
    bool folder = false;
    image_format format = image_format::jpeg;
};

// Reads -o: a folder (an existing one, or a name ending in /) takes numbered
// files 001.jpg, 002.jpg, ...; any other name is a file, JPEG for .jpg,
// .jpeg or no extension, PNG for .png, in any case. False with one line
// for another extension or a folder that is not there.
bool output_target_read(const std::string& output, output_target* target, std::string* error);

// The file of position number (1-based) of count: "out/mate-007.jpg", or
// "out/007.jpg" for a folder; at least three digits, more for long lists.
std::string output_file_name(const output_target& target, int number, int count);
