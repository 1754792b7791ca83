#pragma once
// Sets (or, with nullptr, removes) an environment variable for the life of
// the object, then puts back what was there.
#include <cstdlib>
#include <optional>
#include <string>

namespace lirvo::test {

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ScopedEnvironment(const char* name, const std::string& value)
      : ScopedEnvironment(name, value.c_str()) {}
  ~ScopedEnvironment() {
    if (m_old) {
      ::setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace lirvo::test
