#pragma once
// The few POSIX calls the shared test files make, for their Windows build (force-included).

#ifdef _WIN32
#include <process.h>
#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }
#endif

#ifdef _WIN32
#include <cstddef>
// The machine's name as the identity reads it on Windows (TestMachineWindows.cpp).
int gethostname(char* name, std::size_t length);
#endif
