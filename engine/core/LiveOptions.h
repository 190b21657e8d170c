#pragma once

namespace rowvane {

/// Options the user may change while a file is converted. The engine asks at
/// each of its pauses; a new answer applies from the next record on.
class LiveOptions {
 public:
  virtual ~LiveOptions() = default;

  /// On: the fields of each record are wrapped in a row element.
  virtual bool includeRowTags() const = 0;
};

}  // namespace rowvane
