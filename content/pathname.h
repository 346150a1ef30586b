// A path held in split form: directory part, title, extension and directory components.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// On Linux there is no drive part and "/" is the separator. The directory part always ends in
// "/" when non-empty; an absolute path's components start after its leading "/".
class PathName {
public:
    PathName() = default;
    PathName(std::string_view path, bool isDirectory) { Set(path, isDirectory); }

    // isDirectory true makes the whole path the directory part.
    void Set(std::string_view path, bool isDirectory);
    // Splits a bare name at its last "." into title and extension.
    void SetFileName(std::string_view name);
    void SetDir(std::string_view dir);

    std::string FileName() const;  // title + "." + ext, or title alone
    std::string DirPath() const { return drive + dir; }
    std::string FullPath() const { return DirPath() + FileName(); }
    std::string DottedExt() const { return ext.empty() ? std::string() : "." + ext; }
    const std::string& Title() const { return title; }
    const std::string& Ext() const { return ext; }
    // Component i; an empty string past the end; a negative i yields the directory part.
    std::string Component(int i) const;
    int ComponentCount() const { return static_cast<int>(components.size()); }
    // The last component: a directory's own name.
    std::string LastComponent() const { return components.empty() ? std::string() : components.back(); }

    std::string dir;
    std::string drive;
    std::string ext;
    std::string title;
    std::vector<std::string> components;

private:
    void SplitComponents();
};

}  // namespace kestrow
