#pragma once

#include <span>

namespace rowvane::app {

/// One control of Form1 as designed: its design name, its place in its
/// container in twips, and what a screen reader says of it (a frame's or
/// button's caption, or what a box holds, and what it does).
struct ControlDesign {
  const char* control;
  int left;
  int top;
  int width;
  int height;
  const char* name;
  const char* description;
};

/// Every control of Form1, in the order Form1 declares them.
std::span<const ControlDesign> Form1Design();

}  // namespace rowvane::app
