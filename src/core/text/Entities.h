#pragma once

#include "util/EventPump.h"

#include <string>
#include <string_view>

namespace varnel {

// The named entities the program decodes, in the order they are applied, as
// lists joined by "|" (names and their replacements).
extern const std::string_view kEntityNames;
extern const std::string_view kEntityReplacements;

// Decodes the named entities of the table (ignoring case, in table order, so
// "&amp;lt;" becomes "<") and then the numeric ones ("&#65;", "&#x4E2D;"),
// from the end of the text towards its start. The pump is called before each
// numeric entity.
std::string decodeEntities(std::string_view text, const EventPump &pump = {});

} // namespace varnel
