#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/expression/TemplateExpressions.h"

namespace rowvane {

/// A template as its parser reports it, before it is made into steps: the
/// nodes in document order, with the directives read off the elements.
struct TemplateNode {
  enum class Kind { Element, Text, CData, Comment, Instruction };
  struct Attribute {
    std::string name;  ///< qualified, as written
    std::string uri;   ///< its namespace; empty for none
    TemplateText value;
    bool optional = false;
  };
  struct Namespace {
    std::string name;  ///< `xmlns` or `xmlns:prefix`
    std::string uri;
  };

  Kind kind = Kind::Element;
  TemplatePosition at;
  /// Element: qualified name. Instruction: target. Comment: its text.
  std::string name;
  /// Element: its namespace; empty for none.
  std::string uri;
  /// Instruction: its data.
  std::string data;
  /// Text and CData: the content with its placeholders.
  TemplateText content;

  std::vector<Namespace> namespaces;
  std::vector<Attribute> attributes;
  bool forEach = false;
  std::optional<TemplateText> groupBy;
  std::optional<TemplateText> groupAdjacent;
  std::optional<TemplateText> condition;
  std::optional<TemplateText> forEachItem;
  std::optional<std::string> separator;
  std::vector<TemplateNode> children;

  bool carriesDirective() const {
    return forEach || groupBy || groupAdjacent || condition || forEachItem;
  }
  /// Gathers records: by key wherever they stand, or in runs of equal keys.
  bool groups() const { return groupBy || groupAdjacent; }
  /// Text made only of spaces, tabs and line breaks, without placeholders.
  bool isBlank() const;
};

/// The document: the nodes before the document element, the document
/// element, and those after it; with the fields its placeholders name.
struct TemplateTree {
  std::vector<TemplateNode> prolog;
  TemplateNode root;
  std::vector<TemplateNode> epilog;
  std::vector<FieldReference> fields;
  /// The `{= ... }` expressions of every text, compiled as they are read.
  std::shared_ptr<TemplateExpressions> expressions;
};

/// What `param(NAME)` gives in a template's expressions, by NAME.
using TemplateParameters = std::map<std::string, std::string>;

}  // namespace rowvane
