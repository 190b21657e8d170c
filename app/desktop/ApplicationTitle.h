#pragma once

#include <QString>

namespace rowvane::app {

/// The application title derived from a product name: the text before its last
/// blank, cut once in any case and again while it is longer than 40
/// characters. A text without a blank cannot be cut and stays whole.
QString ApplicationTitleFrom(const QString& productName);

}  // namespace rowvane::app
