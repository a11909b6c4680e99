/* memory_session FOLDER COMMAND...: runs COMMAND (the program, or the program
 * under a checker) in FOLDER, which holds DATA/, on a private Xvfb and goes
 * through one whole session as a user would: place a few pieces, type a task
 * text, add four diagrams, open and close the preview, clear the diagrams and
 * close the program. Every step waits until the program has gone idle, so a
 * slow checker only makes the session longer. Prints the program's peak
 * resident memory and exits with the program's exit status (or 1 when a step
 * failed). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bench/startup_driver.h"

enum { s = 60, quiet_ms = 150 };
static const double step_timeout_ms = 180000;

static struct driver_server server;
static pid_t program;
static Window editor;

static int settle(const char* what)
{
    if (driver_wait_idle(&server, program, driver_now_ms(), quiet_ms, step_timeout_ms) < 0) {
        fprintf(stderr, "memory_session: the program did not settle after %s\n", what);
        return -1;
    }
    return 0;
}

static int click(int x, int y, const char* what)
{
    int screen_x, screen_y;
    driver_window_point(&server, editor, x, y, &screen_x, &screen_y);
    driver_click(&server, screen_x, screen_y);
    return settle(what);
}

static int palette_click(int column, int i)
{
    return click((column ? 11 * s + 5 : 10 * s) + s / 2, i * s + 3 * i - s / 2 + s / 2, "a palette click");
}

static int square_click(int col, int row)
{
    return click(col * s + s / 2, row * s + s / 2, "a square click");
}

static int button_click(int offset, const char* what)
{
    return click(10 * s + (790 - 10 * s) / 2, 7 * s + offset + 12, what);
}

static long collected_size(const char* folder, int k)
{
    char path[4200];
    snprintf(path, sizeof path, "%s/TEMP/%d.jpg", folder, k);
    return driver_file_size(path);
}

static long resident_peak_kib(pid_t pid)
{
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* file = fopen(path, "r");
    long peak = -1;
    while (file && fgets(line, sizeof line, file))
        if (strncmp(line, "VmHWM:", 6) == 0)
            peak = strtol(line + 6, NULL, 10);
    if (file)
        fclose(file);
    return peak;
}

static int session(const char* folder)
{
    if (settle("start-up"))
        return -1;
    /* White king, black king, a rook and a marker. */
    if (palette_click(0, 1) || square_click(5, 8) || palette_click(1, 1) || square_click(5, 1) ||
        palette_click(0, 3) || square_click(1, 8) || square_click(8, 8))
        return -1;
    /* The marker sits in the third palette column. */
    if (click(12 * s + 10 + s / 2, 2 * s + 6 - s / 2 + s / 2, "choosing the marker") || square_click(4, 4))
        return -1;
    if (click(s / 2 + 20, 10 * s - s / 2 + 5 + 12, "focusing the text field"))
        return -1;
    driver_type(&server, "mate in two");
    if (settle("typing"))
        return -1;
    long blank = collected_size(folder, 1);
    for (int k = 1; k <= 4; k++) {
        if (button_click(10, "adding a diagram"))
            return -1;
        if (collected_size(folder, k) <= blank) {
            fprintf(stderr, "memory_session: diagram %d was not collected\n", k);
            return -1;
        }
    }
    int x, y;
    driver_window_point(&server, editor, 10 * s + (790 - 10 * s) / 2, 7 * s + 40 + 12, &x, &y);
    driver_click(&server, x, y);
    Window preview = driver_wait_map(&server, program, 1000, 730, step_timeout_ms, NULL);
    if (!preview) {
        fprintf(stderr, "memory_session: no preview window\n");
        return -1;
    }
    if (settle("opening the preview"))
        return -1;
    driver_request_close(&server, preview);
    if (driver_wait_unmap(&server, preview, step_timeout_ms) || settle("closing the preview"))
        return -1;
    if (button_click(130, "clearing the diagrams"))
        return -1;
    if (collected_size(folder, 4) != blank) {
        fprintf(stderr, "memory_session: the diagrams were not cleared\n");
        return -1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: memory_session FOLDER COMMAND...\n");
        return 2;
    }
    const char* folder = argv[1];
    if (driver_server_start(&server) != 0) {
        fprintf(stderr, "memory_session: cannot start Xvfb\n");
        return 1;
    }
    program = driver_spawn(&server, folder, argv + 2);
    editor = program > 0 ? driver_wait_map(&server, program, 800, 620, step_timeout_ms, NULL) : 0;
    int failed = !editor || session(folder) != 0;
    if (!editor)
        fprintf(stderr, "memory_session: no editor window\n");
    long peak = resident_peak_kib(program);
    if (editor)
        driver_request_close(&server, editor);
    long maximum = 0;
    int status = program > 0 ? driver_wait_exit(program, editor ? step_timeout_ms : 0, &maximum) : -1;
    driver_server_stop(&server);
    printf("memory_session: peak resident memory %ld KiB before closing (VmHWM), %ld KiB at exit (maxrss); "
           "exit status %d\n",
           peak, maximum, status);
    if (failed)
        return 1;
    return status;
}
