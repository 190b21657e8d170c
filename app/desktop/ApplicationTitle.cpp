#include "app/desktop/ApplicationTitle.h"

namespace rowvane::app {

namespace {

constexpr qsizetype kLongestTitle = 40;

// False when the text holds no blank to cut at.
bool CutAtLastBlank(QString& text) {
  const qsizetype blank = text.lastIndexOf(QLatin1Char(' '));
  if (blank < 0) {
    return false;
  }
  text.truncate(blank);
  return true;
}

}  // namespace

QString ApplicationTitleFrom(const QString& productName) {
  QString title = productName;
  bool cut = CutAtLastBlank(title);
  while (cut && title.size() > kLongestTitle) {
    cut = CutAtLastBlank(title);
  }
  return title;
}

}  // namespace rowvane::app
