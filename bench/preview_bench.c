/* Opening the preview with four collected diagrams: from the press of
 * "Просмотр и печать" until the 1000 x 730 preview window is mapped, against
 * the least work the sheet needs (the limit), measured in the same run:
 * four TurboJPEG decodes of the collected files TEMP/1.jpg ... 4.jpg, read
 * from disk, and one white fill of the 1180 x 1628 RGB sheet. The limit's
 * buffers are allocated before timing, so it is a strict lower bound. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <turbojpeg.h>

#include "bench/startup_driver.h"

enum { default_repetitions = 11, quiet_ms = 30, s = 60, sheet_width = 1180, sheet_height = 1628 };

/* Points of the editor's layout for s = 60, in window coordinates. */
static const int button_x = 10 * s + (790 - 10 * s) / 2;
static const int add_button_y = 7 * s + 10 + 12;
static const int preview_button_y = 7 * s + 40 + 12;

struct session {
    struct driver_server server;
    pid_t pid;
    Window editor;
};

static int settle(struct session* session, const char* what)
{
    if (driver_wait_idle(&session->server, session->pid, driver_now_ms(), quiet_ms, 30000) < 0) {
        fprintf(stderr, "preview_bench: the program did not settle after %s\n", what);
        return -1;
    }
    return 0;
}

static int click(struct session* session, int x, int y, const char* what)
{
    int screen_x, screen_y;
    driver_window_point(&session->server, session->editor, x, y, &screen_x, &screen_y);
    driver_click(&session->server, screen_x, screen_y);
    return settle(session, what);
}

static void square_centre(int col, int row, int* x, int* y)
{
    *x = col * s + s / 2;
    *y = row * s + s / 2;
}

/* A few pieces on the board, so the diagrams are not just empty squares. */
static int set_up_position(struct session* session)
{
    const struct {
        int palette_row, palette_column, col, row;
    } pieces[] = {{1, 0, 5, 8}, {2, 0, 4, 8}, {1, 1, 5, 1}, {6, 1, 4, 2}, {5, 0, 3, 6}, {3, 1, 8, 1}};
    for (size_t i = 0; i < sizeof pieces / sizeof pieces[0]; i++) {
        int i_row = pieces[i].palette_row;
        int x = (pieces[i].palette_column ? 11 * s + 5 : 10 * s) + s / 2;
        int y = i_row * s + 3 * i_row - s / 2 + s / 2;
        int square_x, square_y;
        square_centre(pieces[i].col, pieces[i].row, &square_x, &square_y);
        if (click(session, x, y, "a palette click") || click(session, square_x, square_y, "a square click"))
            return -1;
    }
    return 0;
}

struct limit {
    tjhandle decoder;
    unsigned char* pixels[4];
    unsigned char* files[4];
    unsigned long capacity[4];
    unsigned char* sheet;
    char paths[4][4200];
};

static int limit_prepare(struct limit* limit, const char* folder)
{
    memset(limit, 0, sizeof *limit);
    limit->decoder = tjInitDecompress();
    limit->sheet = malloc((size_t)sheet_width * sheet_height * 3);
    if (!limit->decoder || !limit->sheet)
        return -1;
    memset(limit->sheet, 0, (size_t)sheet_width * sheet_height * 3);
    for (int k = 0; k < 4; k++) {
        snprintf(limit->paths[k], sizeof limit->paths[k], "%s/TEMP/%d.jpg", folder, k + 1);
        long size = driver_file_size(limit->paths[k]);
        if (size <= 0)
            return -1;
        limit->capacity[k] = (unsigned long)size;
        limit->files[k] = malloc((size_t)size);
        limit->pixels[k] = malloc((size_t)(9 * s) * (9 * s + s / 2) * 3);
        if (!limit->files[k] || !limit->pixels[k])
            return -1;
        memset(limit->pixels[k], 0, (size_t)(9 * s) * (9 * s + s / 2) * 3);
    }
    return 0;
}

/* One run of the limit's work; returns its time in ms, or a negative value. */
static double limit_run(struct limit* limit)
{
    double start = driver_now_ms();
    for (int k = 0; k < 4; k++) {
        FILE* file = fopen(limit->paths[k], "rb");
        if (!file)
            return -1;
        size_t size = fread(limit->files[k], 1, limit->capacity[k], file);
        fclose(file);
        int width, height, subsampling, colourspace;
        if (tjDecompressHeader3(limit->decoder, limit->files[k], size, &width, &height, &subsampling,
                                &colourspace) != 0 ||
            width != 9 * s || height != 9 * s + s / 2)
            return -1;
        if (tjDecompress2(limit->decoder, limit->files[k], size, limit->pixels[k], width, 0, height, TJPF_RGB, 0) !=
            0)
            return -1;
    }
    memset(limit->sheet, 0xFF, (size_t)sheet_width * sheet_height * 3);
    return driver_now_ms() - start;
}

static void limit_release(struct limit* limit)
{
    if (limit->decoder)
        tjDestroy(limit->decoder);
    for (int k = 0; k < 4; k++) {
        free(limit->files[k]);
        free(limit->pixels[k]);
    }
    free(limit->sheet);
}

