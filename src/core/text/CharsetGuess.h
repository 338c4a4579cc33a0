#pragma once

#include "util/EventPump.h"

#include <cstdint>
#include <string_view>

namespace varnel {

// The encodings the bytes of a file without a mark, a meta charset or UTF-8
// can be in.
enum class GuessedCharset { Gbk, Big5, Big5Hkscs, Utf16LE, Utf16BE };

struct CharsetGuess {
    GuessedCharset charset = GuessedCharset::Gbk;
    // False when no reading was clearly better than the others: the guess is
    // then GBK, as the bytes were read before there was a guess.
    bool certain = true;
};

// How well a reading of the bytes fits Chinese prose: the sum of the
// character weights (CharWeights.h) of the text it gives, in quarter nats,
// over so many characters, so many of them beyond ASCII. Bytes that no
// character of the encoding has weigh kImpossibleWeight each; a last
// character cut off by the end of the bytes costs little.
struct Reading {
    std::int64_t score = 0;
    std::int64_t characters = 0;
    std::int64_t wide = 0;
    void add(int weight, bool isWide = true)
    {
        score += weight;
        ++characters;
        wide += isWide;
    }
};

// Every reading of the first `limit` bytes (the character at the limit
// completed).
struct ReadingScores {
    Reading gbk, big5, big5Hkscs, utf16LE, utf16BE;
};
ReadingScores readingScores(std::string_view bytes, std::size_t limit);

// Guesses the encoding of bytes that are not UTF-8: the reading that fits
// prose best, when it is ahead of every other reading by a clear margin, is
// itself like prose (not a text that is nonsense in every reading) and, to
// be anything but GBK, has two characters beyond ASCII at least.
// Readings that give the same text (GBK and Big5 of ASCII bytes, Big5 and
// Big5-HKSCS without a code that only HKSCS has) are one: Big5 before
// Big5-HKSCS. ASCII text without control characters is GBK, certain. Large
// files are read only as far as needed to be sure, and never past their
// first 16 MiB; the pump is called between pieces.
CharsetGuess guessCharset(std::string_view bytes, const EventPump &pump = {});

} // namespace varnel
