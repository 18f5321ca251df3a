#pragma once
// Counts of this process's open descriptors and threads, and its resident
// memory, to find leaks.
#include <dirent.h>
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
inline long residentKb() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace tq::testing
