#pragma once

#include <stdexcept>
#include <string>

namespace rowvane::app {

/// A failure of a desktop component that carries a number besides its
/// description, so that an error trap can tell it apart from others (the file
/// dialog's 20476, for instance).
class NumberedError : public std::runtime_error {
 public:
  NumberedError(int number, const std::string& description)
      : std::runtime_error(description), m_number(number) {}
  int number() const { return m_number; }

 private:
  int m_number;
};

}  // namespace rowvane::app
