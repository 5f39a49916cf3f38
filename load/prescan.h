#pragma once

#include "load/encodings.h"

#include <optional>
#include <string_view>

namespace load {

// A browser looks this far into a page for the encoding it declares.
constexpr std::size_t PrescanBytes = 1024;

// The encoding the page's first bytes declare, as a browser's prescan finds it: in a
// <meta charset=...>, or a <meta http-equiv="Content-Type" content="...; charset=...">, comments
// and other tags skipped; failing that, in an XML declaration. A declared UTF-16 is read as
// UTF-8 and x-user-defined as windows-1252. None when nothing declares a known encoding.
std::optional<Encoding> prescanEncoding(std::string_view bytes);

} // namespace load
