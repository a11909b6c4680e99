// The boundary between the solver and its diagram reader, a module loaded
// only when --read is given: the reader pulls in the image layers and GTK+,
// which would otherwise cost every start of the solver. Plain C across the
// boundary, so the two sides share no C++ objects.
#pragma once

// The module's file name, and the names of its two entry points. The number
// in the names changes whenever their types do, so a stale module is refused
// when it is looked up rather than called wrongly.
#define CHESS_DIAGRAM_READ_MODULE "chess-diagram-read.so"
#define CHESS_DIAGRAM_READ_ENTRY "chess_diagram_read_v1"
#define CHESS_DIAGRAM_READ_FREE_ENTRY "chess_diagram_read_free_v1"

extern "C" {

// Reads the diagram at path with the square set in data_folder (empty: the
// default set) into squares, a FEN piece letter or fen_record's no_piece for
// each of the 64 squares in the record's order. 1 on success; 0 with *error a
// line saying why, allocated with malloc and given back through the second
// entry point.
using chess_diagram_read_fn = int (*)(const char* path, const char* data_folder, char squares[64],
                                      char** error);
using chess_diagram_read_free_fn = void (*)(char* text);

}
