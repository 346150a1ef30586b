// kestrow: the window. Loads the options, applies the command line and shows the main window;
// the program ends when the window closes.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "settings/commandline.h"
#include "settings/options.h"
#include "ui/caboutdlg.h"
#include "ui/ckestrowdlg.h"

namespace {

constexpr const char kUsage[] =
    "Usage: kestrow [--settings FILE] [-C|-P|-R DIRECTORY]\n"
    "Opens the Kestrow window; with a mode and a directory, runs that directory unattended and\n"
    "closes. See kestrow(1).\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrow;
    // Answered before any display is needed, so that scripts and packagers can ask.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kestrow %s\n", KESTROW_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
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

    const std::string cwd = platform::CurrentDirectory();
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
