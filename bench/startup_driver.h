/* Drives a GTK+ program from outside under a private Xvfb, for the
 * whole-program measurements: start the server and the program, wait for a
 * top-level window of a given size to be mapped, wait until the program
 * (and the server) have gone idle, press the pointer through XTest, and
 * ask windows to close the way a window manager does. It measures nothing
 * by itself; callers take the times it returns. */
#pragma once

#include <stddef.h>
#include <sys/types.h>

#include <X11/Xlib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Monotonic clock in milliseconds. */
double driver_now_ms(void);

/* Folder of the running executable (no trailing slash). */
const char* driver_own_folder(void);

struct driver_server {
    pid_t pid;
    Display* display;
    char name[32]; /* ":N" */
};

/* Starts a fresh Xvfb, opens it and listens for top-level map and unmap
 * events on the root. Returns 0 on success. */
int driver_server_start(struct driver_server* server);
void driver_server_stop(struct driver_server* server);

/* Forks and execs argv[0] with DISPLAY set to the server and the current
 * directory set to folder. Returns the child's pid, or -1. */
pid_t driver_spawn(const struct driver_server* server, const char* folder, char* const argv[]);

/* Waits until a top-level window of exactly width × height is mapped.
 * Returns its id and stores the time the event was read, or 0 after
 * timeout_ms (or when the process ends). */
Window driver_wait_map(struct driver_server* server, pid_t pid, int width, int height, double timeout_ms,
                       double* mapped_at);

/* Waits until window is unmapped or destroyed. Returns 0 on success. */
int driver_wait_unmap(struct driver_server* server, Window window, double timeout_ms);

/* Waits until the process sleeps with no CPU time spent, neither by it
 * nor by the X server, for quiet_ms in a row. Returns the last moment at
 * which either was seen busy (no earlier than since), or a negative value
 * after timeout_ms or when the process ends. */
double driver_wait_idle(const struct driver_server* server, pid_t pid, double since, double quiet_ms,
                        double timeout_ms);

/* CPU time the process has used so far, all threads, in ms; negative when
 * it is gone. */
double driver_cpu_ms(pid_t pid);

/* Screen position of a point given in window coordinates. */
void driver_window_point(struct driver_server* server, Window window, int x, int y, int* screen_x,
                         int* screen_y);

/* Pointer motion to a screen point, and a left press and release where the
 * pointer is, each flushed at once. */
void driver_move(struct driver_server* server, int screen_x, int screen_y);
void driver_press(struct driver_server* server);

/* A left click at a screen point: motion, press, release, flushed. */
void driver_click(struct driver_server* server, int screen_x, int screen_y);

/* Types lowercase letters, digits and spaces through XTest. */
void driver_type(struct driver_server* server, const char* text);

/* A WM_DELETE_WINDOW client message to the window. */
void driver_request_close(struct driver_server* server, Window window);

/* Waits for the process to end; returns its exit status (or -1 after
 * timeout_ms, when it is killed) and its peak resident set in KiB. */
int driver_wait_exit(pid_t pid, double timeout_ms, long* peak_kib);

/* A fresh working folder holding DATA/ drawn by make-squares at size s.
 * Returns a malloc'd path or NULL. */
char* driver_make_working_folder(const char* make_squares, int s);
void driver_remove_folder(const char* folder);

/* Size in bytes of the file at path, or -1 when it cannot be opened. */
long driver_file_size(const char* path);

/* Median of count values (sorts them). */
double driver_median(double* values, size_t count);

#ifdef __cplusplus
}
#endif
