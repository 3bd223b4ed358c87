#include "IconText.h"

#include <array>
#include <optional>
#include <sstream>

namespace {

std::string TrimmedRight(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

std::optional<uint32_t> ParseRgb(const std::string& text) {
    if (text.size() != 6)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return 0xFF000000u | value;
}

// Bytes beyond the value's four are zero (a field wider than 32 bits, or several zero fields).
void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(i < 4 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}

// The image as an icon resource stores it: a bitmap header of twice the height (colour and mask
// together), the colour rows bottom-up, then the 1-bit mask rows bottom-up, each padded to 4 bytes.
std::vector<uint8_t> IconImage(const TIconArt& art, int edge) {
    const int scale = edge / art.Edge;
    const uint32_t edgeBytes = static_cast<uint32_t>(edge);
    const uint32_t maskStride = (edgeBytes + 31) / 32 * 4;
    std::vector<uint8_t> image;
    PutLittleEndian(image, 40, 4);
    PutLittleEndian(image, edgeBytes, 4);
    PutLittleEndian(image, edgeBytes * 2, 4);
    PutLittleEndian(image, 1, 2);
    PutLittleEndian(image, 32, 2);
    PutLittleEndian(image, 0, 4); // BI_RGB
    PutLittleEndian(image, edgeBytes * edgeBytes * 4 + maskStride * edgeBytes, 4);
    PutLittleEndian(image, 0, 16); // resolution and palette counts
    const auto pixelAt = [&](int x, int y) {
        return art.Pixels[static_cast<size_t>(y / scale) * static_cast<size_t>(art.Edge) +
                          static_cast<size_t>(x / scale)];
    };
    for (int y = edge - 1; y >= 0; --y)
        for (int x = 0; x < edge; ++x) {
            const uint32_t argb = pixelAt(x, y);
            PutLittleEndian(image, (argb >> 24) == 0 ? 0 : argb, 4);
        }
    for (int y = edge - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < edge; ++x)
            if ((pixelAt(x, y) >> 24) == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        image.insert(image.end(), row.begin(), row.end());
    }
    return image;
}

} // namespace

TIconArt ParseIconText(const std::string& text) {
    std::array<std::optional<uint32_t>, 256> palette{};
    std::vector<std::string> rows;
    std::vector<int> rowLines;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = TrimmedRight(raw);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.rfind("colour ", 0) == 0) {
            std::istringstream words(line.substr(7));
            std::string symbol, value, extra;
            words >> symbol >> value;
            if (symbol.size() != 1 || value.empty() || (words >> extra))
                throw EIconText(lineNumber, "expected \"colour X RRGGBB\" or \"colour X none\"");
            std::optional<uint32_t> colour = value == "none" ? std::optional<uint32_t>(0u) : ParseRgb(value);
            if (!colour)
                throw EIconText(lineNumber, "bad colour \"" + value + "\"");
            palette[static_cast<unsigned char>(symbol[0])] = colour;
            continue;
        }
        rows.push_back(line);
        rowLines.push_back(lineNumber);
    }
    if (rows.empty())
        throw EIconText(lineNumber, "no pixel rows");
    TIconArt art;
    art.Edge = static_cast<int>(rows.size());
    art.Pixels.reserve(rows.size() * rows.size());
    for (size_t y = 0; y < rows.size(); ++y) {
        if (rows[y].size() != rows.size())
            throw EIconText(rowLines[y], "row of " + std::to_string(rows[y].size()) +
                                             " pixels in a grid of " + std::to_string(rows.size()) + " rows");
        for (char c : rows[y]) {
            const std::optional<uint32_t>& colour = palette[static_cast<unsigned char>(c)];
            if (!colour)
                throw EIconText(rowLines[y], std::string("no colour for '") + c + "'");
            art.Pixels.push_back(*colour);
        }
    }
    return art;
}

std::vector<uint8_t> WriteIconFile(const TIconArt& art, const std::vector<int>& edges) {
    if (art.Edge <= 0 || art.Pixels.size() != static_cast<size_t>(art.Edge) * static_cast<size_t>(art.Edge))
        throw std::invalid_argument("icon art without a square grid");
    if (edges.empty() || edges.size() > 0xFFFF)
        throw std::invalid_argument("an icon needs between one and 65535 images");
    std::vector<std::vector<uint8_t>> images;
    for (int edge : edges) {
        if (edge <= 0 || edge > 255 || edge % art.Edge != 0)
            throw std::invalid_argument("icon edge " + std::to_string(edge) + " is no whole multiple of " +
                                        std::to_string(art.Edge) + " up to 255");
        images.push_back(IconImage(art, edge));
    }
    std::vector<uint8_t> file;
    PutLittleEndian(file, 0, 2);
    PutLittleEndian(file, 1, 2); // icon, not cursor
    PutLittleEndian(file, static_cast<uint32_t>(edges.size()), 2);
    uint32_t offset = static_cast<uint32_t>(6 + 16 * edges.size());
    for (size_t i = 0; i < edges.size(); ++i) {
        file.push_back(static_cast<uint8_t>(edges[i]));
        file.push_back(static_cast<uint8_t>(edges[i]));
        file.push_back(0); // no palette
        file.push_back(0);
        PutLittleEndian(file, 1, 2);  // planes
        PutLittleEndian(file, 32, 2); // bits per pixel
        PutLittleEndian(file, static_cast<uint32_t>(images[i].size()), 4);
        PutLittleEndian(file, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::vector<uint8_t>& image : images)
        file.insert(file.end(), image.begin(), image.end());
    return file;
}
