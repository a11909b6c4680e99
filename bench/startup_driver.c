/* The outside driver of the whole-program measurements and of the memory
 * session: see startup_driver.h. Idle means the program's main thread sleeps
 * and neither it nor the X server uses any CPU for a while, read from the
 * kernel's per-process CPU clocks (nanoseconds), so a program still
 * drawing, or a server still painting its window, does not count as idle. */
#define _GNU_SOURCE
#include "bench/startup_driver.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <libgen.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

double driver_now_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

static void sleep_ms(double ms)
{
    struct timespec pause = {(time_t)(ms / 1e3), (long)((ms - (time_t)(ms / 1e3) * 1e3) * 1e6)};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

const char* driver_own_folder(void)
{
    static char folder[4096];
    if (!folder[0]) {
        ssize_t length = readlink("/proc/self/exe", folder, sizeof folder - 1);
        if (length < 0)
            length = 0;
        folder[length] = 0;
        char* slash = strrchr(folder, '/');
        if (slash)
            *slash = 0;
    }
    return folder;
}

/* The main thread's scheduler state letter, or 0 when the process is gone
 * or a zombie. */
static char process_state(pid_t pid)
{
    char path[64], line[512];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE* file = fopen(path, "r");
    if (!file)
        return 0;
    size_t length = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[length] = 0;
    char* close = strrchr(line, ')');
    if (!close || close[1] != ' ')
        return 0;
    return close[2] == 'Z' ? 0 : close[2];
}

static long long cpu_ns(pid_t pid)
{
    clockid_t clock;
    struct timespec spent;
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &spent) != 0)
        return -1;
    return spent.tv_sec * 1000000000LL + spent.tv_nsec;
}

double driver_cpu_ms(pid_t pid)
{
    long long spent = cpu_ns(pid);
    return spent < 0 ? -1 : spent / 1e6;
}

static void quiet_child_output(void)
{
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
        close(null);
    }
}

int driver_server_start(struct driver_server* server)
{
    memset(server, 0, sizeof *server);
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        quiet_child_output();
        char fd[16];
        snprintf(fd, sizeof fd, "%d", pipe_fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               "-noreset", (char*)NULL);
        _exit(127);
    }
    close(pipe_fds[1]);
    if (pid < 0) {
        close(pipe_fds[0]);
        return -1;
    }
    server->pid = pid;
    char number[16] = {0};
    size_t got = 0;
    while (got < sizeof number - 1) {
        ssize_t n = read(pipe_fds[0], number + got, 1);
        if (n <= 0 || number[got] == '\n')
            break;
        got++;
    }
    close(pipe_fds[0]);
    number[got] = 0;
    if (!got) {
        driver_server_stop(server);
        return -1;
    }
    snprintf(server->name, sizeof server->name, ":%s", number);
    server->display = XOpenDisplay(server->name);
    if (!server->display) {
        driver_server_stop(server);
        return -1;
    }
    XSelectInput(server->display, DefaultRootWindow(server->display), SubstructureNotifyMask);
    XSync(server->display, False);
    return 0;
}

void driver_server_stop(struct driver_server* server)
{
    if (server->display)
        XCloseDisplay(server->display);
    server->display = NULL;
    if (server->pid > 0) {
        kill(server->pid, SIGTERM);
        waitpid(server->pid, NULL, 0);
    }
    server->pid = 0;
}

pid_t driver_spawn(const struct driver_server* server, const char* folder, char* const argv[])
{
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", server->name, 1);
        unsetenv("XAUTHORITY");
        if (folder && chdir(folder) != 0)
            _exit(126);
        execvp(argv[0], argv);
        _exit(127);
    }
    return pid;
}

/* Waits for the next X event up to the deadline; 1 when one was read. */
static int next_event(struct driver_server* server, XEvent* event, double deadline)
{
    for (;;) {
        if (XPending(server->display)) {
            XNextEvent(server->display, event);
            return 1;
        }
        double left = deadline - driver_now_ms();
        if (left <= 0)
            return 0;
        struct pollfd connection = {ConnectionNumber(server->display), POLLIN, 0};
        poll(&connection, 1, left < 5 ? (int)left + 1 : 5);
    }
}

Window driver_wait_map(struct driver_server* server, pid_t pid, int width, int height, double timeout_ms,
                       double* mapped_at)
{
    double deadline = driver_now_ms() + timeout_ms;
    Window root = DefaultRootWindow(server->display);
    XEvent event;
    for (;;) {
        if (!next_event(server, &event, deadline)) {
            if (!process_state(pid) || driver_now_ms() >= deadline)
                return 0;
            continue;
        }
        if (event.type != MapNotify || event.xmap.event != root || event.xmap.override_redirect)
            continue;
        double when = driver_now_ms();
        XWindowAttributes attributes;
        if (XGetWindowAttributes(server->display, event.xmap.window, &attributes) && attributes.width == width &&
            attributes.height == height) {
            if (mapped_at)
                *mapped_at = when;
            return event.xmap.window;
        }
    }
}

