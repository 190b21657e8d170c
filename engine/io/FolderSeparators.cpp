#include "engine/io/OutputNaming.h"

namespace rowvane {

const std::string_view kFolderSeparators = "/";

}  // namespace rowvane
