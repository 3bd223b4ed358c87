#include "Addr2LineAnswers.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool IsAddressLine(std::string_view line) {
    return line.size() > 2 && line.rfind("0x", 0) == 0 &&
           line.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string_view::npos;
}

// "file:line", "file:line (discriminator n)", "??:0", "file:?".
void SplitPosition(std::string_view position, Addr2LineAnswer& answer) {
    if (const size_t note = position.find(" (discriminator"); note != std::string_view::npos)
        position = position.substr(0, note);
    const size_t colon = position.rfind(':');
    if (colon == std::string_view::npos) {
        answer.File = std::string(position);
        return;
    }
    answer.File = std::string(position.substr(0, colon));
    answer.Line =
        static_cast<uint32_t>(std::strtoul(std::string(position.substr(colon + 1)).c_str(), nullptr, 10));
}

} // namespace

std::vector<Addr2LineAnswer> ParseAddr2LineAnswers(std::string_view output) {
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos < output.size();) {
        const size_t end = std::min(output.find('\n', pos), output.size());
        std::string_view line = output.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        pos = end + 1;
    }
    std::vector<Addr2LineAnswer> answers;
    for (size_t i = 0; i < lines.size();) {
        if (!IsAddressLine(lines[i])) {
            ++i;
            continue;
        }
        Addr2LineAnswer answer;
        answer.Address = std::strtoull(std::string(lines[i].substr(2)).c_str(), nullptr, 16);
        ++i;
        // Pairs of function and position; the first pair is the innermost.
        bool first = true;
        while (i < lines.size() && !IsAddressLine(lines[i])) {
            const std::string_view function = lines[i];
            const std::string_view position = i + 1 < lines.size() ? lines[i + 1] : std::string_view();
            if (first) {
                answer.Function = std::string(function);
                SplitPosition(position, answer);
                first = false;
            } else {
                answer.InlinedInto.emplace_back(function);
            }
            i += 2;
        }
        answers.push_back(std::move(answer));
    }
    return answers;
}
