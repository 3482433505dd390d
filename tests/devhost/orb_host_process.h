// Runs orb-host as a child process, with its standard output and error read back, for the tests
// of the program as a whole.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace Vela::DevHost::Testing {

class OrbHostProcess {
 public:
  OrbHostProcess() = default;
  OrbHostProcess(const OrbHostProcess&) = delete;
  OrbHostProcess& operator=(const OrbHostProcess&) = delete;
  ~OrbHostProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {out_, err_}) {
      if (fd >= 0) close(fd);
    }
  }

  bool Start(const std::string& program, const std::vector<std::string>& arguments) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int failed = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
    fcntl(err_, F_SETFL, O_NONBLOCK);
    if (failed != 0) pid_ = -1;
    return failed == 0;
  }

  /// Reads standard output until a line containing `text` has come, or the time is up.
  std::optional<std::string> WaitForLine(const std::string& text, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (true) {
      std::size_t start = 0;
      for (std::size_t newline; (newline = output_.find('\n', start)) != std::string::npos; start = newline + 1) {
        std::string line = output_.substr(start, newline - start);
        if (line.find(text) != std::string::npos) return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Drain(left)) return std::nullopt;
    }
  }

  void Signal(int number) { kill(pid_, number); }
  pid_t Pid() const { return pid_; }

  /// The exit status as waitpid gives it, or nothing when the process has not ended in time.
  std::optional<int> Wait(std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      Drain(std::chrono::milliseconds(20));
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        Drain(std::chrono::milliseconds(0));
        return status;
      }
    }
    return std::nullopt;
  }

  const std::string& Output() const { return output_; }
  const std::string& Errors() const { return errors_; }

 private:
  // Reads what is there within `timeout`; false once both streams ended.
  bool Drain(std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(timeout.count())) < 0) return false;
    bool open = false;
    std::string* targets[2] = {&output_, &errors_};
    for (int i = 0; i < 2; ++i) {
      char buffer[4096];
      ssize_t got;
      while ((got = read(fds[i].fd, buffer, sizeof buffer)) > 0) {
        targets[i]->append(buffer, static_cast<std::size_t>(got));
      }
      if (got < 0) open = true;  // nothing now, more may come
    }
    return open;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string output_;
  std::string errors_;
};

}  // namespace Vela::DevHost::Testing
