#pragma once

#include <stdexcept>
#include <string>

namespace rowvane {

/// What went wrong in a file's conversion.
enum class FailureKind {
  Read,         ///< opening or reading the input (the file is skipped whole)
  Name,         ///< the input name has no dot; the output is still written
  Write,        ///< creating, writing or committing the output
  OutOfMemory,  ///< memory ran out while converting; nothing is written
  Schema,       ///< the output does not match the schema it is checked against; nothing is written
  Layout,       ///< the input lacks a field the template names; nothing is written
};

/// One failure of one file: its kind and the platform's own message.
struct Failure {
  FailureKind kind;
  std::string message;

  friend bool operator==(const Failure&, const Failure&) = default;
};

/// Thrown inside the engine; the file layer turns it into a Failure.
class ConversionError : public std::runtime_error {
 public:
  ConversionError(FailureKind kind, const std::string& message)
      : std::runtime_error(message), m_kind(kind) {}
  FailureKind kind() const { return m_kind; }

 private:
  FailureKind m_kind;
};

}  // namespace rowvane
