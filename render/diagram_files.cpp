// A list is split among worker processes, one per processor, each drawing
// every n-th position: diagrams do not depend on each other, and the toolkit
// draws in one thread per process. The square set is loaded once before the
// split; the display, which cannot be shared, is opened by each worker.
#include "render/diagram_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtk/gtk.h>

#include "imaging/image_plugins.h"
#include "imaging/image_store.h"
#include "render/options.h"
#include "layout/square_set.h"
#include "render/square_set.h"

namespace {

constexpr std::uint32_t jpeg_code = four_letter_code("JPEG");
constexpr int most_workers = 8;
constexpr int positions_per_worker = 8;  // fewer are not worth a process
constexpr useconds_t progress_interval = 100000;

int worker_count(int positions)
{
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    long workers = processors < 1 ? 1 : processors;
    workers = std::min<long>({workers, long(most_workers), long(std::max(1, positions / positions_per_worker))});
    return int(workers);
}

// Draws positions worker, worker + workers, ...; false when one failed.
bool write_share(const position_list& list, const std::string& output, int worker, int workers,
                std::atomic<int>* done)
{
    bool all_written = true;
    const int count = list.position_lines;
    for (std::size_t i = std::size_t(worker); i < list.positions.size(); i += std::size_t(workers)) {
        const listed_position& entry = list.positions[i];
        std::string error;
        if (!write_diagram_file(entry.position, entry.task_text, listed_file_name(output, entry.number, count),
                                &error)) {
            report_problem("строка " + std::to_string(entry.line) + ": " + error);
            all_written = false;
        }
        done->fetch_add(1, std::memory_order_relaxed);
    }
    return all_written;
}

void show_progress(int done, int total)
{
    std::fprintf(stderr, "\rchess-diagram-render: %d из %d", done, total);
    std::fflush(stderr);
}

}  // namespace

void open_display_if_any()
{
    int argc = 1;
    char name[] = "chess-diagram-render";
    char* args[] = {name, nullptr};
    char** argv = args;
    // The settings give the screen its font resolution and options, as they
    // do in the editor once its first widget exists; text must match its.
    if (gtk_init_check(&argc, &argv))
        gtk_settings_get_default();
}

bool save_rendered_diagram(const std::string& path, std::string* error)
{
    if (image_save(rendered_diagram, text_from_utf8(path), jpeg_code))
        return true;
    const int reason = image_encode_last_errno();
    *error = "не удалось записать " + path + (reason ? ": " + std::string(std::strerror(reason)) : std::string());
    return false;
}

bool draw_position(const board_position& position, const text& task_text, std::string* error)
{
    if (render_position(rendered_diagram, position, task_text))
        return true;
    const std::int32_t s = square_set_size();
    *error = "не удалось нарисовать диаграмму " + std::to_string(diagram_width(s)) + " × " +
             std::to_string(diagram_height(s)) + ": не хватает памяти";
    return false;
}

bool write_diagram_file(const board_position& position, const text& task_text, const std::string& path,
                        std::string* error)
{
    return draw_position(position, task_text, error) && save_rendered_diagram(path, error);
}

std::string listed_file_name(const std::string& output, int number, int count)
{
    const std::size_t slash = output.rfind('/');
    std::size_t dot = output.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        dot = output.size();
    const int digits = std::max(3, int(std::to_string(count).size()));
    char numbered[32];
    std::snprintf(numbered, sizeof numbered, "-%0*d", digits, number);
    const std::string extension = dot == output.size() ? ".jpg" : output.substr(dot);
    return output.substr(0, dot) + numbered + extension;
}

bool write_listed_diagrams(const position_list& list, const std::string& output)
{
    const int total = int(list.positions.size());
    // The workers count what they have done in memory they share with this
    // process, which shows the count; without such memory, one process works.
    void* shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    std::atomic<int> own_count{0};
    std::atomic<int>* done = shared == MAP_FAILED ? &own_count : new (shared) std::atomic<int>(0);
    const int workers = shared == MAP_FAILED ? 1 : worker_count(total);
    const bool progress = workers > 1 && isatty(STDERR_FILENO);

    std::vector<pid_t> children;
    std::vector<int> own_shares;  // those no process could be had for
    for (int worker = 0; worker < workers; worker++) {
        const pid_t child = workers > 1 ? fork() : -1;
        if (child == 0) {
            open_display_if_any();
            const bool written = write_share(list, output, worker, workers, done);
            std::fflush(stderr);
            _exit(written ? 0 : 1);
        }
        if (child > 0)
            children.push_back(child);
        else
            own_shares.push_back(worker);
    }
    bool all_written = true;
    if (!own_shares.empty()) {
        // Only after the last fork, so no worker inherits this display.
        open_display_if_any();
        for (int worker : own_shares)
            all_written = write_share(list, output, worker, workers, done) && all_written;
    }
    for (pid_t child : children) {
        int status = 0;
        while (progress && waitpid(child, &status, WNOHANG) == 0) {
            show_progress(done->load(std::memory_order_relaxed), total);
            usleep(progress_interval);
        }
        if (!progress)
            waitpid(child, &status, 0);
        all_written = all_written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (progress) {
        show_progress(done->load(), total);
        std::fputc('\n', stderr);
    }
    if (shared != MAP_FAILED)
        munmap(shared, sizeof(std::atomic<int>));
    return all_written;
}
