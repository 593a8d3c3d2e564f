#pragma once
// Sets an environment variable for the life of the object, then puts the
// old value back (or unsets it when there was none).

#include <cstdlib>
#include <string>

namespace tx::testing {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
      m_old = old;
      m_hadOld = true;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (m_hadOld) {
      ::setenv(m_name, m_old.c_str(), 1);
    } else {
      ::unsetenv(m_name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* m_name;
  std::string m_old;
  bool m_hadOld = false;
};

}  // namespace tx::testing
