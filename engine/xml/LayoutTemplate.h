#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/xml/ValuePlace.h"

namespace rowvane {

class TemplateExpressions;

/// The namespace whose attributes are a template's directives.
inline constexpr const char* kLayoutNamespace = "urn:rowvane:layout";

/// Where something stands in a template file: line and column from 1.
struct TemplatePosition {
  std::uint32_t line = 0;
  std::uint32_t column = 0;
  friend bool operator==(const TemplatePosition&, const TemplatePosition&) = default;
};

/// A template that cannot be used: where, and what is wrong with it.
/// what() reads "LINE:COLUMN: problem".
class TemplateError : public std::runtime_error {
 public:
  TemplateError(TemplatePosition at, const std::string& problem)
      : std::runtime_error(std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
                           problem),
        m_at(at) {}
  TemplatePosition position() const { return m_at; }

 private:
  TemplatePosition m_at;
};

/// A field a template names, by its header name or by its number.
struct FieldReference {
  std::string name;
  std::size_t number = 0;  ///< from 1; 0 when the field is named
  TemplatePosition at;     ///< the `{` (or the element, in an attribute)
};

/// Text with placeholders: literal pieces, fields and expressions, in order.
struct TemplateSegment {
  static constexpr std::size_t kLiteral = static_cast<std::size_t>(-1);
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::string literal;
  std::size_t field = kLiteral;  ///< index into LayoutTemplate::fields
  /// Index into LayoutTemplate::expressions; kNone for a literal or a field.
  std::size_t expression = kNone;
};
using TemplateText = std::vector<TemplateSegment>;

/// One step of writing a stretch of the output.
struct TemplateStep {
  enum class Kind : std::uint8_t {
    Constant,    ///< constants[a, a + b)
    Value,       ///< field reference `a`, escaped for `place`
    CData,       ///< the CDATA section of text `a`, markers included
    SkipUnless,  ///< when text `a` expands empty, go on at step `b`
    HideUnless,  ///< when text `a` expands empty, stop: the repeated part below is not written
    Expression,  ///< the value of expression `a`, escaped for `place`
    Items,       ///< for each non-empty item of text `a`, the steps up to the ItemsEnd before
                 ///< step `b`; with none, go on at step `b`
    ItemsEnd,    ///< the next item, back after Items step `a`; `b`: the separator's index
  };
  Kind kind = Kind::Constant;
  ValuePlace place = ValuePlace::Text;
  std::uint32_t a = 0;
  std::uint32_t b = 0;
};

using TemplateProgram = std::vector<TemplateStep>;

/// A repeated element: a group-by element (with its key) or, last, the
/// for-each element. `before` is written when its run (or record) begins,
/// `after` when it ends; the next level's repetitions stand between them.
struct TemplateLevel {
  std::optional<std::size_t> key;  ///< text index; none for the for-each element
  /// A group-by level gathers every record of its key wherever it stands; a
  /// group-adjacent level makes a group of each run of equal keys.
  bool byKey = false;
  TemplateProgram before;
  TemplateProgram after;
};

/// A loaded template, ready to write: every constant part already escaped,
/// so writing it is copying, and the values' places as steps.
struct LayoutTemplate {
  /// Followed by kCopySlack bytes, so every constant can be copied padded.
  std::string constants;
  std::vector<TemplateText> texts;  ///< conditions, keys and CDATA sections
  std::vector<FieldReference> fields;
  /// The template's `{= ... }` expressions (and their aggregate sites); none
  /// when it has no expression.
  std::shared_ptr<const TemplateExpressions> expressions;
  /// The document around the outermost level: the declaration, the document
  /// element and what stands outside it.
  TemplateProgram documentBefore;
  TemplateProgram documentAfter;
  /// The outermost group first, the for-each element last.
  std::vector<TemplateLevel> levels;
  /// What for-each-item elements split their text at.
  std::vector<std::string> separators;
  /// Per aggregate site of `expressions`: the group level whose groups it
  /// counts over (kDocumentScope: the whole input), and its place among the
  /// sites of that scope.
  static constexpr std::uint32_t kDocumentScope = static_cast<std::uint32_t>(-1);
  std::vector<std::uint32_t> siteScope;
  std::vector<std::uint32_t> siteSlot;
  /// How messages name the template file; empty: by line and column alone.
  std::string source;

  std::size_t groupLevels() const { return levels.size() - 1; }
  /// Whether an input is read twice: once to find its groups, once to write them.
  bool readsTwice() const {
    if (!siteScope.empty()) {
      return true;  // aggregates are known before the records they count
    }
    for (const TemplateLevel& level : levels) {
      if (level.byKey) {
        return true;
      }
    }
    return false;
  }
};

}  // namespace rowvane
