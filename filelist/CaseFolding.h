#pragma once

namespace rowvane {

/// Upper-case form of a code point, for comparing names without regard to
/// case the way the file system does. Covers the letters of Basic Latin,
/// Latin-1, Latin Extended-A, Greek, Cyrillic and the full-width Latin
/// letters; every other code point is its own upper case. Independent of the
/// process locale, so names sort and match the same everywhere.
char32_t UpperCaseOf(char32_t c);

}  // namespace rowvane
