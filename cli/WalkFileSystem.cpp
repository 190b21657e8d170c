#include "cli/WalkFileSystem.h"

#include <unistd.h>

#include "filelist/PosixFileSystem.h"
#include "filelist/TrustedLinksOnly.h"

namespace rowvane::cli {

// Only the links that root or this user made are followed (TrustedLinksOnly).
WalkFileSystem::WalkFileSystem()
    : m_platform(std::make_unique<PosixFileSystem>()),
      m_view(std::make_unique<TrustedLinksOnly>(*m_platform, ::geteuid())) {}

WalkFileSystem::~WalkFileSystem() = default;

}  // namespace rowvane::cli
