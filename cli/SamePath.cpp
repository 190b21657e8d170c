#include "cli/SamePath.h"

#include <filesystem>
#include <system_error>

namespace rowvane::cli {

bool SamePath(const std::string& first, const std::string& second) {
  std::error_code error;
  if (std::filesystem::equivalent(first, second, error)) {
    return true;
  }
  const auto firstPlace = std::filesystem::weakly_canonical(first, error);
  if (error) {
    return first == second;
  }
  const auto secondPlace = std::filesystem::weakly_canonical(second, error);
  return error ? first == second : firstPlace == secondPlace;
}

}  // namespace rowvane::cli
