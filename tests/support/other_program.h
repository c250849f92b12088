#pragma once
// Another program beside the test: a forked process that runs `hold` (true:
// ready), tells the test, and keeps what it holds (locks, share marks, open
// files) until release() or the end of the object ends it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace pu::test {

class OtherProgram {
public:
  explicit OtherProgram(const std::function<bool()>& hold) {
    if (::pipe(m_ready) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      char c = hold() ? 'R' : 'E';
      (void)!::write(m_ready[1], &c, 1);
      for (;;) ::pause();  // until release() ends it
    }
  }
  ~OtherProgram() {
    release();
    for (int fd : m_ready)
      if (fd >= 0) ::close(fd);
  }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  // True once the other program holds what it was to hold.
  bool ready() {
    char c = 0;
    return m_pid > 0 && ::read(m_ready[0], &c, 1) == 1 && c == 'R';
  }
  // The system takes back what it held, as when a program ends.
  void release() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = 0;
  }

private:
  int m_ready[2] = {-1, -1};
  pid_t m_pid = 0;
};

} // namespace pu::test
