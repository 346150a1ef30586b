// The pictures live in the program's resources; each is rendered once per size and kept.
#include "ui/art.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resources sit in a static library: they are registered before the first use.
static void InitArtResources() {
    Q_INIT_RESOURCE(art);
}

namespace kestrow {

namespace {

const char* FileOf(Art art) {
    switch (art) {
        case Art::Program:
            return ":/kestrow/kestrow.svg";
        case Art::DriveFixed:
            return ":/kestrow/drive-fixed.svg";
        case Art::DriveRemovable:
            return ":/kestrow/drive-removable.svg";
        case Art::DriveNetwork:
            return ":/kestrow/drive-network.svg";
        case Art::DriveOptical:
            return ":/kestrow/drive-optical.svg";
        case Art::DriveRam:
            return ":/kestrow/drive-ram.svg";
        case Art::Network:
            return ":/kestrow/network.svg";
        case Art::M3uYes:
            return ":/kestrow/m3u-yes.svg";
        case Art::M3uNo:
            return ":/kestrow/m3u-no.svg";
        case Art::SfvYes:
            return ":/kestrow/sfv-yes.svg";
        case Art::SfvNo:
            return ":/kestrow/sfv-no.svg";
    }
    return "";
}

// The desktop's own picture where its theme has one; ours otherwise.
const char* ThemeNameOf(Art art) {
    switch (art) {
        case Art::DriveFixed:
            return "drive-harddisk";
        case Art::DriveRemovable:
            return "drive-removable-media";
        case Art::DriveNetwork:
            return "folder-remote";
        case Art::DriveOptical:
            return "drive-optical";
        case Art::Network:
            return "network-workgroup";
        default:
            return nullptr;
    }
}

QIcon Render(Art art) {
    QSvgRenderer svg(QString::fromLatin1(FileOf(art)));
    QIcon icon;
    // 16 and 32 pixels serve 100 % and 200 %; the others the sizes between and above.
    for (int size : {16, 20, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QIcon ArtIcon(Art art) {
    static bool registered = [] {
        InitArtResources();
        return true;
    }();
    (void)registered;
    static QHash<int, QIcon> cache;
    const int key = static_cast<int>(art);
    auto it = cache.find(key);
    if (it == cache.end()) {
        QIcon ours = Render(art);
        if (const char* theme = ThemeNameOf(art)) ours = QIcon::fromTheme(QString::fromLatin1(theme), ours);
        it = cache.insert(key, ours);
    }
    return *it;
}

Art DriveArt(platform::DriveType type) {
    switch (type) {
        case platform::DriveType::Fixed:
            return Art::DriveFixed;
        case platform::DriveType::Removable:
            return Art::DriveRemovable;
        case platform::DriveType::Network:
            return Art::DriveNetwork;
        case platform::DriveType::Optical:
            return Art::DriveOptical;
        case platform::DriveType::RamDisk:
            return Art::DriveRam;
    }
    return Art::DriveFixed;
}

}  // namespace kestrow
