// Finds the reader module the way the default square set is found: relative
// to the running program for an install under any prefix, else beside the
// program in its build tree. The module stays loaded until the program ends.
#include "solve/diagram_loader.h"

#include <cstring>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "layout/program_folder.h"
#include "layout/quoted_file_name.h"
#include "solve/diagram_module.h"

namespace {

std::string module_path()
{
    const std::string folder = program_folder();
    std::string installed = std::string(CHESS_MODULE_DIR) + "/" + CHESS_DIAGRAM_READ_MODULE;
    if (installed.front() != '/')
        installed = folder + installed;
    if (!file_exists(installed) && !folder.empty() && file_exists(folder + CHESS_DIAGRAM_READ_MODULE))
        return folder + CHESS_DIAGRAM_READ_MODULE;
    return installed;
}

struct reader {
    chess_diagram_read_fn read = nullptr;
    chess_diagram_read_free_fn free = nullptr;
};

bool reader_load(reader* loaded, std::string* error)
{
    const std::string path = module_path();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) {
        loaded->read = reinterpret_cast<chess_diagram_read_fn>(dlsym(module, CHESS_DIAGRAM_READ_ENTRY));
        loaded->free = reinterpret_cast<chess_diagram_read_free_fn>(dlsym(module, CHESS_DIAGRAM_READ_FREE_ENTRY));
        if (loaded->read && loaded->free)
            return true;
    }
    const char* reason = dlerror();
    *error = "не удалось загрузить модуль чтения диаграмм " + quoted_file_name(path) + ": " +
             (reason ? reason : "в нём нет нужных функций");
    if (module)
        dlclose(module);
    return false;
}

}  // namespace

bool diagram_position_from_module(const std::string& path, const std::string& data_folder, fen_record* record,
                                  std::string* error)
{
    reader loaded;
    if (!reader_load(&loaded, error))
        return false;
    char squares[64];
    char* why = nullptr;
    if (!loaded.read(path.c_str(), data_folder.c_str(), squares, &why)) {
        *error = why ? why : "не хватает памяти для чтения диаграммы";
        loaded.free(why);
        return false;
    }
    *record = fen_record{};
    std::memcpy(record->squares.data(), squares, sizeof squares);
    return true;
}
