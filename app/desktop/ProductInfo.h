#pragma once

#ifndef ROWVANE_VERSION
#error "ROWVANE_VERSION must be defined by the build"
#endif

namespace rowvane::app {

/// The product's name; the window caption and the application title come from it.
inline constexpr char kProductName[] = "Rowvane";

/// The version, from the build.
inline constexpr char kProductVersion[] = ROWVANE_VERSION;

/// The maker, as the copyright notice names it.
inline constexpr char kMakerName[] = "Quorvel";

/// The licence the program is distributed under (the LICENSE file).
inline constexpr char kLicenceName[] = "MIT License";

/// The maker's home page, opened now and then at start-up.
inline constexpr char kHomePageAddress[] = "https://www.quorvel.example/rowvane/";

/// Where users send screenshots of the "Application Error" report.
inline constexpr char kSupportEmailAddress[] = "support@quorvel.example";

/// The name of the desktop entry, the icon and the AppStream component, so
/// that desktops match the window to its menu entry.
inline constexpr char kDesktopId[] = "com.quorvel.Rowvane";

}  // namespace rowvane::app
