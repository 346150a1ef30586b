// Command-line overrides of the options.
#include "settings/commandline.h"

namespace kestrow {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // The settings file is taken before anything else so that its path is never mistaken
        // for the directory to process.
        if (arg == "--settings") {
            if (i + 1 < args.size()) line.settingsFile = args[++i];
            continue;
        }
        if (arg.rfind("--settings=", 0) == 0) {
            line.settingsFile = arg.substr(11);
            continue;
        }
        if (arg.size() == 2 && arg[0] == '-') {
            switch (arg[1]) {
                case 'C':
                case 'c':
                    line.mode = 'C';
                    break;
                case 'P':
                case 'p':
                    line.mode = 'P';
                    break;
                case 'R':
                case 'r':
                    line.mode = 'R';
                    break;
                default:
                    break;
            }
            continue;
        }
        // Any slash counts, the leading one of an absolute path too, so "/music" is a directory.
        if (arg.size() > 2 && arg.find('/') != std::string::npos) {
            std::string dir;
            for (char c : arg) {
                if (c != '"') dir.push_back(c);
            }
            if (dir.empty() || dir.back() != '/') dir.push_back('/');
            line.directory = std::move(dir);
        }
    }
    return line;
}

RunDirectory SplitRunDirectory(std::string_view directory, std::string_view cwd) {
    std::vector<std::string_view> parts;
    auto addParts = [&parts](std::string_view path) {
        while (!path.empty()) {
            std::size_t slash = path.find('/');
            std::string_view part = path.substr(0, slash);
            if (!part.empty() && part != ".") parts.push_back(part);
            if (slash == std::string_view::npos) break;
            path.remove_prefix(slash + 1);
        }
    };
    if (directory.empty() || directory.front() != '/') addParts(cwd);
    addParts(directory);

    RunDirectory run;
    run.parent = "/";
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) run.parent.append(parts[i]).append("/");
    if (!parts.empty()) run.name = parts.back();
    run.directory = run.parent;
    if (!run.name.empty()) run.directory.append(run.name).append("/");
    return run;
}

UnattendedRun ApplyCommandLine(const CommandLine& line, std::string_view cwd, ProcessOptions& options) {
    UnattendedRun run;
    if (line.mode == 0 || line.directory.empty()) return run;
    run.active = true;
    run.where = SplitRunDirectory(line.directory, cwd);
    options.lastProcessOption = line.mode == 'R' ? 0 : line.mode == 'P' ? 1 : 2;
    options.lastDir = run.where.directory;
    return run;
}

}  // namespace kestrow
