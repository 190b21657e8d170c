#pragma once

#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/TemplateTree.h"

namespace rowvane {

/// Makes a parsed template into the steps that write it: finds the chain of
/// repeated elements from the document element down to the for-each element,
/// escapes every constant part once, and places each element that is
/// repeated or may be left out together with the blank text before it.
/// Throws TemplateError when no element carries for-each, when a group-by
/// element is not an ancestor of it, or when a placeholder stands outside
/// every repeated element (there is no record to take it from).
LayoutTemplate CompileTemplate(TemplateTree tree);

}  // namespace rowvane
