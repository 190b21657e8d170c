#include "engine/xml/TemplateCompiler.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/xml/XmlEscaping.h"
#include "engine/xml/XmlWriter.h"

namespace rowvane {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// Template text as it is written: LF as CR LF, and in text and attribute
// values the characters a parser would read otherwise as references.
std::string EscapeConstant(std::string_view text, ValuePlace place, bool markup) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\n' && (markup || place == ValuePlace::Text)) {
      out += "\r\n";
    } else if (markup) {
      out += c;
    } else if (const std::string_view entity = XmlEntityFor(c); !entity.empty()) {
      out += entity;
    } else if (place == ValuePlace::Attribute && c == '"') {
      out += "&quot;";
    } else if (place == ValuePlace::Attribute && c == '\t') {
      out += "&#9;";
    } else if (place == ValuePlace::Attribute && c == '\n') {
      out += "&#10;";
    } else {
      out += c;
    }
  }
  return out;
}

// The chain from the document element down to the for-each element.
bool FindChain(const TemplateNode& node, std::vector<const TemplateNode*>& chain) {
  chain.push_back(&node);
  if (node.forEach) {
    return true;
  }
  for (const TemplateNode& child : node.children) {
    if (child.kind == TemplateNode::Kind::Element && FindChain(child, chain)) {
      return true;
    }
  }
  chain.pop_back();
  return false;
}

class Compiler {
 public:
  explicit Compiler(TemplateTree tree) : m_tree(std::move(tree)) {
    m_result.fields = m_tree.fields;
    if (m_tree.expressions && m_tree.expressions->size() > 0) {
      m_result.expressions = m_tree.expressions;
      m_result.siteScope.assign(m_tree.expressions->siteCount(), LayoutTemplate::kDocumentScope);
    }
  }

  LayoutTemplate run() {
    std::vector<const TemplateNode*> chain;
    if (!FindChain(m_tree.root, chain)) {
      throw TemplateError(m_tree.root.at, "no element carries the for-each directive");
    }
    checkGroups(m_tree.root, chain);
    std::vector<std::size_t> levelAt;  // positions in the chain of repeated elements
    for (std::size_t i = 1; i < chain.size(); ++i) {
      if (chain[i]->groups() || chain[i]->forEach) {
        levelAt.push_back(i);
      }
    }
    constant(m_result.documentBefore, kDeclaration);
    for (const TemplateNode& node : m_tree.prolog) {
      misc(m_result.documentBefore, node);
      constant(m_result.documentBefore, "\r\n");
    }
    compileSpan(chain, 0, levelAt.front(), m_result.documentBefore, m_result.documentAfter, false);
    for (const TemplateNode& node : m_tree.epilog) {
      constant(m_result.documentAfter, "\r\n");
      misc(m_result.documentAfter, node);
    }
    for (std::size_t level = 0; level < levelAt.size(); ++level) {
      TemplateLevel compiled;
      const TemplateNode& element = *chain[levelAt[level]];
      m_inRecord = true;
      if (element.groups()) {
        compiled.byKey = element.groupBy.has_value();
        compiled.key = addKey(element.groupBy ? *element.groupBy : *element.groupAdjacent);
        m_scope = static_cast<std::uint32_t>(level);
        // A group element contains the for-each element, so a level follows it.
        compileSpan(chain, levelAt[level], levelAt[level + 1], compiled.before, compiled.after,
                    true);
      } else {
        // The record element counts over its innermost group (or the input).
        m_scope =
            level == 0 ? LayoutTemplate::kDocumentScope : static_cast<std::uint32_t>(level - 1);
        this->element(compiled.before, element, blankBefore(*chain[levelAt[level] - 1], element));
      }
      m_result.levels.push_back(std::move(compiled));
    }
    m_result.constants.append(kCopySlack, '\0');  // constants are copied padded
    numberSites();
    return std::move(m_result);
  }

 private:
  // Every group element stands on the chain, every for-each-item element below it.
  void checkGroups(const TemplateNode& node, const std::vector<const TemplateNode*>& chain,
                   bool inRecord = false) {
    for (const TemplateNode& child : node.children) {
      if (child.kind != TemplateNode::Kind::Element) {
        continue;
      }
      const char* directive = child.groupBy ? "group-by" : "group-adjacent";
      if (child.groups() && child.forEach) {
        throw TemplateError(
            child.at, std::string("one element cannot carry both ") + directive + " and for-each");
      }
      if (child.groups() && std::find(chain.begin(), chain.end(), &child) == chain.end()) {
        throw TemplateError(child.at, std::string("a ") + directive +
                                          " element must contain the for-each element; " +
                                          child.name + " does not");
      }
      if (child.forEachItem && !inRecord) {
        throw TemplateError(child.at,
                            "a for-each-item element must stand inside the for-each "
                            "element; " +
                                child.name + " does not");
      }
      checkGroups(child, chain, inRecord || child.forEach);
    }
  }

