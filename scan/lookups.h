#pragma once

#include "scan/rules.h"

// The lookups of the page scan: where a tag stands and the value it yields, a view into the
// page.
namespace scan {

struct Found {
    Pos start = 0; // where the search text stands; 0 when it does not occur
    Pos end = 0;   // the end mark, after the self-closing adjustment; 0 when there is none
    Text value;

    // A tag whose search text has no end mark after it counts as absent.
    bool present() const { return start > 0 && end > 0; }
};

// Everything between "<title>" and the first "</title>" after it.
Found findTitle(Text page);

// <meta name="word" content="value">, ended by ">", "/>" or " />".
Found findNameFirst(Text page, Text word);

// <meta content="value" name="word">, ended by ">", "/>" or " />". Of the three endings the
// first that occurs anywhere in the page wins; the tag begins at the last "<meta content="
// before it.
Found findContentFirst(Text page, Text word);

} // namespace scan
