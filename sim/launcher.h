#pragma once
// Starts tq580-sim for a test or a benchmark and stops it again.
#include <sys/types.h>

#include <string>
#include <vector>

namespace tq::sim {

class SimProcess {
 public:
  // Runs the built tq580-sim with a link of its own under /tmp (unless
  // `extraArgs` name one with --link) plus `extraArgs`, and waits (bounded) for it to report its pty. Throws
  // std::runtime_error when it does not start.
  explicit SimProcess(std::vector<std::string> extraArgs = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The pty the tool opens, e.g. "/dev/pts/5".
  const std::string& path() const { return path_; }
  // The symlink to it.
  const std::string& linkPath() const { return link_; }
  pid_t pid() const { return pid_; }

  // Waits up to `timeoutMs` for the simulator to exit on its own (after
  // --hangup-after); returns its exit status, or -1 if it is still running.
  int waitForExit(int timeoutMs);

 private:
  void stop();

  pid_t pid_ = -1;
  bool reaped_ = false;
  std::string path_;
  std::string link_;
};

}  // namespace tq::sim
