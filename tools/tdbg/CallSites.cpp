#include "CallSites.h"

#include <algorithm>
#include <cstdlib>
#include <string>

std::vector<uint64_t> CallSitesInDisassembly(std::string_view disassembly) {
    std::vector<uint64_t> sites;
    size_t pos = 0;
    while (pos < disassembly.size()) {
        const size_t end = std::min(disassembly.find('\n', pos), disassembly.size());
        std::string_view line = disassembly.substr(pos, end - pos);
        pos = end + 1;
        // "  40106b:\tcall   4907a0 <___set_app_type>"; "calll" and "call*" forms included.
        const size_t colon = line.find(":\t");
        if (colon == std::string_view::npos)
            continue;
        const std::string_view mnemonic = line.substr(colon + 2);
        if (mnemonic.rfind("call", 0) != 0)
            continue;
        const std::string_view address = line.substr(0, colon);
        const size_t digits = address.find_first_not_of(' ');
        if (digits == std::string_view::npos ||
            address.find_first_not_of("0123456789abcdef", digits) != std::string_view::npos)
            continue;
        sites.push_back(std::strtoull(std::string(address.substr(digits)).c_str(), nullptr, 16));
    }
    std::sort(sites.begin(), sites.end());
    return sites;
}

std::vector<uint64_t> EvenSample(const std::vector<uint64_t>& addresses, size_t count, bool repeat) {
    if (addresses.empty())
        return {};
    if (addresses.size() <= count && !repeat)
        return addresses;
    std::vector<uint64_t> sample;
    sample.reserve(count);
    for (size_t i = 0; i < count; ++i)
        sample.push_back(
            addresses[static_cast<size_t>(static_cast<unsigned __int128>(i) * addresses.size() / count)]);
    return sample;
}
