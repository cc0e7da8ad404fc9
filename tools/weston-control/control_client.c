/* Sends one command to the compositor-control module and prints its answer:
 *   marovellastrine-weston-ctl key 1 | click 100 200 | touch 100 200 | close TITLE | list
 * The words are joined by spaces; the socket is $XDG_RUNTIME_DIR/compositor-control. Exits 0 when
 * the module answers "ok", 1 otherwise (its error on stderr), 2 on a usage error. */
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

enum { COMMAND_MAX = 512 };

static bool join_words(int count, char* words[], char* command, size_t size) {
    size_t length = 0;
    for (int i = 0; i < count; ++i) {
        const int written =
            snprintf(command + length, size - length, "%s%s", i > 0 ? " " : "", words[i]);
        if (written < 0 || (size_t)written >= size - length)
            return false;
        length += (size_t)written;
    }
    return length + 1 < size && (command[length] = '\n', command[length + 1] = '\0', true);
}

static int connect_to_module(void) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    struct sockaddr_un address = {.sun_family = AF_UNIX};
    if (runtime == NULL) {
        fputs("error: XDG_RUNTIME_DIR is not set\n", stderr);
        return -1;
    }
    const int length =
        snprintf(address.sun_path, sizeof address.sun_path, "%s/compositor-control", runtime);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (length < 0 || (size_t)length >= sizeof address.sun_path || fd < 0 ||
        connect(fd, (const struct sockaddr*)&address, sizeof address) != 0) {
        perror("error: cannot reach the compositor-control module");
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

int main(int argc, char* argv[]) {
    char command[COMMAND_MAX];
    if (argc < 2 || !join_words(argc - 1, argv + 1, command, sizeof command)) {
        fputs("usage: marovellastrine-weston-ctl key CODE | click X Y | touch X Y | close TITLE | "
              "list\n",
              stderr);
        return 2;
    }
    const int fd = connect_to_module();
    if (fd < 0)
        return 1;
    FILE* module = fdopen(fd, "r+");
    if (module == NULL) {
        close(fd);
        return 1;
    }
    fputs(command, module);
    fflush(module);
    shutdown(fd, SHUT_WR);
    char line[COMMAND_MAX];
    int status = 1;
    while (fgets(line, sizeof line, module) != NULL) {
        if (strcmp(line, "ok\n") == 0) {
            status = 0;
        } else if (strncmp(line, "error: ", 7) == 0) {
            fputs(line, stderr);
        } else {
            fputs(line, stdout);
        }
    }
    fclose(module);
    return status;
}