  // The elements chain[from, to): their parts before chain[to] go into
  // `before`, those after it into `after`. chain[from] is the level's own
  // element (written whole, with its blank text) unless `from` is 0.
  void compileSpan(const std::vector<const TemplateNode*>& chain, std::size_t from, std::size_t to,
                   TemplateProgram& before, TemplateProgram& after, bool ownElement) {
    std::vector<std::size_t> conditions;  // texts whose emptiness hides the rest
    for (std::size_t i = from; i < to; ++i) {
      const TemplateNode& node = *chain[i];
      if (node.condition) {
        conditions.push_back(addText(*node.condition, node.at));
        before.push_back({TemplateStep::Kind::HideUnless, ValuePlace::Text,
                          static_cast<std::uint32_t>(conditions.back()), 0});
      }
      if (i > from || ownElement) {
        if (const TemplateNode* blank = blankBefore(*chain[i - 1], node)) {
          text(before, blank->content, ValuePlace::Text);
        }
      }
      startTag(before, node);
      const auto next = childIndex(node, *chain[i + 1]);
      children(before, node, 0, next);
    }
    for (const std::size_t condition : conditions) {
      after.push_back({TemplateStep::Kind::SkipUnless, ValuePlace::Text,
                       static_cast<std::uint32_t>(condition), 0});
    }
    std::size_t conditionStep = conditions.size();
    for (std::size_t i = to; i-- > from;) {
      const TemplateNode& node = *chain[i];
      const auto next = childIndex(node, *chain[i + 1]);
      children(after, node, next + 1, node.children.size());
      endTag(after, node);
      if (node.condition) {
        land(after, after[--conditionStep]);
      }
    }
  }

  static std::size_t childIndex(const TemplateNode& parent, const TemplateNode& child) {
    return static_cast<std::size_t>(&child - parent.children.data());
  }

  // The blank text directly before `node` among the children of `parent`,
  // when `node` is repeated or may be left out and so takes that text along.
  static const TemplateNode* blankBefore(const TemplateNode& parent, const TemplateNode& node) {
    const std::size_t index = childIndex(parent, node);
    if (index == 0 || !node.carriesDirective() || !parent.children[index - 1].isBlank()) {
      return nullptr;
    }
    return &parent.children[index - 1];
  }

