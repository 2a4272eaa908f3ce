// From a file's bytes to the document's UTF-16 text. The order of precedence:
//   1. a byte-order mark (EF BB BF UTF-8, FF FE UTF-16LE, FE FF UTF-16BE);
//   2. the encoding declared in the first 1,024 bytes: the xml declaration's "encoding", or in
//      an html document the charset of its Content-Type meta element;
//   3. UTF-8 when the bytes are valid UTF-8 (plain ASCII is), else the system ANSI code page.
// NUL units are dropped, UTF-16BE is swapped, and every step is written to the result log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "markup/document_bytes.h"
#include "markup/result_log.h"

namespace markup {

// The longest document the reader takes: offsets are 32-bit, and the system's conversions
// count in int.
inline constexpr std::size_t kMaxDocumentBytes = 0x7FFFFFFF;

// The bytes' text (the bytes are consumed: NULs are removed in place); empty when they are longer
// than kMaxDocumentBytes (logged as file_error).
std::u16string DecodeMarkupBytes(DocumentBytes bytes, ResultLog& log);

// The declared encoding name in the first bytes of a document without a mark, if any (step 2).
// NUL bytes are skipped, so a declaration in 16- or 32-bit units is found too.
bool FindDeclaredEncoding(std::string_view head, std::u16string& name);

} // namespace markup
