#include "filelist/CaseFolding.h"

namespace rowvane {
namespace {

bool InRange(char32_t c, char32_t first, char32_t last) {
  return c >= first && c <= last;
}

bool IsOdd(char32_t c) {
  return (c & 1U) != 0;
}

/// Latin Extended-A pairs its letters as upper case then lower case, with the
/// pairs starting on an even code point in some stretches and on an odd one in
/// others.
char32_t LatinExtendedAUpper(char32_t c) {
  if (InRange(c, 0x100, 0x137) && IsOdd(c) && c != 0x131) {
    return c - 1;
  }
  if (InRange(c, 0x139, 0x148) && !IsOdd(c)) {
    return c - 1;
  }
  if (InRange(c, 0x14A, 0x177) && IsOdd(c)) {
    return c - 1;
  }
  if (InRange(c, 0x179, 0x17E) && !IsOdd(c)) {
    return c - 1;
  }
  return c;
}

char32_t GreekUpper(char32_t c) {
  if (c == 0x3C2) {
    return 0x3A3;  // final sigma
  }
  if (InRange(c, 0x3B1, 0x3CB)) {
    return c - 0x20;
  }
  if (c == 0x3AC) {
    return 0x386;
  }
  if (InRange(c, 0x3AD, 0x3AF)) {
    return c - 0x25;
  }
  if (c == 0x3CC) {
    return 0x38C;
  }
  if (InRange(c, 0x3CD, 0x3CE)) {
    return c - 0x3F;
  }
  return c;
}

char32_t CyrillicUpper(char32_t c) {
  if (InRange(c, 0x430, 0x44F)) {
    return c - 0x20;
  }
  if (InRange(c, 0x450, 0x45F)) {
    return c - 0x50;
  }
  return c;
}

}  // namespace

char32_t UpperCaseOf(char32_t c) {
  if (InRange(c, U'a', U'z')) {
    return c - 0x20;
  }
  if (c < 0xB5) {
    return c;
  }
  if (c == 0xB5) {
    return 0x39C;  // micro sign
  }
  if (InRange(c, 0xE0, 0xFE) && c != 0xF7) {
    return c - 0x20;
  }
  if (c == 0xFF) {
    return 0x178;
  }
  if (InRange(c, 0x100, 0x17F)) {
    return LatinExtendedAUpper(c);
  }
  if (InRange(c, 0x386, 0x3CE)) {
    return GreekUpper(c);
  }
  if (InRange(c, 0x400, 0x45F)) {
    return CyrillicUpper(c);
  }
  if (InRange(c, 0xFF41, 0xFF5A)) {
    return c - 0x20;  // full-width Latin
  }
  return c;
}

}  // namespace rowvane
