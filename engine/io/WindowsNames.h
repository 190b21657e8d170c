#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowvane {

/// Why Windows would not keep `name` (one name, no folder) as a file's name:
/// a device name it reserves (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with
/// an extension or in any case), an ending in a dot or a space, or a
/// character it never allows in a name. Nothing when the name is fine.
/// Plain text rules, so they are tested on every platform.
std::optional<std::string> WindowsNameProblem(std::string_view name);

}  // namespace rowvane
