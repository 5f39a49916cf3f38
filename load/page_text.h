#pragma once

#include <cstddef>
#include <string_view>

// How the bytes of a page file become the page text: each byte one Windows-1252 character,
// and every line, the last one too, followed by one CR LF. CR LF, a lone LF and a lone CR each
// end a line; a line end at the very end of the file adds no empty line.
namespace load {

// The number of characters the page text of these bytes has.
std::size_t pageTextLength(std::string_view bytes);

// Writes the page text of these bytes to `out`, which holds pageTextLength(bytes) characters.
void decodePage(std::string_view bytes, char16_t* out);

} // namespace load
