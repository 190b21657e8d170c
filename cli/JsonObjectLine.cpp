#include "cli/JsonObjectLine.h"

#include <cstdint>

namespace rowvane::cli {
namespace {

constexpr int kDeepestNesting = 64;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::uint32_t HexValue(char c) {
  if (c <= '9') {
    return static_cast<std::uint32_t>(c - '0');
  }
  return static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// A recursive-descent reader over one line; every method leaves the position
// after what it read and answers false for anything that is not JSON.
class Reader {
 public:
  explicit Reader(std::string_view text) : m_text(text) {}

  bool atEnd() {
    skipSpace();
    return m_at == m_text.size();
  }
  bool take(char expected) {
    skipSpace();
    if (m_at < m_text.size() && m_text[m_at] == expected) {
      ++m_at;
      return true;
    }
    return false;
  }
  bool value(JsonValue& into, int depth);
  bool string(std::string& into);

 private:
  void skipSpace() {
    while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                    m_text[m_at] == '\r' || m_text[m_at] == '\n')) {
      ++m_at;
    }
  }
  bool word(std::string_view expected) {
    if (m_text.substr(m_at, expected.size()) != expected) {
      return false;
    }
    m_at += expected.size();
    return true;
  }
  bool hexQuad(std::uint32_t& code);
  bool escape(std::string& into);
  bool number(std::string& into);
  bool digits();
  bool array(JsonValue& into, int depth);
  bool object(int depth);

  std::string_view m_text;
  std::size_t m_at = 0;
};

bool Reader::hexQuad(std::uint32_t& code) {
  if (m_at + 4 > m_text.size()) {
    return false;
  }
  code = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = m_text[m_at++];
    if (!IsHexDigit(c)) {
      return false;
    }
    code = code * 16 + HexValue(c);
  }
  return true;
}

bool Reader::escape(std::string& into) {
  if (m_at >= m_text.size()) {
    return false;
  }
  const char c = m_text[m_at++];
  constexpr std::string_view kFrom = "\"\\/bfnrt";
  constexpr std::string_view kTo = "\"\\/\b\f\n\r\t";
  if (const std::size_t simple = kFrom.find(c); simple != std::string_view::npos) {
    into.push_back(kTo[simple]);
    return true;
  }
  std::uint32_t code = 0;
  if (c != 'u' || !hexQuad(code)) {
    return false;
  }
  if (code >= 0xD800 && code < 0xDC00) {
    std::uint32_t low = 0;
    if (!word("\\u") || !hexQuad(low) || low < 0xDC00 || low >= 0xE000) {
      return false;
    }
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
  } else if (code >= 0xDC00 && code < 0xE000) {
    return false;
  }
  AppendUtf8(into, code);
  return true;
}

bool Reader::string(std::string& into) {
  if (!take('"')) {
    return false;
  }
  while (m_at < m_text.size()) {
    // Plain characters go over in one piece: names are most of a report.
    std::size_t plain = m_at;
    while (plain < m_text.size() && m_text[plain] != '"' && m_text[plain] != '\\' &&
           static_cast<unsigned char>(m_text[plain]) >= 0x20) {
      ++plain;
    }
    into.append(m_text.substr(m_at, plain - m_at));
    m_at = plain;
    if (m_at >= m_text.size()) {
      return false;
    }
    const char c = m_text[m_at++];
    if (c == '"') {
      return true;
    }
    if (c != '\\' || !escape(into)) {
      return false;  // a control character, or a bad escape
    }
  }
  return false;
}

bool Reader::digits() {
  const std::size_t start = m_at;
  while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') {
    ++m_at;
  }
  return m_at > start;
}

bool Reader::number(std::string& into) {
  const std::size_t start = m_at;
  take('-');
  if (!digits()) {
    return false;
  }
  if (m_text[start] == '0' || (m_text[start] == '-' && m_text[start + 1] == '0')) {
    if (m_at - start > (m_text[start] == '-' ? 2U : 1U)) {
      return false;  // no leading zeros
    }
  }
  if (m_at < m_text.size() && m_text[m_at] == '.') {
    ++m_at;
    if (!digits()) {
      return false;
    }
  }
  if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
    ++m_at;
    if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) {
      ++m_at;
    }
    if (!digits()) {
      return false;
    }
  }
  into.assign(m_text.substr(start, m_at - start));
  return true;
}

bool Reader::array(JsonValue& into, int depth) {
  if (take(']')) {
    return true;
  }
  do {
    JsonValue element;
    if (!value(element, depth + 1)) {
      return false;
    }
    ++into.items;
  } while (take(','));
  return take(']');
}

bool Reader::object(int depth) {
  if (take('}')) {
    return true;
  }
  do {
    std::string key;
    JsonValue member;
    if (!string(key) || !take(':') || !value(member, depth + 1)) {
      return false;
    }
  } while (take(','));
  return take('}');
}

bool Reader::value(JsonValue& into, int depth) {
  if (depth > kDeepestNesting) {
    return false;
  }
  skipSpace();
  if (m_at >= m_text.size()) {
    return false;
  }
  using Kind = JsonValue::Kind;
  switch (m_text[m_at]) {
    case '"':
      into.kind = Kind::String;
      return string(into.text);
    case '[':
      ++m_at;
      into.kind = Kind::Array;
      return array(into, depth);
    case '{':
      ++m_at;
      into.kind = Kind::Object;
      return object(depth);
    case 't':
      into.kind = Kind::True;
      return word("true");
    case 'f':
      into.kind = Kind::False;
      return word("false");
    case 'n':
      into.kind = Kind::Null;
      return word("null");
    default:
      into.kind = Kind::Number;
      return number(into.text);
  }
}

}  // namespace

std::optional<std::vector<JsonMember>> ReadJsonObjectLine(std::string_view line) {
  Reader reader(line);
  std::vector<JsonMember> members;
  if (!reader.take('{')) {
    return std::nullopt;
  }
  if (!reader.take('}')) {
    do {
      JsonMember member;
      if (!reader.string(member.key) || !reader.take(':') || !reader.value(member.value, 1)) {
        return std::nullopt;
      }
      members.push_back(std::move(member));
    } while (reader.take(','));
    if (!reader.take('}')) {
      return std::nullopt;
    }
  }
  if (!reader.atEnd()) {
    return std::nullopt;
  }
  return members;
}

const JsonValue* MemberNamed(const std::vector<JsonMember>& members, std::string_view key) {
  for (const JsonMember& member : members) {
    if (member.key == key) {
      return &member.value;
    }
  }
  return nullptr;
}

}  // namespace rowvane::cli
