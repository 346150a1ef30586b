// Splitting paths into directory, title, extension and components.
#include "content/pathname.h"

#include <algorithm>

namespace kestrow {

void PathName::Set(std::string_view path, bool isDirectory) {
    drive.clear();
    title.clear();
    ext.clear();
    auto slash = path.find_last_of('/');
    std::string_view dirPart =
        slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    std::string_view namePart = slash == std::string_view::npos ? path : path.substr(slash + 1);
    dir.assign(dirPart);
    if (!isDirectory || (dir.empty() && namePart.empty())) {
        SetFileName(namePart);
    } else {
        dir.append(namePart);
        if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    }
    SplitComponents();
}

void PathName::SetFileName(std::string_view name) {
    auto dot = name.find_last_of('.');
    // A trailing dot has no extension after it; keeping it in the title keeps the name whole.
    if (dot == std::string_view::npos || dot + 1 == name.size()) {
        title.assign(name);
        ext.clear();
    } else {
        title.assign(name.substr(0, dot));
        ext.assign(name.substr(dot + 1));
    }
}

void PathName::SetDir(std::string_view d) {
    dir.assign(d);
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    SplitComponents();
}

std::string PathName::FileName() const {
    return ext.empty() ? title : title + "." + ext;
}

std::string PathName::Component(int i) const {
    if (i < 0) return dir;
    if (i >= static_cast<int>(components.size())) return {};
    return components[static_cast<std::size_t>(i)];
}

void PathName::SplitComponents() {
    components.clear();
    std::size_t start = (!dir.empty() && dir.front() == '/') ? 1 : 0;
    for (std::size_t pos = dir.find('/', start); pos != std::string::npos; pos = dir.find('/', start)) {
        components.push_back(dir.substr(start, pos - start));
        start = pos + 1;
    }
}

}  // namespace kestrow
