// phase-timer DIRECTORY PROGRAM
//
// Runs PROGRAM (the indexer) in DIRECTORY and times its phases from outside,
// by the moment each line of its output arrives:
//   load  from "Inizio scansione" to the end of the line of load dots,
//   scan  to the end of the line of scan dots,
//   write from there to the end of the line of write dots (this includes
//         closing the data database and announcing the write phase).
// Prints one line: total, load, scan and write seconds, the peak resident
// set size in KiB (the child's ru_maxrss, the figure /usr/bin/time -v shows
// as "Maximum resident set size") and the exit status. The program's own
// output goes to standard error, untouched.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: phase-timer DIRECTORY PROGRAM\n");
    return 2;
  }
  int fds[2];
  if (pipe(fds) != 0) return 1;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    if (chdir(argv[1]) != 0) _exit(126);
    execl(argv[2], argv[2], static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);

  // Each completed line with the moment its line feed arrived.
  std::vector<std::pair<std::string, double>> lines;
  std::string current;
  char chunk[4096];
  ssize_t n;
  while ((n = read(fds[0], chunk, sizeof chunk)) > 0) {
    const double now = std::chrono::duration<double>(Clock::now() - start).count();
    std::fwrite(chunk, 1, static_cast<std::size_t>(n), stderr);
    for (ssize_t i = 0; i < n; ++i) {
      if (chunk[i] == '\n') {
        lines.emplace_back(current, now);
        current.clear();
      } else {
        current += chunk[i];
      }
    }
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double total = std::chrono::duration<double>(Clock::now() - start).count();

  double load = -1, scan = -1, write = -1;
  for (std::size_t i = 0; i + 4 < lines.size(); ++i) {
    if (lines[i].first != "Inizio scansione") continue;
    // Inizio scansione / load dots / scan dots / Creazione db indice / write dots
    load = lines[i + 1].second - lines[i].second;
    scan = lines[i + 2].second - lines[i + 1].second;
    write = lines[i + 4].second - lines[i + 2].second;
    break;
  }
  std::printf("total=%.3f load=%.3f scan=%.3f write=%.3f maxrss_kib=%ld status=%d\n", total, load,
              scan, write, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return 0;
}
