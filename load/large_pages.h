#pragma once

#include <cstddef>

// A page of a hundred megabytes becomes buffers of hundreds: asking the system to back such a
// buffer with large pages spares it a page fault for every 4 KiB first written. It is advice
// only; where the system does not take it, nothing changes.
void adviseLargePages(void* data, std::size_t bytes);
