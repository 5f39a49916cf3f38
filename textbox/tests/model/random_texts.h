#pragma once

// Random texts of the kinds a page or a user gives the box, the same for the same run number
// everywhere.

#include <QString>

#include <cstdint>
#include <vector>

namespace model {

class Random {
public:
    explicit Random(std::uint64_t run) : state_(run * 0x9E3779B97F4A7C15ULL + 1) {}

    std::uint64_t next() {
        std::uint64_t z = state_ += 0x9E3779B97F4A7C15ULL;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    double fraction() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

private:
    std::uint64_t state_;
};

// How much of each kind of piece a run's texts hold: each run mixes some kinds in its own
// proportions.
struct Mix {
    std::vector<int> weights; // by kind
    int total = 0;
};

Mix randomMix(Random& random);
QString randomPiece(Random& random, const Mix& mix);
QString randomText(Random& random, const Mix& mix, int pieces);
// Words of about a row's length after short ones, where a row's wrap turns on characters far
// into the next row: "ab " and a word of about `columns` x's, again and again.
QString rowLongWords(Random& random, int length, int columns, bool lineBreaks = true,
                     bool justTooLong = false);
// A line longer than a long line's threshold in the box: of words of every length, of words of
// about a row's length, or of one character with nowhere to wrap.
QString longLine(Random& random, const Mix& mix, int columns);
// A line of 100,000 to 1,000,000 characters, where a visit far into it lays out only the rows
// near where it lands: a row of one blank, then words, then characters with no place to wrap
// (CJK); runs of zero-width characters between short words; a letter with a long run of
// combining marks; a run of "<".
QString veryLongLine(Random& random);
// What a key can type: no line breaks or control characters.
QString typeable(const QString& piece);

} // namespace model
