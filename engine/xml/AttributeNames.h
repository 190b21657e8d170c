#pragma once

#include <string>
#include <vector>

namespace rowvane {

/// The attribute names of the attributes layout, for the fields' names as
/// read: each fixed as the escaped element layout fixes a field's name
/// (header1... for an empty one), `xmlns` as `_xmlns`; then, left to right, a
/// name an earlier attribute has already taken gets the first of the
/// suffixes `_2`, `_3`, ... that gives a name neither taken earlier nor the
/// fixed name of any field (`a,a,a_2` gives `a`, `a_3`, `a_2`).
std::vector<std::string> AttributeNames(const std::vector<std::string>& names);

}  // namespace rowvane
