// Child processes on Linux: fork and execvp from an argument vector, the
// child's output read through a pipe, the child ended with its parent
// (PR_SET_PDEATHSIG) and started with no signal blocked.
#include "system/child_process.h"

#include "system/stop_signal.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace host {
namespace {
// How long a child asked to stop has before it is killed.
constexpr std::chrono::seconds StopGrace{5};

// Forks and execs args[0] with args, its standard input on `in` and its
// standard output on `out` (and its standard error too where `bothOut`), the
// child sent `deathSignal` when its parent dies and started with no signal
// blocked; the child's id, or -1 with a message.
pid_t Spawn(const std::vector<std::string>& args, int in, int out, bool bothOut, int deathSignal, std::string& error) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // The child: only async-signal-safe calls until exec.
    // The program starts with no signal blocked, whatever the thread that
    // started it blocks (dcshost test's workers block the stop signals).
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    prctl(PR_SET_PDEATHSIG, deathSignal);
    if (getppid() != parent) {
      _exit(127);  // the parent is already gone
    }
    if (in >= 0) {
      dup2(in, STDIN_FILENO);
    }
    dup2(out, STDOUT_FILENO);
    if (bothOut) {
      dup2(out, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    const char message[] = "cannot start the program: exec failed\n";
    (void)!write(STDERR_FILENO, message, sizeof message - 1);
    _exit(127);
  }
  if (pid < 0) {
    error = "cannot start " + args[0] + ": " + std::strerror(errno);
  }
  return pid;
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || running_) {
    error = "nothing to start";
    return false;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = "cannot start " + args[0] + ": " + std::strerror(errno);
    return false;
  }
  const pid_t pid = Spawn(args, -1, fds[1], true, SIGTERM, error);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
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

bool WorkerProcess::Start(const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || running_) {
    error = "nothing to start";
    return false;
  }
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    error = "cannot start " + args[0] + ": " + std::strerror(errno);
    return false;
  }
  const pid_t pid = Spawn(args, ends[1], ends[1], false, SIGKILL, error);
  close(ends[1]);
  if (pid < 0) {
    close(ends[0]);
    return false;
  }
  channel_ = ends[0];
  id_ = pid;
  running_ = true;
  return true;
}

bool WorkerProcess::Send(const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (running_ && size > 0) {
    const ssize_t sent = send(channel_, at, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) {
      continue;
    }
    if (sent <= 0) {
      return false;
    }
    at += sent;
    size -= static_cast<size_t>(sent);
  }
  return running_;
}

WorkerProcess::Got WorkerProcess::Receive(void* data, size_t size, double seconds) {
  char* at = static_cast<char*>(data);
  const auto now = std::chrono::steady_clock::now();
  const auto due = now + std::chrono::duration<double>(seconds);
  // A worker's answer usually comes within microseconds: it is looked for
  // without sleeping for a short while, which spares the wake-up of a poll.
  const auto spin = now + std::chrono::microseconds(100);
  while (size > 0) {
    const ssize_t got = recv(channel_, at, size, MSG_DONTWAIT);
    if (got > 0) {
      at += got;
      size -= static_cast<size_t>(got);
      continue;
    }
    if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      return Got::Ended;
    }
    if (StopFlagOfHandlers().load() != 0) {
      return Got::Stopped;
    }
    if (std::chrono::steady_clock::now() < spin) {
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return Got::TimedOut;
    }
    pollfd fd{channel_, POLLIN, 0};
    (void)poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
  }
  return Got::Ok;
}

std::string WorkerProcess::End(double seconds) {
  if (!running_) {
    return "was not running";
  }
  shutdown(channel_, SHUT_WR);  // a worker waiting for its next call reads the end
  int raw = 0;
  pid_t ended = 0;
  const auto due = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while ((ended = waitpid(static_cast<pid_t>(id_), &raw, WNOHANG)) == 0 && std::chrono::steady_clock::now() < due) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const bool killed = ended == 0;
  if (killed) {
    kill(static_cast<pid_t>(id_), SIGKILL);
    while (waitpid(static_cast<pid_t>(id_), &raw, 0) < 0 && errno == EINTR) {
    }
  }
  close(channel_);
  channel_ = -1;
  running_ = false;
  if (killed) {
    return "was killed, not having ended by itself";
  }
  if (WIFSIGNALED(raw)) {
    const char* name = sigabbrev_np(WTERMSIG(raw));
    return "was ended by signal " + std::to_string(WTERMSIG(raw)) + (name ? std::string(" (SIG") + name + ")" : "");
  }
  return "exited with status " + std::to_string(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1);
}

WorkerProcess::~WorkerProcess() {
  if (running_) {
    (void)End(0.0);
  }
}

}  // namespace host
