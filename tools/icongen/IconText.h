// Icons kept as text: a square grid of characters, one per pixel, and a palette naming each
// character's colour. The build turns the grid into a Windows icon file (.ico) with one image for
// each requested edge length, scaled by whole factors so every pixel stays sharp.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct TIconArt {
    int Edge = 0;
    // Edge * Edge pixels, rows from the top, 0xAARRGGBB; alpha 0 is transparent.
    std::vector<uint32_t> Pixels;
};

class EIconText : public std::runtime_error {
public:
    EIconText(int line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
    int Line() const { return line_; }

private:
    int line_;
};

// The text: lines starting with '#' and blank lines are ignored; "colour X RRGGBB" gives character
// X an opaque colour, "colour X none" makes it transparent; every other line is one row of the
// grid. Rows must all be as long as there are rows. Raises EIconText naming the line for anything
// else (unknown character, ragged or missing rows, bad colour).
TIconArt ParseIconText(const std::string& text);

// The .ico file: one 32-bit image (with its transparency mask) per edge length, in the order
// given. Each edge must be a whole multiple of the art's edge and at most 255; raises
// std::invalid_argument otherwise.
std::vector<uint8_t> WriteIconFile(const TIconArt& art, const std::vector<int>& edges);
