#include "engine/xml/AttributeNames.h"

#include <unordered_map>
#include <unordered_set>

#include "engine/xml/XmlEscaping.h"

namespace rowvane {

std::vector<std::string> AttributeNames(const std::vector<std::string>& names) {
  std::vector<std::string> fixed;
  fixed.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string name = FixXmlName(names[i], "header" + std::to_string(i + 1));
    fixed.push_back(name == "xmlns" ? "_xmlns" : std::move(name));
  }
  const std::unordered_set<std::string> reserved(fixed.begin(), fixed.end());
  std::unordered_set<std::string> given;
  // A suffix found taken stays taken, so each name goes on from where it stopped.
  std::unordered_map<std::string, std::size_t> nextSuffix;
  std::vector<std::string> result;
  result.reserve(fixed.size());
  for (const std::string& name : fixed) {
    std::string chosen = name;
    if (given.contains(chosen)) {
      std::size_t& suffix = nextSuffix.try_emplace(name, 2).first->second;
      do {
        chosen = name + "_" + std::to_string(suffix++);
      } while (given.contains(chosen) || reserved.contains(chosen));
    }
    given.insert(chosen);
    result.push_back(std::move(chosen));
  }
  return result;
}

}  // namespace rowvane
