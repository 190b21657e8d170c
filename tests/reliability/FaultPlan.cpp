#include "tests/reliability/FaultPlan.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <stdexcept>
#include <utility>

namespace rowvane::reliability {
namespace {

struct NamedError {
  std::string_view name;
  int number;
};

constexpr std::array kErrorNames{
    NamedError{"ENOSPC", ENOSPC}, NamedError{"EIO", EIO},       NamedError{"EMFILE", EMFILE},
    NamedError{"ENFILE", ENFILE}, NamedError{"EACCES", EACCES}, NamedError{"EPERM", EPERM},
    NamedError{"EROFS", EROFS},   NamedError{"EFBIG", EFBIG},   NamedError{"EDQUOT", EDQUOT},
    NamedError{"ENOMEM", ENOMEM}, NamedError{"EINTR", EINTR},   NamedError{"EAGAIN", EAGAIN},
    NamedError{"ENOENT", ENOENT}, NamedError{"EXDEV", EXDEV},   NamedError{"EBUSY", EBUSY},
    NamedError{"ESTALE", ESTALE},
};

struct NamedCall {
  std::string_view name;
  FaultCall call;
};

constexpr std::array kCallNames{
    NamedCall{"write", FaultCall::Write}, NamedCall{"read", FaultCall::Read},
    NamedCall{"fsync", FaultCall::Fsync}, NamedCall{"rename", FaultCall::Rename},
    NamedCall{"open", FaultCall::Open},   NamedCall{"close", FaultCall::Close},
};

[[noreturn]] void Refuse(std::string_view what, std::string_view part) {
  throw std::invalid_argument(std::string(what) + ": '" + std::string(part) + "'");
}

template <typename Number>
Number NumberFrom(std::string_view text, std::string_view field) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    Refuse("not a number", field);
  }
  return value;
}

FaultCall CallNamed(std::string_view name) {
  for (const NamedCall& entry : kCallNames) {
    if (entry.name == name) {
      return entry.call;
    }
  }
  Refuse("unknown call", name);
}

// Splits `text` at `separator`, leaving out empty pieces.
std::vector<std::string_view> Pieces(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    const auto end = text.find(separator);
    const std::string_view piece = text.substr(0, end);
    if (!piece.empty()) {
      pieces.push_back(piece);
    }
    if (end == std::string_view::npos) {
      break;
    }
    text.remove_prefix(end + 1);
  }
  return pieces;
}

void ApplyField(FaultRule& rule, std::string_view key, std::string_view value,
                std::string_view field) {
  if (key == "call") {
    rule.call = CallNamed(value);
  } else if (key == "path") {
    rule.pathPart = value;
  } else if (key == "end") {
    rule.pathEnd = value;
  } else if (key == "error") {
    const auto number = ErrorNumberNamed(value);
    if (!number) {
      Refuse("unknown error name", field);
    }
    rule.error = *number;
  } else if (key == "offset") {
    rule.offset = NumberFrom<std::uint64_t>(value, field);
  } else if (key == "skip") {
    rule.skip = NumberFrom<unsigned>(value, field);
  } else if (key == "times") {
    rule.times = NumberFrom<unsigned>(value, field);
  } else if (key == "remove") {
    rule.removePath = value;
  } else {
    Refuse("unknown field", field);
  }
}

FaultRule ParseRule(std::string_view text) {
  FaultRule rule;
  bool hasCall = false;
  for (const std::string_view field : Pieces(text, ',')) {
    const auto equals = field.find('=');
    if (equals == std::string_view::npos) {
      Refuse("field without '='", field);
    }
    const std::string_view key = field.substr(0, equals);
    ApplyField(rule, key, field.substr(equals + 1), field);
    hasCall = hasCall || key == "call";
  }
  if (!hasCall) {
    Refuse("rule without call=", text);
  }
  const bool transfers = rule.call == FaultCall::Write || rule.call == FaultCall::Read;
  if (rule.offset && !transfers) {
    Refuse("offset= is for write and read only", text);
  }
  return rule;
}

}  // namespace

bool FaultRule::matches(std::string_view path) const {
  if (!pathPart.empty() && path.find(pathPart) == std::string_view::npos) {
    return false;
  }
  return pathEnd.empty() || path.ends_with(pathEnd);
}

std::vector<FaultRule> ParseFaultPlan(std::string_view text) {
  std::vector<FaultRule> rules;
  for (const std::string_view piece : Pieces(text, ';')) {
    rules.push_back(ParseRule(piece));
  }
  return rules;
}

std::optional<int> ErrorNumberNamed(std::string_view name) {
  for (const NamedError& entry : kErrorNames) {
    if (entry.name == name) {
      return entry.number;
    }
  }
  return std::nullopt;
}

}  // namespace rowvane::reliability
