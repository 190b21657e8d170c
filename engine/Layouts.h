#pragma once

// The engine's front door, part 4 of 5: layouts, templates and schemas.
// Loading a layout template (`LoadLayoutTemplate`) and writing the template
// the element layout would use; the XML schema a layout's output matches
// (element, attribute, template); loading a schema to check outputs against
// (`XmlSchema`, `SchemaValidatingSink`); the field names an input's header
// gives under the settings (`ReadFieldNames`).

#include "engine/Settings.h"
#include "engine/csv/FieldNames.h"
#include "engine/xml/AttributeLayoutSchema.h"
#include "engine/xml/ElementLayoutSchema.h"
#include "engine/xml/ElementLayoutTemplate.h"
#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/SchemaValidatingSink.h"
#include "engine/xml/TemplateCompiler.h"
#include "engine/xml/TemplateLoader.h"
#include "engine/xml/TemplateParser.h"
#include "engine/xml/TemplateSchema.h"
#include "engine/xml/TemplateWriter.h"
#include "engine/xml/XmlSchema.h"
