#include "SourcePaths.h"

#include <vector>

std::string SourcePathForReport(std::string_view path, std::string_view sourceRoot) {
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> parts;
    for (size_t pos = 0; pos <= path.size();) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string_view part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else
            parts.push_back(part);
    }
    std::string joined = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i != 0)
            joined += '/';
        joined += parts[i];
    }
    std::string root(sourceRoot);
    if (!root.empty() && root.back() != '/')
        root += '/';
    if (root.size() > 1 && joined.rfind(root, 0) == 0)
        joined.erase(0, root.size());
    return joined;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (folder.empty() || (!name.empty() && name.front() == '/'))
        return std::string(name);
    std::string joined(folder);
    if (joined.back() != '/')
        joined += '/';
    return joined += name;
}
