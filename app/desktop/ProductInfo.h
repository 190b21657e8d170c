#pragma once

namespace rowvane::app {

/// The product's name; the window caption and the application title come from it.
inline constexpr char kProductName[] = "Rowvane";

/// The maker's home page, opened now and then at start-up.
inline constexpr char kHomePageAddress[] = "https://www.quorvel.example/rowvane/";

/// Where users send screenshots of the "Application Error" report.
inline constexpr char kSupportEmailAddress[] = "support@quorvel.example";

}  // namespace rowvane::app