  void children(TemplateProgram& program, const TemplateNode& parent, std::size_t from,
                std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const TemplateNode& child = parent.children[i];
      if (i + 1 < parent.children.size() && child.isBlank() &&
          blankBefore(parent, parent.children[i + 1]) == &child) {
        continue;  // written with the element after it
      }
      switch (child.kind) {
        case TemplateNode::Kind::Element:
          element(program, child, blankBefore(parent, child));
          break;
        case TemplateNode::Kind::Text:
          text(program, child.content, ValuePlace::Text);
          break;
        case TemplateNode::Kind::CData:
          program.push_back({TemplateStep::Kind::CData, ValuePlace::Text,
                             static_cast<std::uint32_t>(addText(child.content, child.at)), 0});
          break;
        default:
          misc(program, child);
      }
    }
  }

  void element(TemplateProgram& program, const TemplateNode& node, const TemplateNode* blank) {
    std::optional<std::size_t> items;
    if (node.forEachItem) {
      items = program.size();
      program.push_back({TemplateStep::Kind::Items, ValuePlace::Text,
                         static_cast<std::uint32_t>(addText(*node.forEachItem, node.at)), 0});
      ++m_itemDepth;
    }
    std::optional<std::size_t> skip;
    if (node.condition) {
      skip = program.size();
      program.push_back({TemplateStep::Kind::SkipUnless, ValuePlace::Text,
                         static_cast<std::uint32_t>(addText(*node.condition, node.at)), 0});
    }
    if (blank != nullptr) {
      text(program, blank->content, ValuePlace::Text);
    }
    startTag(program, node);
    if (!node.children.empty()) {
      children(program, node, 0, node.children.size());
      endTag(program, node);
    }
    if (skip) {
      land(program, program[*skip]);
    }
    if (items) {
      --m_itemDepth;
      m_result.separators.push_back(*node.separator);
      program.push_back({TemplateStep::Kind::ItemsEnd, ValuePlace::Text,
                         static_cast<std::uint32_t>(*items),
                         static_cast<std::uint32_t>(m_result.separators.size() - 1)});
      land(program, program[*items]);
    }
  }

  void startTag(TemplateProgram& program, const TemplateNode& node) {
    constant(program, "<" + node.name);
    for (const TemplateNode::Namespace& declared : node.namespaces) {
      constant(program, " " + declared.name + "=\"" +
                            EscapeConstant(declared.uri, ValuePlace::Attribute, false) + "\"");
    }
    for (const TemplateNode::Attribute& attribute : node.attributes) {
      std::optional<std::size_t> skip;
      if (attribute.optional) {
        skip = program.size();
        program.push_back({TemplateStep::Kind::SkipUnless, ValuePlace::Text,
                           static_cast<std::uint32_t>(addText(attribute.value, node.at)), 0});
      }
      constant(program, " " + attribute.name + "=\"");
      text(program, attribute.value, ValuePlace::Attribute);
      constant(program, "\"");
      if (skip) {
        land(program, program[*skip]);
      }
    }
    constant(program, node.children.empty() ? "/>" : ">");
  }

  void endTag(TemplateProgram& program, const TemplateNode& node) {
    if (!node.children.empty()) {
      constant(program, "</" + node.name + ">");
    }
  }

  void misc(TemplateProgram& program, const TemplateNode& node) {
    if (node.kind == TemplateNode::Kind::Comment) {
      constant(program, "<!--" + EscapeConstant(node.name, ValuePlace::Text, true) + "-->");
    } else {
      constant(program, "<?" + node.name + (node.data.empty() ? "" : " ") +
                            EscapeConstant(node.data, ValuePlace::Text, true) + "?>");
    }
  }

  void text(TemplateProgram& program, const TemplateText& content, ValuePlace place) {
    for (const TemplateSegment& segment : content) {
      if (segment.expression != TemplateSegment::kNone) {
        useExpression(segment.expression);
        program.push_back({TemplateStep::Kind::Expression, place,
                           static_cast<std::uint32_t>(segment.expression), 0});
      } else if (segment.field == TemplateSegment::kLiteral) {
        constant(program, EscapeConstant(segment.literal, place, false));
      } else {
        requireRecord(segment);
        program.push_back(
            {TemplateStep::Kind::Value, place, static_cast<std::uint32_t>(segment.field), 0});
      }
    }
  }

  std::size_t addText(const TemplateText& content, TemplatePosition) {
    for (const TemplateSegment& segment : content) {
      if (segment.expression != TemplateSegment::kNone) {
        useExpression(segment.expression);
      } else if (segment.field != TemplateSegment::kLiteral) {
        requireRecord(segment);
      }
    }
    m_result.texts.push_back(content);
    return m_result.texts.size() - 1;
  }

  // A group's key is taken before its group exists: nothing in it can count the group.
  std::size_t addKey(const TemplateText& content) {
    for (const TemplateSegment& segment : content) {
      if (segment.expression == TemplateSegment::kNone) {
        continue;
      }
      const ExpressionUses& uses = m_tree.expressions->uses(segment.expression);
      if (!uses.sites.empty()) {
        throw TemplateError(m_tree.expressions->site(uses.sites.front()).at,
                            "an aggregate cannot stand in a group's key");
      }
    }
    return addText(content, {});
  }

  // Checks that an expression may stand where it does, and gives its
  // aggregates the scope of the innermost group around them.
  void useExpression(std::size_t expression) {
    const ExpressionUses& uses = m_tree.expressions->uses(expression);
    if (!m_inRecord) {
      if (!uses.bareFields.empty()) {
        throw TemplateError(uses.bareFields.front(),
                            "a field outside every for-each and group element has no record to "
                            "take its value from; an aggregate such as count() or sum() takes "
                            "it from every record");
      }
      if (uses.line) {
        throw TemplateError(*uses.line,
                            "line() outside every for-each and group element has no record");
      }
    }
    if (uses.item && m_itemDepth == 0) {
      throw TemplateError(*uses.item, "item() stands outside every for-each-item element");
    }
    for (const std::size_t site : uses.sites) {
      m_result.siteScope[site] = m_scope;
    }
  }

  // Each site's place among the sites of its scope.
  void numberSites() {
    std::map<std::uint32_t, std::uint32_t> taken;
    for (const std::uint32_t scope : m_result.siteScope) {
      m_result.siteSlot.push_back(taken[scope]++);
    }
  }

  void requireRecord(const TemplateSegment& segment) const {
    if (!m_inRecord) {
      const FieldReference& field = m_result.fields[segment.field];
      throw TemplateError(field.at,
                          "a placeholder outside every for-each and group-by element "
                          "has no record to take its value from");
    }
  }

  // Appends to the step before when it is a constant that ends the pool.
  void constant(TemplateProgram& program, std::string_view bytes) {
    if (bytes.empty()) {
      return;
    }
    std::string& pool = m_result.constants;
    if (!program.empty() && program.back().kind == TemplateStep::Kind::Constant &&
        m_jumpedTo[&program] != program.size() &&
        program.back().a + program.back().b == pool.size()) {
      program.back().b += static_cast<std::uint32_t>(bytes.size());
    } else {
      program.push_back({TemplateStep::Kind::Constant, ValuePlace::Text,
                         static_cast<std::uint32_t>(pool.size()),
                         static_cast<std::uint32_t>(bytes.size())});
    }
    pool.append(bytes);
  }

  // Where each program was last jumped to: a constant there begins a step of its own.
  void land(TemplateProgram& program, TemplateStep& jump) {
    jump.b = static_cast<std::uint32_t>(program.size());
    m_jumpedTo[&program] = program.size();
  }

  TemplateTree m_tree;
  LayoutTemplate m_result;
  std::map<const TemplateProgram*, std::size_t> m_jumpedTo;
  bool m_inRecord = false;
  std::uint32_t m_scope = LayoutTemplate::kDocumentScope;  // of the aggregates compiled now
  int m_itemDepth = 0;
};

}  // namespace

LayoutTemplate CompileTemplate(TemplateTree tree) {
  return Compiler(std::move(tree)).run();
}

}  // namespace rowvane
