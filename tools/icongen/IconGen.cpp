// icongen: the build's icon maker. Turns an icon kept as text (see IconText.h) into an .ico file.
//
//   icongen <input.txt> <output.ico> <edge>...
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "IconText.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: icongen <input.txt> <output.ico> <edge>...\n";
        return 2;
    }
    const std::string input = argv[1], output = argv[2];
    try {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::cerr << "icongen: " << input << ": cannot open\n";
            return 1;
        }
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<int> edges;
        for (int i = 3; i < argc; ++i)
            edges.push_back(std::stoi(argv[i]));
        const std::vector<uint8_t> icon = WriteIconFile(ParseIconText(text), edges);
        std::ofstream out(output, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(icon.data()), static_cast<std::streamsize>(icon.size()));
        out.close();
        if (!out) {
            // A half-written icon would look up to date to the build and get linked in.
            std::remove(output.c_str());
            std::cerr << "icongen: " << output << ": cannot write\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "icongen: " << input << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
