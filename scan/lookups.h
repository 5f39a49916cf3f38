#pragma once

#include "rules.h"

// The lookups of the page scan: where a tag stands and the value it yields.
// `page` is the page text and `searchCopy` its lower-cased copy; a found value is a view
// into `page`.
namespace scan {

struct Found {
    Pos start = 0; // the tag's "<"; 0 when the tag counts as absent
    Pos end = 0;   // its end mark, after the self-closing adjustment for a meta tag
    Text value;

    bool present() const { return start > 0; }
};

// Everything between "<title>" and the first "</title>" after it.
Found findTitle(Text page, Text searchCopy);

// <meta name="word" content="value">, ended by ">", "/>" or " />".
Found findNameFirst(Text page, Text searchCopy, Text word);

// <meta content="value" name="word">, ended by ">", "/>" or " />". Of the three endings the
// first that occurs anywhere in the page wins; the tag begins at the last "<meta content="
// before it.
Found findContentFirst(Text page, Text searchCopy, Text word);

} // namespace scan
