#include "engine/drive/image/imagepath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <strings.h>

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// The entry of `folder` whose name equals `part` but for letter case.
std::string caseInsensitiveEntry(const std::string& folder, const std::string& part) {
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) return part;
    std::string found = part;
    while (const dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, part.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string findImageFile(const std::string& directory, const std::string& name) {
    std::string relative = name;
    for (char& c : relative)
        if (c == '\\') c = '/';
    bool absolute = !relative.empty() && relative[0] == '/';
    std::string path = absolute || directory == "." ? relative : directory + relative;
    if (exists(path)) return path;
    // Part by part from the sheet's folder, each as written if it exists.
    std::string resolved = absolute ? "" : directory == "." ? "." : directory.substr(0, directory.size() - 1);
    size_t start = absolute ? 1 : 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        std::string part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        std::string folder = resolved;
        std::string candidate = folder + "/" + part;
        if (!exists(candidate)) candidate = folder + "/" + caseInsensitiveEntry(folder, part);
        resolved = candidate;
    }
    if (!exists(resolved)) return path;
    return resolved.compare(0, 2, "./") == 0 && directory == "." ? resolved.substr(2) : resolved;
}
