#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rowvane {

/// The order in which the directory search and the sub-folder listing give
/// names: compared without regard to case (UpperCaseOf) by UTF-16 code units,
/// as the platform the program grew up on stores them; names equal but for
/// case, or not UTF-8, fall back to their bytes so the order is total.
bool PlatformNameLess(std::string_view a, std::string_view b);

/// Sorts `names` into PlatformNameLess order.
void SortInPlatformOrder(std::vector<std::string>& names);

}  // namespace rowvane
