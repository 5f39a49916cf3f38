#pragma once

#include "scan/counters.h"
#include "scan/lookups.h"

#include <optional>

// The whole analysis of a page: everything the window shows of it, from the page text alone.
namespace scan {

// Description, keywords and robots are read content first only when the page does not hold
// their name-first search text at all.
enum class Order { NameFirst, ContentFirst };

// One result field: the tag's value as its box shows it, and its counter; an absent tag
// empties both.
struct Field {
    Found found;
    Text shown; // the value, without the "Â" of "Â©" for author and copyright
    std::optional<Counter> counter;
    Order order = Order::NameFirst;

    bool present() const { return found.present(); }
    friend bool operator==(const Field&, const Field&) = default;
};

struct Analysis {
    Field title, description, keywords, robots, abstract, author, copyright;
    // The keyword count, made only when the keywords counter shows a number above 0.
    std::optional<Counter> words;
    friend bool operator==(const Analysis&, const Analysis&) = default;
};

// Finds every search text in one pass over the page, then reads each tag from where its text
// stands.
Analysis analysePage(Text page);

// The same analysis by the lookups, each searching the page for its own texts: up to sixteen
// passes. The tests hold the one pass to it.
Analysis analysePageByEachText(Text page);

} // namespace scan
