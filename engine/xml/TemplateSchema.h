#pragma once

#include <string>

#include "engine/xml/TemplateTree.h"

namespace rowvane {

/// A W3C XML Schema that every output of the template matches, whatever the
/// records: its elements as the template nests them, in order, each element
/// that carries for-each or group-by any number of times (from zero), each
/// that carries only `if` at most once; its attributes, those listed as
/// optional optional, constant ones fixed; constant text or values beside
/// child elements as mixed content; every value xs:string. The target
/// namespace is the one namespace of the template's elements.
///
/// XML Schema cannot describe every template: throws TemplateError, at an
/// element and naming the elements concerned, when the elements use more
/// than one namespace, when same-named sibling elements differ in content
/// (their declarations must agree), and when an attribute has a namespace
/// (apart from xsi:schemaLocation and xsi:noNamespaceSchemaLocation, which a
/// validator takes as hints).
std::string TemplateSchema(const TemplateTree& tree);

}  // namespace rowvane
