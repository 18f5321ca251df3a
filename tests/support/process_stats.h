#pragma once
// Counts of this process's open descriptors and threads, and its resident
// memory, to find leaks.
#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace tq::testing {

inline int countEntries(const char* dir) {
  int n = 0;
  if (DIR* d = ::opendir(dir)) {
    while (dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') ++n;
    }
    ::closedir(d);
  }
  return n;
}
inline int openDescriptors() { return countEntries("/proc/self/fd"); }
inline int threads() { return countEntries("/proc/self/task"); }
// A joined thread can still be listed for a moment: pthread_join returns as
// soon as the kernel clears the thread's id, before its task is reaped. Waits
// (at most 5 s) for the count to come down to `expected` and returns the last
// count seen, so a thread that was never ended is still caught.
inline int threadsSettledAt(int expected) {
  int n = threads();
  for (int i = 0; i < 5000 && n > expected; ++i) {
    ::usleep(1000);
    n = threads();
  }
  return n;
}
// Resident memory of a process (default: this one) in kB; -1 when unknown.
inline long residentKb(pid_t pid = 0) {
  const std::string path = pid == 0 ? "/proc/self/statm" : "/proc/" + std::to_string(pid) + "/statm";
  long pages = 0, resident = 0;
  if (!(std::ifstream(path) >> pages >> resident)) return -1;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace tq::testing
