// The few POSIX calls the tests use that the Windows C library lacks:
// setenv and unsetenv through _putenv_s (an empty value removes a variable
// there), and mkfifo, which Windows has no counterpart for and which fails
// there (the tests that need it are Linux-only: tests/CMakeLists.txt).
#pragma once

#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
inline int setenv(const char* name, const char* value, int overwrite) {
  if (overwrite == 0 && std::getenv(name) != nullptr) return 0;
  return _putenv_s(name, value);
}
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
inline int mkfifo(const char*, int) {
  errno = ENOSYS;
  return -1;
}
#endif
