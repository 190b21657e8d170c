#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowvane::testing {

/// Makes a template and records from a stream of choices (fuzz bytes or a
/// random generator): the document element, constant elements, text, CDATA
/// sections, comments and processing instructions around a chain of up to
/// two group-by elements and the for-each element, with placeholders,
/// conditions and optional attributes only where a record is in reach.
/// Every piece is one a user may write, awkward characters included. With
/// `oneNamespace`, the prefix `p` and the default namespace are the same one.
class RandomTemplate {
 public:
  explicit RandomTemplate(std::string_view choices, bool oneNamespace = false)
      : m_choices(choices), m_prefixUri(oneNamespace ? "urn:d" : "urn:p") {}

  /// The template's text; the names of the fields come first in `names`.
  std::string make(const std::vector<std::string>& names) {
    m_names = names;
    std::string text = pick(2) == 0 ? "<?xml version=\"1.0\"?>\n" : "";
    if (pick(3) == 0) {
      text += "<!--before-->\n<?go now?>\n";
    }
    text += "<p:r xmlns:p=\"" + m_prefixUri +
            "\" xmlns:rv=\"urn:rowvane:layout\" xmlns=\"urn:d\" k=\"&amp;\">";
    text += constants();
    const int groups = pick(3);
    for (int level = 0; level < groups; ++level) {
      text += "\n<g" + std::to_string(level) + " rv:group-by=\"" + placeholders(true) + "\"" +
              attributes() + ">" + content(1);
    }
    text += "\n  <p:i rv:for-each=\"record\"" + attributes() + ">" + content(2) + "</p:i>";
    for (int level = groups; level-- > 0;) {
      text += content(1) + "</g" + std::to_string(level) + ">";
    }
    text += constants() + "</p:r>";
    if (pick(3) == 0) {
      text += "\n<!--after-->";
    }
    return text;
  }

  /// A value for a record, with the characters escaping must deal with.
  std::string value() {
    static constexpr std::string_view kPieces[] = {
        "a",        "",   "<",   ">",  "&", "\"", "'",    "\t",
        "\n",       "\r", "]]>", "]",  "{", "}",  "\x01", "\xEF\xBF\xBE",
        "\xC3\xA9", " ",  "x y", "--", "?>"};
    std::string text;
    for (int count = pick(4); count > 0; --count) {
      text += kPieces[static_cast<std::size_t>(pick(std::size(kPieces)))];
    }
    return text;
  }

  bool exhausted() const { return m_at >= m_choices.size(); }

 private:
  int pick(std::size_t count) {
    if (m_at >= m_choices.size()) {
      return 0;
    }
    return static_cast<unsigned char>(m_choices[m_at++]) % static_cast<int>(count);
  }

  std::string placeholder() {
    if (m_names.empty() || pick(4) == 0) {
      return "{#1}";
    }
    const std::string& name = m_names[static_cast<std::size_t>(pick(m_names.size()))];
    return "{" + name + "}";
  }

  // Literal text and placeholders, as an attribute value or text holds them.
  std::string placeholders(bool inRecord) {
    static constexpr std::string_view kLiterals[] = {"x",      "&lt;",   "&amp;", "&#9;", "&#10;",
                                                     "&#13;",  "{{",     "}}",    "}",    " ",
                                                     "&quot;", "&#169;", "]]&gt;"};
    std::string text;
    for (int count = pick(4); count > 0; --count) {
      if (inRecord && pick(2) == 0) {
        text += placeholder();
      } else {
        text += kLiterals[static_cast<std::size_t>(pick(std::size(kLiterals)))];
      }
    }
    return text;
  }

  std::string attributes() {
    std::string text;
    const int count = pick(3);
    for (int i = 0; i < count; ++i) {
      text += " a" + std::to_string(i) + "=\"" + placeholders(true) + "\"";
    }
    if (count > 0 && pick(2) == 0) {
      text += " rv:optional=\"a" + std::to_string(pick(static_cast<std::size_t>(count))) + "\"";
    }
    if (pick(3) == 0) {
      text += " rv:if=\"" + placeholders(true) + "\"";
    }
    return text;
  }

  // Content of an element within reach of a record.
  std::string content(int depth) {
    std::string text;
    for (int count = pick(4); count > 0; --count) {
      switch (pick(7)) {
        case 0:
          text += "\n" + std::string(static_cast<std::size_t>(pick(4)), ' ');
          break;
        case 1:
          text += placeholders(true);
          break;
        case 2:
          text += "<![CDATA[" + std::string(pick(2) == 0 ? "]]" : "x<&") + placeholder() + "]]>";
          break;
        case 3:
          text += "<!--c\n-->";
          break;
        case 4:
          text += "<?pi " + std::string(pick(2) == 0 ? "" : "d\n") + "?>";
          break;
        default:
          if (depth < 4) {
            const std::string name = pick(2) == 0 ? "e" : "p:f";
            text += "<" + name + attributes() + ">" + content(depth + 1) + "</" + name + ">";
          } else {
            text += "<e/>";
          }
      }
    }
    return text;
  }

  // Content outside every record: constants only.
  std::string constants() {
    switch (pick(4)) {
      case 0:
        return "\n <c>&#169; &lt;</c>";
      case 1:
        return "<![CDATA[<keep>]]><e></e>";
      case 2:
        return "<!--\n-->";
      default:
        return "";
    }
  }

  std::string_view m_choices;
  std::string m_prefixUri;
  std::size_t m_at = 0;
  std::vector<std::string> m_names;
};

}  // namespace rowvane::testing
