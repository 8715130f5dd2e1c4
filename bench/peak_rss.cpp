// Runs a command and prints its peak resident memory: peak_rss COMMAND [ARGS...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peak_rss COMMAND [ARGS...]\n");
        return 2;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[1], argv + 1);
        std::perror("exec");
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    std::fprintf(stderr, "peak resident memory: %.1f MiB\n",
                 static_cast<double>(usage.ru_maxrss) / 1024.0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
