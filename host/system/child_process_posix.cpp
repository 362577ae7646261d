// Child processes on Linux: fork and execvp from an argument vector, the
// child's output read through a pipe, the child ended with its parent
// (PR_SET_PDEATHSIG) and started with no signal blocked.
#include "system/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace host {
namespace {
// How long a child asked to stop has before it is killed.
constexpr std::chrono::seconds StopGrace{5};
}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || running_) {
    error = "nothing to start";
    return false;
  }
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = "cannot start " + args[0] + ": " + std::strerror(errno);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // The child: only async-signal-safe calls until exec.
    // The program starts with no signal blocked, whatever the thread that
    // started it blocks (dcshost test's workers block the stop signals).
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
      _exit(127);  // the parent is already gone
    }
    dup2(fds[1], STDOUT_FILENO);
    dup2(fds[1], STDERR_FILENO);
    execvp(argv[0], argv.data());
    const char message[] = "cannot start the program: exec failed\n";
    (void)!write(STDERR_FILENO, message, sizeof message - 1);
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    error = "cannot start " + args[0] + ": " + std::strerror(errno);
    return false;
  }
  pipe_ = fds[0];
  id_ = pid;
  running_ = true;
  started_ = std::chrono::steady_clock::now();
  return true;
}

void ChildProcess::Signal(int signal) {
  if (running_) {
    kill(static_cast<pid_t>(id_), signal);
  }
}

int ChildProcess::Wait(const std::atomic<int>* stop) {
  if (!running_) {
    return status_;
  }
  std::chrono::steady_clock::time_point asked{};
  bool askedToStop = false;
  char buffer[4096];
  for (bool open = true; open;) {
    pollfd fd{pipe_, POLLIN, 0};
    if (poll(&fd, 1, 50) > 0) {
      const ssize_t got = read(pipe_, buffer, sizeof buffer);
      if (got > 0) {
        Keep(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        open = false;
      }
    }
    const int asking = stop != nullptr && stop->load() != 0 ? stop->load() : OutOfTime() ? SIGTERM : 0;
    if (asking != 0 && !askedToStop) {
      askedToStop = true;
      asked = std::chrono::steady_clock::now();
      Signal(asking);
    } else if (askedToStop && std::chrono::steady_clock::now() - asked > StopGrace) {
      Signal(SIGKILL);
    }
  }
  if (tail_ > 0 && output_.size() > tail_) {
    output_.erase(0, output_.size() - tail_);
  }
  close(pipe_);
  pipe_ = -1;
  int raw = 0;
  while (waitpid(static_cast<pid_t>(id_), &raw, 0) < 0 && errno == EINTR) {
  }
  running_ = false;
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
  return status_;
}

ChildProcess::~ChildProcess() {
  if (running_) {
    Signal(SIGKILL);
    Wait();
  }
}

}  // namespace host
