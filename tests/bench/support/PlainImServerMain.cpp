// The plain poll server as a program of its own, so that a benchmark can
// also compare the station with a server that is another process than its
// terminals, as the station is. plain_im_server <orders file> prints its port
// on a line and serves until its standard input closes.
#include <unistd.h>

#include <cstdio>

#include "support/Baselines.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: plain_im_server <orders file>\n");
        return 2;
    }
    PlainImServer server(QString::fromLocal8Bit(argv[1]));
    if (server.Port() == 0 || std::printf("%u\n", unsigned(server.Port())) < 0 ||
        std::fflush(stdout) != 0)
        return 1;
    char byte = 0;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return server.SaveFailed() ? 1 : 0;
}
