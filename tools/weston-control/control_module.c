// A weston module for the end-to-end tests: a seat with a keyboard, a pointer and a touch screen
// (headless weston has no input devices) and a Unix socket through which the test drives it.
// Loaded with weston --modules=/abs/path/marovellastrine-weston-control.so, it listens on
// $XDG_RUNTIME_DIR/compositor-control. Each connection carries one command line:
//   key CODE     press and release the Linux key code CODE
//   click X Y    move the pointer to X,Y (compositor coordinates), click the left button
//   touch X Y    touch the screen at X,Y (compositor coordinates), lift the finger
//   close TITLE  send the close request to the toplevel titled TITLE
//   list         one line per toplevel: TITLE<TAB>X,Y WxH<TAB>fullscreen|normal
// and gets back the answer's lines, then "ok" or "error: WHY" as the last line.
#define _GNU_SOURCE /* accept4 */
#include <errno.h>
#include <fcntl.h>
#include <libweston-desktop/libweston-desktop.h>
#include <libweston/libweston.h>
#include <linux/input-event-codes.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

/* libweston 10 exports these to its backends without installing their header. */
void weston_seat_init(struct weston_seat* seat, struct weston_compositor* compositor,
                      const char* seat_name);
int weston_seat_init_pointer(struct weston_seat* seat);
int weston_seat_init_keyboard(struct weston_seat* seat, struct xkb_keymap* keymap);
int weston_seat_init_touch(struct weston_seat* seat);
struct weston_touch_device*
weston_touch_create_touch_device(struct weston_touch* touch, const char* syspath,
                                 void* backend_data, const struct weston_touch_device_ops* ops);
void weston_touch_device_destroy(struct weston_touch_device* device);
void notify_touch_normalized(struct weston_touch_device* device, const struct timespec* time,
                             int touch_id, double x, double y,
                             const struct weston_point2d_device_normalized* norm, int touch_type);
void notify_touch_frame(struct weston_touch_device* device);
void weston_seat_release(struct weston_seat* seat);
void notify_key(struct weston_seat* seat, const struct timespec* time, uint32_t key,
                enum wl_keyboard_key_state state, enum weston_key_state_update update_state);
void notify_motion_absolute(struct weston_seat* seat, const struct timespec* time, double x,
                            double y);
void notify_button(struct weston_seat* seat, const struct timespec* time, int32_t button,
                   enum wl_pointer_button_state state);
void notify_pointer_frame(struct weston_seat* seat);

enum { COMMAND_MAX = 512 };

struct control {
    struct weston_compositor* compositor;
    struct weston_seat seat;
    struct weston_touch_device* touch_screen;
    int listen_fd;
    struct wl_event_source* listen_source;
    struct wl_listener destroy_listener;
    struct sockaddr_un address;
};

static void press_key(struct control* control, uint32_t key) {
    struct timespec now;
    weston_compositor_get_time(&now);
    notify_key(&control->seat, &now, key, WL_KEYBOARD_KEY_STATE_PRESSED, STATE_UPDATE_AUTOMATIC);
    notify_key(&control->seat, &now, key, WL_KEYBOARD_KEY_STATE_RELEASED, STATE_UPDATE_AUTOMATIC);
}

