// The diagram reader's entry points inside its module: diagram_position()
// behind plain C types. Nothing here is seen by the solver's own code.
#include "solve/diagram_module.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "solve/diagram_input.h"

extern "C" {

__attribute__((visibility("default"))) int chess_diagram_read_v1(const char* path, const char* data_folder,
                                                                  char squares[64], char** error)
{
    *error = nullptr;
    std::string why;
    try {
        fen_record record;
        if (diagram_position(path, data_folder, &record, &why)) {
            std::memcpy(squares, record.squares.data(), record.squares.size());
            return 1;
        }
    } catch (const std::bad_alloc&) {
        why = "не хватает памяти для чтения диаграммы";
    }
    // No exception may cross into the caller, which knows only C.
    *error = strdup(why.c_str());
    return 0;
}

__attribute__((visibility("default"))) void chess_diagram_read_free_v1(char* text)
{
    std::free(text);
}

}

// The definitions above are what the solver will call them as.
static_assert(std::is_same_v<decltype(&chess_diagram_read_v1), chess_diagram_read_fn>);
static_assert(std::is_same_v<decltype(&chess_diagram_read_free_v1), chess_diagram_read_free_fn>);
static_assert(sizeof(fen_record{}.squares) == 64);
