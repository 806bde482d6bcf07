/* xwatch: starts a program and reports, as another X client sees them, when its windows map,
 * when the main window's pixels change (DAMAGE) and when its title changes (PropertyNotify).
 *
 *   xwatch [-m MAIN_TITLE] [-p POPUP_TITLE] [-l LOGFILE] [-e VAR=VALUE]... -- PROGRAM [ARG]...
 *
 * One line per event on stdout, times in microseconds of the real-time clock, read as the event
 * comes off the connection:
 *   exec T PID            just before the program is executed
 *   main T WINDOW         first map of the window titled MAIN_TITLE (damage is tracked from here)
 *   popup T WINDOW        each map of a window titled POPUP_TITLE
 *   map T WINDOW TITLE    each map of any other window with a title
 *   damage T              the main window's contents changed
 *   title T               the main window's _NET_WM_NAME or WM_NAME changed
 *   exit T STATUS         the program ended; xwatch ends too
 * The -e variables go to the program only (LD_PRELOAD of libfaketime must not reach xwatch).
 */
#define _GNU_SOURCE
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long long now_us(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

static xcb_atom_t intern(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), NULL);
    xcb_atom_t a = r ? r->atom : XCB_NONE;
    free(r);
    return a;
}

/* The window's title, _NET_WM_NAME first; "" when it has none. */
static void window_title(xcb_connection_t *c, xcb_window_t w, xcb_atom_t net_wm_name,
                         xcb_atom_t utf8, char *out, size_t size)
{
    const xcb_atom_t names[2] = {net_wm_name, XCB_ATOM_WM_NAME};
    const xcb_atom_t types[2] = {utf8, XCB_GET_PROPERTY_TYPE_ANY};
    out[0] = '\0';
    for (int i = 0; i < 2 && !out[0]; i++) {
        xcb_get_property_reply_t *r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, names[i], types[i], 0, 256), NULL);
        if (r) {
            int len = xcb_get_property_value_length(r);
            if (len > 0) {
                if ((size_t)len >= size)
                    len = (int)size - 1;
                memcpy(out, xcb_get_property_value(r), (size_t)len);
                out[len] = '\0';
            }
            free(r);
        }
    }
}

int main(int argc, char **argv)
{
    const char *main_title = NULL, *popup_title = NULL, *logfile = "/dev/null";
    char *envs[32];
    int nenv = 0, i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; i++) {
        if (i + 1 >= argc)
            break;
        if (!strcmp(argv[i], "-m"))
            main_title = argv[++i];
        else if (!strcmp(argv[i], "-p"))
            popup_title = argv[++i];
        else if (!strcmp(argv[i], "-l"))
            logfile = argv[++i];
        else if (!strcmp(argv[i], "-e") && nenv < 32)
            envs[nenv++] = argv[++i];
        else
            break;
    }
    if (i >= argc - 1 || strcmp(argv[i], "--") != 0) {
        fprintf(stderr, "usage: xwatch [-m TITLE] [-p TITLE] [-l LOG] [-e VAR=VALUE]... -- "
                        "PROGRAM [ARG]...\n");
        return 2;
    }
    char **command = argv + i + 1;

    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "xwatch: cannot open the display\n");
        return 1;
    }
    xcb_damage_query_version_reply_t *dv = xcb_damage_query_version_reply(
        c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), NULL);
    const xcb_query_extension_reply_t *dext = xcb_get_extension_data(c, &xcb_damage_id);
    if (!dv || !dext || !dext->present) {
        fprintf(stderr, "xwatch: the X server has no DAMAGE extension\n");
        return 1;
    }
    free(dv);
    const xcb_atom_t net_wm_name = intern(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t root_mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &root_mask);
    xcb_flush(c);
    setvbuf(stdout, NULL, _IOLBF, 0);

    long long t = now_us();
    pid_t pid = fork();
    if (pid < 0) {
        perror("xwatch: fork");
        return 1;
    }
    if (pid == 0) {
        close(xcb_get_file_descriptor(c));
        int fd = open(logfile, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
            close(fd);
        }
        for (int k = 0; k < nenv; k++)
            putenv(envs[k]);
        execvp(command[0], command);
        perror("xwatch: exec");
        _exit(127);
    }
    printf("exec %lld %d\n", t, (int)pid);

    xcb_window_t main_window = XCB_NONE;
    xcb_damage_damage_t damage = XCB_NONE;
    struct pollfd pfd = {xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            printf("exit %lld %d\n", now_us(), WIFEXITED(status) ? WEXITSTATUS(status) : 128);
            return 0;
        }
        poll(&pfd, 1, 100);
        xcb_generic_event_t *ev;
        while ((ev = xcb_poll_for_event(c))) {
            t = now_us();
            const uint8_t type = ev->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                const xcb_create_notify_event_t *e = (const xcb_create_notify_event_t *)ev;
                const uint32_t mask =
                    XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, e->window, XCB_CW_EVENT_MASK, &mask);
                xcb_flush(c);
            } else if (type == XCB_MAP_NOTIFY) {
                const xcb_map_notify_event_t *e = (const xcb_map_notify_event_t *)ev;
                if (e->event == e->window && !e->override_redirect) {
                    char title[1024];
                    window_title(c, e->window, net_wm_name, utf8, title, sizeof title);
                    if (main_window == XCB_NONE && main_title && !strcmp(title, main_title)) {
                        main_window = e->window;
                        damage = xcb_generate_id(c);
                        xcb_damage_create(c, damage, main_window,
                                          XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                        xcb_flush(c);
                        printf("main %lld 0x%x\n", t, main_window);
                    } else if (popup_title && !strcmp(title, popup_title)) {
                        printf("popup %lld 0x%x\n", t, e->window);
                    } else if (title[0]) {
                        printf("map %lld 0x%x %s\n", t, e->window, title);
                    }
                }
            } else if (type == XCB_PROPERTY_NOTIFY) {
                const xcb_property_notify_event_t *e = (const xcb_property_notify_event_t *)ev;
                if (e->window == main_window && e->state == XCB_PROPERTY_NEW_VALUE &&
                    (e->atom == net_wm_name || e->atom == XCB_ATOM_WM_NAME))
                    printf("title %lld\n", t);
            } else if (dext && type == dext->first_event + XCB_DAMAGE_NOTIFY) {
                /* Empty the damage region so that the next change reports again. */
                xcb_damage_subtract(c, damage, XCB_NONE, XCB_NONE);
                xcb_flush(c);
                printf("damage %lld\n", t);
            }
            free(ev);
        }
        if (xcb_connection_has_error(c)) {
            fprintf(stderr, "xwatch: lost the display\n");
            kill(pid, SIGTERM);
            return 1;
        }
    }
}
