/* Starts a program and prints the milliseconds until its first top-level window of at least
 * 200x150 pixels is mapped on the X display, then ends the program (SIGTERM, then SIGKILL).
 * The same measurement for every program compared: usage: window_shown PROGRAM [ARGS...] */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "window_shown: cannot open the X display\n");
        return 2;
    }
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = now_ms();
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    double shown = -1;
    const int fd = ConnectionNumber(display);
    while (shown < 0 && now_ms() - start < 60000) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify)
                continue;
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, event.xmap.window, &attributes) &&
                attributes.width >= 200 && attributes.height >= 150) {
                shown = now_ms() - start;
                break;
            }
        }
        if (shown >= 0)
            break;
        struct pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, 50);
        if (waitpid(child, NULL, WNOHANG) == child) {
            fprintf(stderr, "window_shown: %s ended before showing a window\n", argv[1]);
            return 1;
        }
    }
    kill(child, SIGTERM);
    for (int i = 0; i < 50 && waitpid(child, NULL, WNOHANG) == 0; ++i)
        nanosleep(&(struct timespec){0, 100000000L}, NULL);
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
    if (shown < 0) {
        fprintf(stderr, "window_shown: no window within 60 s\n");
        return 1;
    }
    printf("%.1f\n", shown);
    return 0;
}
