#pragma once

#include <stdexcept>
#include <string>

namespace rowvane {

/// Where in a file's conversion something went wrong. The values are the line
/// labels the window's error report quotes.
enum class Step : int {
  Read = 170,   ///< opening or reading the input (the file is skipped whole)
  Name = 254,   ///< the input name has no dot; the output is still written
  Write = 256,  ///< creating, writing or committing the output
};

/// One failure of one file: the step and the platform's own message.
struct Failure {
  Step step;
  std::string message;

  friend bool operator==(const Failure&, const Failure&) = default;
};

/// Label of a step as a number, e.g. 256.
constexpr int LabelOf(Step step) {
  return static_cast<int>(step);
}

/// Thrown inside the engine; the file layer turns it into a Failure.
class ConversionError : public std::runtime_error {
 public:
  ConversionError(Step step, const std::string& message)
      : std::runtime_error(message), m_step(step) {}
  Step step() const { return m_step; }

 private:
  Step m_step;
};

}  // namespace rowvane
