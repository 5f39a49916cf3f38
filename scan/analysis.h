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
};

struct Analysis {
    Field title, description, keywords, robots, abstract, author, copyright;
    // The keyword count, made only when the keywords counter shows a number above 0.
    std::optional<Counter> words;
};

Analysis analysePage(Text page);

} // namespace scan
