// kestrow: the window. Loads the options, applies the command line and shows the main window;
// the program ends when the window closes.
#include <unistd.h>

#include <QApplication>
#include <QStringList>
#include <cerrno>
#include <string>
#include <vector>

#include "settings/commandline.h"
#include "settings/options.h"
#include "ui/caboutdlg.h"
#include "ui/ckestrowdlg.h"

namespace {

std::string CurrentDirectory() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return "/";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrow;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrow"));
    QApplication::setApplicationVersion(QStringLiteral(KESTROW_VERSION));
    QApplication::setWindowIcon(KestrowIcon());

    std::vector<std::string> args;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    const CommandLine line = ParseCommandLine(args);

    CKestrowDlg::Setup setup;
    setup.settings = LocateSettings(CurrentSettingsPlaces(line.settingsFile));
    ProcessOptions options;
    // A settings file that cannot be read leaves the initial values, as a missing one does.
    (void)LoadOptions(setup.settings, options);

    const std::string cwd = CurrentDirectory();
    setup.run = ApplyCommandLine(line, cwd, options);
    setup.mode = line.mode;
    if (!setup.run.active && !line.directory.empty()) {
        // A directory without a mode opens the window on it.
        options.lastDir = SplitRunDirectory(line.directory, cwd).directory;
    }

    CKestrowDlg window(options, setup);
    window.show();
    return QApplication::exec();
}
