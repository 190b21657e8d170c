#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace rowvane::cli {

/// Why a typed separator cannot be used.
struct SeparatorProblem {
  std::string message;
};

/// The separator that a user typed after -s: one of the names tab, comma,
/// semicolon, pipe and space, or the text with the escapes \t, \\ and \xHH
/// (a character up to \x7F) replaced. Any other backslash is a problem, so a
/// mistyped escape never splits at text nobody meant.
std::variant<std::string, SeparatorProblem> SeparatorFromTyped(std::string_view typed);

}  // namespace rowvane::cli
