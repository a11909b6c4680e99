/* Start-up of the whole program against a minimal GTK+ 2 program: from just
 * before fork until the 800 x 620 top-level window is mapped and the program
 * sleeps waiting for events, each start on a fresh Xvfb of its own. Both
 * programs are measured the same way, alternating, after one untimed start
 * of each so that both find the files in the page cache. */
#include <stdio.h>
#include <stdlib.h>

#include "bench/startup_driver.h"

enum { default_repetitions = 11, quiet_ms = 30 };

struct started {
    double mapped_ms, idle_ms, cpu_ms;
};

/* One start on a fresh server; returns 0 and the times on success. */
static int start_once(const char* program, const char* folder, struct started* result)
{
    struct driver_server server;
    if (driver_server_start(&server) != 0) {
        fprintf(stderr, "startup_bench: cannot start Xvfb\n");
        return -1;
    }
    char* argv[] = {(char*)program, NULL};
    double start = driver_now_ms();
    pid_t pid = driver_spawn(&server, folder, argv);
    double mapped = 0;
    Window window = pid > 0 ? driver_wait_map(&server, pid, 800, 620, 30000, &mapped) : 0;
    double idle = window ? driver_wait_idle(&server, pid, mapped, quiet_ms, 30000) : -1;
    double cpu = driver_cpu_ms(pid);
    int status = -1;
    if (window) {
        driver_request_close(&server, window);
        status = driver_wait_exit(pid, 10000, NULL);
    } else if (pid > 0) {
        driver_wait_exit(pid, 0, NULL);
    }
    driver_server_stop(&server);
    if (!window || idle < 0 || status != 0) {
        fprintf(stderr, "startup_bench: %s %s (exit status %d)\n", program,
                !window ? "mapped no 800 x 620 window" : idle < 0 ? "never went idle" : "did not end cleanly",
                status);
        return -1;
    }
    result->mapped_ms = mapped - start;
    result->idle_ms = idle - start;
    result->cpu_ms = cpu;
    return 0;
}

int main(int argc, char** argv)
{
    int repetitions = argc > 1 ? atoi(argv[1]) : default_repetitions;
    if (repetitions < 1)
        repetitions = default_repetitions;
    char program[4200], peer[4200], make_squares[4200];
    snprintf(program, sizeof program, "%s/../chess-diagram", driver_own_folder());
    snprintf(peer, sizeof peer, "%s/startup_peer", driver_own_folder());
    snprintf(make_squares, sizeof make_squares, "%s/../tools/make-squares", driver_own_folder());
    char* folder = driver_make_working_folder(make_squares, 60);
    if (!folder) {
        fprintf(stderr, "startup_bench: cannot make the working folder with %s\n", make_squares);
        return 1;
    }
    double* ours = calloc(repetitions, sizeof *ours);
    double* theirs = calloc(repetitions, sizeof *theirs);
    double* ours_mapped = calloc(repetitions, sizeof *ours_mapped);
    double* theirs_mapped = calloc(repetitions, sizeof *theirs_mapped);
    double* ours_cpu = calloc(repetitions, sizeof *ours_cpu);
    double* theirs_cpu = calloc(repetitions, sizeof *theirs_cpu);
    struct started run;
    int failed = start_once(program, folder, &run) || start_once(peer, folder, &run);
    for (int i = 0; i < repetitions && !failed; i++) {
        struct started mine, other;
        /* Alternate who goes first, so neither always follows the other. */
        if (i % 2 == 0)
            failed = start_once(program, folder, &mine) || start_once(peer, folder, &other);
        else
            failed = start_once(peer, folder, &other) || start_once(program, folder, &mine);
        if (failed)
            break;
        ours[i] = mine.idle_ms;
        ours_mapped[i] = mine.mapped_ms;
        theirs[i] = other.idle_ms;
        theirs_mapped[i] = other.mapped_ms;
        ours_cpu[i] = mine.cpu_ms;
        theirs_cpu[i] = other.cpu_ms;
        printf("start %2d: chess-diagram mapped %6.1f, idle %6.1f, cpu %6.1f ms; "
               "empty window mapped %6.1f, idle %6.1f, cpu %6.1f ms\n",
               i + 1, mine.mapped_ms, mine.idle_ms, mine.cpu_ms, other.mapped_ms, other.idle_ms, other.cpu_ms);
    }
    driver_remove_folder(folder);
    free(folder);
    if (failed)
        return 1;
    double ours_median = driver_median(ours, repetitions), theirs_median = driver_median(theirs, repetitions);
    /* CPU time is printed beside the wall-clock figure since it varies far
     * less when other work shares the machine. */
    printf("medians of %d starts: chess-diagram %.1f ms to idle (%.1f ms to mapped, %.1f ms cpu), "
           "empty GTK+ window %.1f ms (%.1f ms, %.1f ms cpu), ratio %.2f (cpu %.2f)\n",
           repetitions, ours_median, driver_median(ours_mapped, repetitions), driver_median(ours_cpu, repetitions),
           theirs_median, driver_median(theirs_mapped, repetitions), driver_median(theirs_cpu, repetitions),
           ours_median / theirs_median,
           driver_median(ours_cpu, repetitions) / driver_median(theirs_cpu, repetitions));
    printf("table|start-up to idle editor|%.4f|%.4f|%.4f\n", ours_median, theirs_median, 0.0);
    free(ours);
    free(theirs);
    free(ours_mapped);
    free(theirs_mapped);
    free(ours_cpu);
    free(theirs_cpu);
    return 0;
}