/* Press, wait for the preview's map, then close it and let the editor
 * settle. Returns the press-to-map time, or a negative value, and stores
 * the press-to-idle time: the window is mapped before its gadgets are
 * built, so idle is when the sheet is actually on screen. */
static double open_preview_once(struct session* session, int press_x, int press_y, double* idle_ms)
{
    driver_move(&session->server, press_x - 200, press_y);
    driver_move(&session->server, press_x, press_y);
    if (settle(session, "moving onto the button"))
        return -1;
    double pressed = driver_now_ms();
    driver_press(&session->server);
    double mapped = 0;
    Window preview = driver_wait_map(&session->server, session->pid, 1000, 730, 30000, &mapped);
    if (!preview) {
        fprintf(stderr, "preview_bench: no 1000 x 730 preview window was mapped\n");
        return -1;
    }
    double idle = driver_wait_idle(&session->server, session->pid, mapped, quiet_ms, 30000);
    if (idle < 0) {
        fprintf(stderr, "preview_bench: the program did not settle after opening the preview\n");
        return -1;
    }
    *idle_ms = idle - pressed;
    driver_request_close(&session->server, preview);
    if (driver_wait_unmap(&session->server, preview, 10000) != 0) {
        fprintf(stderr, "preview_bench: the preview did not close\n");
        return -1;
    }
    if (settle(session, "closing the preview"))
        return -1;
    return mapped - pressed;
}

int main(int argc, char** argv)
{
    int repetitions = argc > 1 ? atoi(argv[1]) : default_repetitions;
    if (repetitions < 1)
        repetitions = default_repetitions;
    char program[4200], make_squares[4200];
    snprintf(program, sizeof program, "%s/../chess-diagram", driver_own_folder());
    snprintf(make_squares, sizeof make_squares, "%s/../tools/make-squares", driver_own_folder());
    char* folder = driver_make_working_folder(make_squares, s);
    if (!folder) {
        fprintf(stderr, "preview_bench: cannot make the working folder with %s\n", make_squares);
        return 1;
    }
    struct session session;
    memset(&session, 0, sizeof session);
    struct limit limit;
    memset(&limit, 0, sizeof limit);
    double* ours = calloc(repetitions + 1, sizeof *ours);
    double* limits = calloc(repetitions + 1, sizeof *limits);
    double* ours_idle = calloc(repetitions + 1, sizeof *ours_idle);
    int failed = 1;
    if (driver_server_start(&session.server) != 0) {
        fprintf(stderr, "preview_bench: cannot start Xvfb\n");
        goto done;
    }
    char* program_argv[] = {program, NULL};
    session.pid = driver_spawn(&session.server, folder, program_argv);
    double mapped;
    session.editor = driver_wait_map(&session.server, session.pid, 800, 620, 30000, &mapped);
    if (!session.editor) {
        fprintf(stderr, "preview_bench: no editor window\n");
        goto stop;
    }
    if (settle(&session, "start-up") || set_up_position(&session))
        goto stop;
    for (int k = 1; k <= 4; k++)
        if (click(&session, button_x, add_button_y, "adding a diagram"))
            goto stop;
    if (limit_prepare(&limit, folder) != 0) {
        fprintf(stderr, "preview_bench: the four collected diagrams are not in %s/TEMP\n", folder);
        goto stop;
    }
    int press_x, press_y;
    driver_window_point(&session.server, session.editor, button_x, preview_button_y, &press_x, &press_y);
    /* One untimed opening first, like the first start in the start-up figure. */
    if (open_preview_once(&session, press_x, press_y, &ours_idle[0]) < 0 || limit_run(&limit) < 0)
        goto stop;
    for (int i = 0; i < repetitions; i++) {
        ours[i] = open_preview_once(&session, press_x, press_y, &ours_idle[i]);
        limits[i] = limit_run(&limit);
        if (ours[i] < 0 || limits[i] < 0)
            goto stop;
        printf("preview %2d: press to mapped %7.1f ms, to idle %7.1f ms; four decodes and a sheet fill %6.2f ms\n",
               i + 1, ours[i], ours_idle[i], limits[i]);
    }
    failed = 0;
stop:
    if (session.editor)
        driver_request_close(&session.server, session.editor);
    int status = session.pid > 0 ? driver_wait_exit(session.pid, 10000, NULL) : -1;
    if (status != 0 && !failed) {
        fprintf(stderr, "preview_bench: the program ended with status %d\n", status);
        failed = 1;
    }
    driver_server_stop(&session.server);
done:
    limit_release(&limit);
    driver_remove_folder(folder);
    free(folder);
    if (!failed) {
        double ours_median = driver_median(ours, repetitions), limit_median = driver_median(limits, repetitions);
        double idle_median = driver_median(ours_idle, repetitions);
        printf("medians of %d openings: %.1f ms press to mapped, %.1f ms press to idle, limit %.2f ms\n",
               repetitions, ours_median, idle_median, limit_median);
        printf("table|open preview, 4 diagrams|%.4f|%.4f|%.4f\n", ours_median, 0.0, limit_median);
        printf("table|open preview to idle|%.4f|%.4f|%.4f\n", idle_median, 0.0, limit_median);
    }
    free(ours);
    free(limits);
    free(ours_idle);
    return failed;
}
