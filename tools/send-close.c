/* send-close TITLE: asks the first top-level window of that title to close,
 * the way a window manager does: a WM_DELETE_WINDOW client message. Exit
 * status 0 when a window was found and asked, 1 otherwise. */
#include <stdio.h>
#include <string.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static int has_title(Display* display, Window window, const char* title)
{
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* value = NULL;
    int same = 0;
    if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &value) == Success && value) {
        same = strcmp((const char*)value, title) == 0;
        XFree(value);
        if (same)
            return 1;
    }
    char* name = NULL;
    if (XFetchName(display, window, &name) && name) {
        same = strcmp(name, title) == 0;
        XFree(name);
    }
    return same;
}

/* Depth first: with a window manager, client windows sit inside its frames. */
static Window find_window(Display* display, Window parent, const char* title, int depth)
{
    Window root, up, *children = NULL;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; i++) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes))
            continue;
        if (attributes.map_state == IsViewable && has_title(display, children[i], title))
            found = children[i];
        else if (depth < 3)
            found = find_window(display, children[i], title, depth + 1);
    }
    if (children)
        XFree(children);
    return found;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: send-close TITLE\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "send-close: cannot open the display\n");
        return 1;
    }
    Window window = find_window(display, DefaultRootWindow(display), argv[1], 0);
    if (!window) {
        fprintf(stderr, "send-close: no window titled \"%s\"\n", argv[1]);
        XCloseDisplay(display);
        return 1;
    }
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
