// The program's pictures, drawn as SVG and rendered at the sizes a screen asks for.
#pragma once

#include <QIcon>

#include "platform/drives.h"

namespace kestrow {

enum class Art {
    Program,
    DriveFixed,
    DriveRemovable,
    DriveNetwork,
    DriveOptical,
    DriveRam,
    Network,
    M3uYes,
    M3uNo,
    SfvYes,
    SfvNo
};

QIcon ArtIcon(Art art);
Art DriveArt(platform::DriveType type);

}  // namespace kestrow
