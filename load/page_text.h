#pragma once

#include <memory>
#include <string>

// The page text: the page file's text in UTF-8, and every line, the last one too, followed by
// one CR LF. CR LF, a lone LF and a lone CR each end a line; a line end at the very end of the
// file adds no empty line.
namespace load {

// Held once and never changed once read: the page box shows it without a copy.
using Page = std::shared_ptr<const std::string>;

// Rewrites a page file's text in UTF-8 into its page text, in place. Line ends only ever grow,
// so capacity reserved beforehand spares a second buffer.
void makePageText(std::string& bytes);

} // namespace load
