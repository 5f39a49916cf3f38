#pragma once

#include <cstddef>
#include <string>

// A deterministic page of realistic HTML: lines of 80 to 120 characters, the seven tags near
// the top ("early") or after almost all the bytes ("late", where every search runs longest).
struct PageShape {
    std::size_t bytes;
    bool crlf;
    bool late;
};

std::string generatePage(const PageShape& shape);
