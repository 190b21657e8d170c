#include "engine/xml/EscapingOutput.h"

#include "engine/xml/XmlEscaping.h"

namespace rowvane {
namespace {

enum Action : std::uint8_t {
  kCopy = 0,
  kAmp,
  kLt,
  kGt,
  kQuot,
  kTab,
  kLf,
  kCr,
  kForbidden,     // a control character XML does not allow
  kMaybeNonChar,  // 0xEF begins U+FFFE and U+FFFF
};

constexpr std::array<std::string_view, 8> kEntities = {"",       "&amp;", "&lt;",  "&gt;",
                                                       "&quot;", "&#9;",  "&#10;", "&#13;"};

constexpr EscapingOutput::ByteActions ActionsFor(ValuePlace place) {
  EscapingOutput::ByteActions actions{};
  for (int b = 0; b < 0x20; ++b) {
    actions[b] = kForbidden;
  }
  actions['\t'] = place == ValuePlace::Attribute ? kTab : kCopy;
  actions['\n'] = place == ValuePlace::Attribute ? kLf : kCopy;
  actions['\r'] = kCr;
  actions['&'] = kAmp;
  actions['<'] = kLt;
  actions['>'] = kGt;
  if (place == ValuePlace::Attribute) {
    actions['"'] = kQuot;
  }
  actions[0xEF] = kMaybeNonChar;
  return actions;
}

constexpr std::array<EscapingOutput::ByteActions, 2> kActions = {ActionsFor(ValuePlace::Text),
                                                                 ActionsFor(ValuePlace::Attribute)};

}  // namespace

void EscapingOutput::putValue(std::string_view value, ValuePlace place) {
  const ByteActions& actions = kActions[static_cast<std::size_t>(place)];
  const char* at = value.data();
  const char* const end = at + value.size();
  const char* plain = at;
  while (at < end) {
    const std::uint8_t action = actions[static_cast<unsigned char>(*at)];
    if (action == kCopy) {
      ++at;
      continue;
    }
    if (action == kMaybeNonChar) {
      // U+FFFE and U+FFFF are EF BF BE and EF BF BF; anything else from EF is allowed.
      if (end - at < 3 || static_cast<unsigned char>(at[1]) != 0xBF ||
          (static_cast<unsigned char>(at[2]) & 0xFE) != 0xBE) {
        ++at;
        continue;
      }
      put(plain, static_cast<std::size_t>(at - plain));
      putReplacement();
      at += 3;
      plain = at;
      continue;
    }
    put(plain, static_cast<std::size_t>(at - plain));
    if (action == kForbidden) {
      putReplacement();
    } else {
      put(kEntities[action]);
    }
    plain = ++at;
  }
  put(plain, static_cast<std::size_t>(end - plain));
}

void EscapingOutput::putReplacement() {
  put(kReplacementCharacter);
  ++m_replaced;
}

}  // namespace rowvane