static void click(struct control* control, double x, double y) {
    struct timespec now;
    weston_compositor_get_time(&now);
    notify_motion_absolute(&control->seat, &now, x, y);
    notify_pointer_frame(&control->seat);
    notify_button(&control->seat, &now, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    notify_pointer_frame(&control->seat);
    notify_button(&control->seat, &now, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    notify_pointer_frame(&control->seat);
}

static void touch(struct control* control, double x, double y) {
    struct timespec now;
    weston_compositor_get_time(&now);
    notify_touch_normalized(control->touch_screen, &now, 0, x, y, NULL, WL_TOUCH_DOWN);
    notify_touch_frame(control->touch_screen);
    notify_touch_normalized(control->touch_screen, &now, 0, x, y, NULL, WL_TOUCH_UP);
    notify_touch_frame(control->touch_screen);
}

/* Calls visit for every mapped toplevel, topmost first, until it returns true. */
typedef bool (*toplevel_visitor)(struct weston_view* view, struct weston_desktop_surface* toplevel,
                                 void* data);
static bool each_toplevel(struct control* control, toplevel_visitor visit, void* data) {
    struct weston_layer* layer;
    struct weston_view* view;
    wl_list_for_each(layer, &control->compositor->layer_list, link) {
        wl_list_for_each(view, &layer->view_list.link, layer_link.link) {
            if (!weston_surface_is_desktop_surface(view->surface))
                continue;
            struct weston_desktop_surface* toplevel =
                weston_surface_get_desktop_surface(view->surface);
            if (weston_desktop_surface_get_title(toplevel) == NULL)
                continue; /* popups and untitled helpers */
            if (visit(view, toplevel, data))
                return true;
        }
    }
    return false;
}

static bool describe_toplevel(struct weston_view* view, struct weston_desktop_surface* toplevel,
                              void* data) {
    FILE* answer = data;
    const struct weston_geometry geometry = weston_desktop_surface_get_geometry(toplevel);
    fprintf(answer, "%s\t%d,%d %dx%d\t%s\n", weston_desktop_surface_get_title(toplevel),
            (int)view->geometry.x + geometry.x, (int)view->geometry.y + geometry.y, geometry.width,
            geometry.height,
            weston_desktop_surface_get_fullscreen(toplevel) ? "fullscreen" : "normal");
    return false;
}

static bool close_if_titled(struct weston_view* view, struct weston_desktop_surface* toplevel,
                            void* data) {
    (void)view;
    if (strcmp(weston_desktop_surface_get_title(toplevel), data) != 0)
        return false;
    weston_desktop_surface_close(toplevel);
    return true;
}

static void run_command(struct control* control, char* command, FILE* answer) {
    unsigned key;
    double x, y;
    char end;
    if (sscanf(command, "key %u %c", &key, &end) == 1) {
        press_key(control, key);
    } else if (sscanf(command, "click %lf %lf %c", &x, &y, &end) == 2) {
        click(control, x, y);
    } else if (sscanf(command, "touch %lf %lf %c", &x, &y, &end) == 2) {
        touch(control, x, y);
    } else if (strncmp(command, "close ", 6) == 0) {
        if (!each_toplevel(control, close_if_titled, command + 6)) {
            fprintf(answer, "error: no toplevel titled \"%s\"\n", command + 6);
            return;
        }
    } else if (strcmp(command, "list") == 0) {
        each_toplevel(control, describe_toplevel, answer);
    } else {
        fprintf(answer, "error: unknown command \"%s\"\n", command);
        return;
    }
    fputs("ok\n", answer);
}

/* Reads one command line; the client sends it at once, so a short time-out keeps a stuck client
 * from stalling the compositor. */
static bool read_command(int fd, char* command, size_t size) {
    const struct timeval timeout = {.tv_sec = 1};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    size_t length = 0;
    while (length < size - 1) {
        const ssize_t got = read(fd, command + length, size - 1 - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        length += (size_t)got;
        if (memchr(command, '\n', length) != NULL)
            break;
    }
    command[length] = '\0';
    command[strcspn(command, "\n")] = '\0';
    return length > 0;
}

static int on_connection(int listen_fd, uint32_t mask, void* data) {
    (void)mask;
    struct control* control = data;
    const int fd = accept4(listen_fd, NULL, NULL, SOCK_CLOEXEC);
    if (fd < 0)
        return 0;
    char command[COMMAND_MAX];
    FILE* answer = fdopen(fd, "w");
    if (answer == NULL) {
        close(fd);
        return 0;
    }
    if (read_command(fd, command, sizeof command))
        run_command(control, command, answer);
    else
        fputs("error: no command\n", answer);
    fclose(answer);
    return 0;
}

static void on_compositor_destroy(struct wl_listener* listener, void* data) {
    (void)data;
    struct control* control = wl_container_of(listener, control, destroy_listener);
    wl_event_source_remove(control->listen_source);
    close(control->listen_fd);
    unlink(control->address.sun_path);
    weston_touch_device_destroy(control->touch_screen);
    weston_seat_release(&control->seat);
    free(control);
}

static int listen_on(struct sockaddr_un* address) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime == NULL)
        return -1;
    address->sun_family = AF_UNIX;
    const int length =
        snprintf(address->sun_path, sizeof address->sun_path, "%s/compositor-control", runtime);
    if (length < 0 || (size_t)length >= sizeof address->sun_path)
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    unlink(address->sun_path);
    if (bind(fd, (const struct sockaddr*)address, sizeof *address) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

WL_EXPORT int wet_module_init(struct weston_compositor* compositor, int* argc, char* argv[]) {
    (void)argc;
    (void)argv;
    struct control* control = calloc(1, sizeof *control);
    if (control == NULL)
        return -1;
    control->compositor = compositor;
    control->listen_fd = listen_on(&control->address);
    if (control->listen_fd < 0) {
        weston_log("compositor-control: cannot listen: %s\n", strerror(errno));
        free(control);
        return -1;
    }
    control->listen_source =
        wl_event_loop_add_fd(wl_display_get_event_loop(compositor->wl_display), control->listen_fd,
                             WL_EVENT_READABLE, on_connection, control);
    weston_seat_init(&control->seat, compositor, "default");
    weston_seat_init_pointer(&control->seat);
    weston_seat_init_keyboard(&control->seat, NULL);
    weston_seat_init_touch(&control->seat);
    control->touch_screen = weston_touch_create_touch_device(control->seat.touch_state,
                                                             "compositor-control", NULL, NULL);
    control->destroy_listener.notify = on_compositor_destroy;
    wl_signal_add(&compositor->destroy_signal, &control->destroy_listener);
    weston_log("compositor-control: listening on %s\n", control->address.sun_path);
    return 0;
}
