#pragma once
// Counts of this process's open descriptors and threads, to find leaks.
#include <dirent.h>

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

}  // namespace tq::testing
