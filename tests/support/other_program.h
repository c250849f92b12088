#pragma once
// Another program beside the test: a forked process that runs `hold` (true:
// ready), tells the test, and keeps what it holds (locks, share marks, open
// files) until release() or the end of the object.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace pu::test {

class OtherProgram {
public:
  explicit OtherProgram(const std::function<bool()>& hold) {
    if (::pipe(m_toParent) != 0 || ::pipe(m_toChild) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      char c = hold() ? 'R' : 'E';
      (void)!::write(m_toParent[1], &c, 1);
      (void)!::read(m_toChild[0], &c, 1);
      ::_exit(0);
    }
  }
  ~OtherProgram() {
    release();
    for (int fd : {m_toParent[0], m_toParent[1], m_toChild[0], m_toChild[1]})
      if (fd >= 0) ::close(fd);
  }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  // True once the other program holds what it was to hold.
  bool ready() {
    char c = 0;
    return m_pid > 0 && ::read(m_toParent[0], &c, 1) == 1 && c == 'R';
  }
  void release() {
    if (m_pid <= 0) return;
    char c = 'G';
    (void)!::write(m_toChild[1], &c, 1);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = 0;
  }

private:
  int m_toParent[2] = {-1, -1}, m_toChild[2] = {-1, -1};
  pid_t m_pid = 0;
};

} // namespace pu::test
