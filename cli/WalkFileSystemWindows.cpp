#include "cli/WalkFileSystem.h"
#include "filelist/WindowsFileSystem.h"

namespace rowvane::cli {

// Making a symbolic link takes a privilege on Windows, and the walk's folder
// identities keep it out of cycles through links and junctions: the file
// system is taken as it is.
WalkFileSystem::WalkFileSystem() : m_view(std::make_unique<WindowsFileSystem>()) {}

WalkFileSystem::~WalkFileSystem() = default;

}  // namespace rowvane::cli
