// The tokenizer and tree builder: one pass over the decoded text, no recursion over its depth.
#pragma once

#include <string_view>

#include "markup/element_records.h"
#include "markup/result_log.h"

namespace markup {

// Rebuilds `records` from `text` and logs every problem found. Returns whether the document is
// well-formed: no problem flagged and exactly one top-level element. The tree holds every
// element that could be placed either way.
bool ParseMarkup(std::u16string_view text, ElementRecords& records, ResultLog& log);

} // namespace markup
