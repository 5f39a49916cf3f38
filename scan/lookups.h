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
    friend bool operator==(const Found&, const Found&) = default;
};

// Each lookup searches the page for its own search texts. The analysis finds every search text
// in one pass instead; these are what it is held to.

// Everything between "<title>" and the first "</title>" after it.
Found findTitle(Text page);

// <meta name="word" content="value">, ended by ">", "/>" or " />".
Found findNameFirst(Text page, Text word);

// <meta content="value" name="word">, ended by ">", "/>" or " />". Of the three endings the
// first that occurs anywhere in the page wins; the tag begins at the last "<meta content="
// before it.
Found findContentFirst(Text page, Text word);

// The same lookups once their search text is found: from the position of "<title>", of the
// name-first search text, or of the content-first name text with the ending that wins. A
// position of 0, where it does not occur, gives an absent tag.
Found titleAt(Text page, Pos tagStart);
Found nameFirstAt(Text page, Text word, Pos tagStart);
Found contentFirstAt(Text page, Text word, Pos nameText);

} // namespace scan