int driver_wait_unmap(struct driver_server* server, Window window, double timeout_ms)
{
    double deadline = driver_now_ms() + timeout_ms;
    XEvent event;
    while (next_event(server, &event, deadline)) {
        if (event.type == UnmapNotify && event.xunmap.window == window)
            return 0;
        if (event.type == DestroyNotify && event.xdestroywindow.window == window)
            return 0;
    }
    return -1;
}

double driver_wait_idle(const struct driver_server* server, pid_t pid, double since, double quiet_ms,
                        double timeout_ms)
{
    double deadline = driver_now_ms() + timeout_ms;
    double last_busy = since;
    long long program_before = cpu_ns(pid), server_before = cpu_ns(server->pid);
    for (;;) {
        sleep_ms(1);
        double now = driver_now_ms();
        char state = process_state(pid);
        long long program = cpu_ns(pid), server_spent = cpu_ns(server->pid);
        if (!state || program < 0)
            return -1;
        if (state != 'S' || program != program_before || server_spent != server_before)
            last_busy = now;
        program_before = program;
        server_before = server_spent;
        if (now - last_busy >= quiet_ms)
            return last_busy;
        if (now >= deadline)
            return -1;
    }
}

void driver_window_point(struct driver_server* server, Window window, int x, int y, int* screen_x,
                         int* screen_y)
{
    Window child;
    XTranslateCoordinates(server->display, window, DefaultRootWindow(server->display), x, y, screen_x, screen_y,
                          &child);
}

void driver_move(struct driver_server* server, int screen_x, int screen_y)
{
    XTestFakeMotionEvent(server->display, -1, screen_x, screen_y, 0);
    XFlush(server->display);
}

void driver_press(struct driver_server* server)
{
    XTestFakeButtonEvent(server->display, 1, True, 0);
    XTestFakeButtonEvent(server->display, 1, False, 0);
    XFlush(server->display);
}

void driver_click(struct driver_server* server, int screen_x, int screen_y)
{
    driver_move(server, screen_x, screen_y);
    driver_press(server);
}

void driver_type(struct driver_server* server, const char* text)
{
    for (const char* c = text; *c; c++) {
        /* Latin-1 keysyms are the characters' own codes. */
        KeyCode code = XKeysymToKeycode(server->display, (KeySym)(unsigned char)*c);
        if (!code)
            continue;
        XTestFakeKeyEvent(server->display, code, True, 0);
        XTestFakeKeyEvent(server->display, code, False, 0);
    }
    XFlush(server->display);
}

void driver_request_close(struct driver_server* server, Window window)
{
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(server->display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(server->display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(server->display, window, False, NoEventMask, &event);
    XFlush(server->display);
}

int driver_wait_exit(pid_t pid, double timeout_ms, long* peak_kib)
{
    double deadline = driver_now_ms() + timeout_ms;
    int status = 0;
    struct rusage usage;
    memset(&usage, 0, sizeof usage);
    int result = -1;
    for (;;) {
        pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (done < 0)
            break;
        if (driver_now_ms() >= deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        sleep_ms(2);
    }
    if (peak_kib)
        *peak_kib = usage.ru_maxrss;
    return result;
}

char* driver_make_working_folder(const char* make_squares, int s)
{
    char* folder = strdup("/tmp/chess-bench-XXXXXX");
    if (!folder || !mkdtemp(folder)) {
        free(folder);
        return NULL;
    }
    char data[4200], size[16];
    snprintf(data, sizeof data, "%s/DATA", folder);
    snprintf(size, sizeof size, "%d", s);
    mkdir(data, 0777);
    pid_t pid = fork();
    if (pid == 0) {
        execl(make_squares, make_squares, data, size, (char*)NULL);
        _exit(127);
    }
    int status = -1;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        driver_remove_folder(folder);
        free(folder);
        return NULL;
    }
    return folder;
}

static int remove_entry(const char* path, const struct stat* info, int flag, struct FTW* walk)
{
    (void)info;
    (void)flag;
    (void)walk;
    remove(path);
    return 0;
}

void driver_remove_folder(const char* folder)
{
    if (folder && strncmp(folder, "/tmp/chess-bench-", 17) == 0)
        nftw(folder, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

static int compare_doubles(const void* a, const void* b)
{
    double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

long driver_file_size(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return -1;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fclose(file);
    return size;
}

double driver_median(double* values, size_t count)
{
    if (!count)
        return 0;
    qsort(values, count, sizeof *values, compare_doubles);
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}
