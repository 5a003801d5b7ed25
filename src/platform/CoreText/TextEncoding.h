#pragma once
// UTF-8 as CoreText needs it: valid (pango refuses anything else), and measured in the UTF-16 code
// units that every CoreText and Foundation range counts.

#include <cstddef>
#include <string>
#include <string_view>

namespace TextEncoding {

// `bytes` with every byte that does not belong to a well-formed UTF-8 sequence (overlong forms,
// surrogates, values past U+10FFFF, truncated sequences) and every NUL replaced by U+FFFD, one
// replacement per byte. Valid text comes back unchanged.
std::string validUTF8(std::string_view bytes);
// The UTF-16 length of valid UTF-8 text (characters past U+FFFF count two).
size_t utf16Length(std::string_view validText);
// The byte offset in valid UTF-8 text where UTF-16 offset `units` falls; the end of the text past
// it, and the start of the character when it falls inside a surrogate pair.
size_t utf8Offset(std::string_view validText, size_t units);

}  // namespace TextEncoding
