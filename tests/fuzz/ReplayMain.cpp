// Feeds every file of the folders (or the files) named on the command line to the fuzz target once,
// in name order, so a run under the sanitizers repeats the same inputs on every machine.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::filesystem::filesystem_error("cannot open", path, std::make_error_code(std::errc::io_error));
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder or file>...\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path given(argv[i]);
        if (std::filesystem::is_directory(given)) {
            for (const auto& entry : std::filesystem::directory_iterator(given))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else {
            inputs.push_back(given);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    // An empty corpus would make a passing run mean nothing.
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs in the given corpus\n");
        return 1;
    }
    for (const auto& path : inputs) {
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        // No bytes come as a null pointer, the stricter case: copying from null is undefined even for
        // zero bytes.
        LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
