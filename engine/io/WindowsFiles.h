#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/Failure.h"
#include "engine/io/FileDescriptor.h"

// What the Windows implementations of the engine's files share: the wide
// names the file API takes, its errors in the engine's terms, and C runtime
// descriptors over its handles, so that the descriptor-based interfaces stay
// as they are. Built on Windows only.

namespace rowvane {

/// The message of a file that another program holds open without sharing it.
inline constexpr const char* kInUseByAnotherProgram = "in use by another program";

/// `path` (UTF-8, "/" or "\" between folders) as the wide file API takes it:
/// in the "\\?\" form when it is long, so that no length limit applies.
/// Nothing when `path` is not valid UTF-8 or holds a NUL.
std::optional<std::wstring> WidePath(const std::string& path);

/// The UTF-8 form of a wide name.
std::string NarrowName(const std::wstring& name);

/// The errno that stands nearest to a Windows error code.
int ErrnoOfWindowsError(unsigned long error);

/// The message of a Windows error code, in the words the Linux build uses
/// for the same errno; a sharing violation is kInUseByAnotherProgram.
std::string WindowsErrorMessage(unsigned long error);

/// Throws ConversionError of `kind` for a Windows error code.
[[noreturn]] void ThrowWindowsError(FailureKind kind, unsigned long error);

/// Throws ConversionError of `kind` for the calling thread's last error.
[[noreturn]] void ThrowLastWindowsError(FailureKind kind);

/// The file handle behind a C runtime descriptor (INVALID_HANDLE_VALUE for none).
void* HandleOfDescriptor(int fd);

/// A descriptor that owns `handle` from now on; closes it and gives an
/// invalid descriptor when none could be made.
FileDescriptor DescriptorOwning(void* handle, int flags);

/// Where the folder open on `fd` is now, in the "\\?\" form; empty when
/// Windows cannot tell.
std::string PathOfOpenFolder(int fd);

/// What tells files apart: the volume's serial number and the file's index.
struct WindowsFileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  ///< last write, in 100 ns steps since 1601
  unsigned long attributes = 0;
};

/// The identity of an open handle; nothing when it cannot be read.
std::optional<WindowsFileIdentity> IdentityOfHandle(void* handle);

/// The identity of the file or folder at `path`, a link at its end followed.
std::optional<WindowsFileIdentity> IdentityOfPath(const std::string& path);

}  // namespace rowvane
