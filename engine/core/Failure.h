#pragma once

#include <cstdint>
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
  Value,        ///< a template's expression cannot use a value of the input; nothing is written
};

/// Where in the input a failure was found, when it concerns one record.
struct FailurePlace {
  std::uint64_t line = 0;  ///< the CSV line the record begins on; 0 for none
  std::string field;       ///< the field the value came from; empty for none
  friend bool operator==(const FailurePlace&, const FailurePlace&) = default;
};

/// One failure of one file: its kind and the platform's own message.
struct Failure {
  FailureKind kind;
  std::string message;
  /// The errno whose platform message `message` is; 0 for the engine's own messages.
  int errorNumber = 0;
  FailurePlace place = {};

  /// The same failure as reported: the error number only says where the message came from.
  friend bool operator==(const Failure& a, const Failure& b) {
    return a.kind == b.kind && a.message == b.message;
  }
};

/// Thrown inside the engine; the file layer turns it into a Failure.
class ConversionError : public std::runtime_error {
 public:
  /// `errorNumber`: the errno whose platform message `message` is, else 0.
  ConversionError(FailureKind kind, const std::string& message, int errorNumber = 0)
      : std::runtime_error(message), m_kind(kind), m_errorNumber(errorNumber) {}
  /// A failure found at a record of the input.
  ConversionError(FailureKind kind, const std::string& message, FailurePlace place)
      : std::runtime_error(message), m_kind(kind), m_errorNumber(0), m_place(std::move(place)) {}
  FailureKind kind() const { return m_kind; }
  int errorNumber() const { return m_errorNumber; }
  const FailurePlace& place() const { return m_place; }
  Failure failure() const { return {m_kind, what(), m_errorNumber, m_place}; }

 private:
  FailureKind m_kind;
  int m_errorNumber;
  FailurePlace m_place;
};

}  // namespace rowvane
