// Runs a command and prints its peak resident memory in KiB on standard error:
//
//   peak_rss COMMAND [ARGS...]
//
// Linux counts into a process's peak the memory of the process it was started from, up
// to the moment it replaced itself with the command: started from a large benchmark,
// a small command would report the benchmark's size. This program is small, so what it
// reports is the command's own peak, give or take a megabyte. It exits with the
// command's status (127 when the command cannot be started).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: peak_rss COMMAND [ARGS...]\n");
    return 64;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) return 127;
  std::fprintf(stderr, "%ld\n", usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}
