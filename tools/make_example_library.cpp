// make-example-library: writes the small demo library of release folders (tiny MP3 files with
// SFV, M3U and NFO lists) that scripts/run works on. Usage: make-example-library FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/crc32.h"
#include "tests/support/mp3builder.h"

namespace fs = std::filesystem;
using namespace kestrow::test;

namespace {

struct Track {
    std::string name;
    std::string bytes;
};

struct Release {
    fs::path dir;
    std::string title;
    std::vector<Track> tracks;
};

bool Write(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::fprintf(stderr, "make-example-library: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

std::string CrcHex(const std::string& bytes) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", kestrow::Crc32(0, bytes.data(), bytes.size()));
    return text;
}

std::string Sfv(const std::vector<Track>& tracks) {
    std::string out = "; Generated for the Kestrow demo library\r\n";
    for (const Track& t : tracks) out += t.name + " " + CrcHex(t.bytes) + "\r\n";
    return out;
}

std::string M3u(const std::vector<Track>& tracks) {
    std::string out = "#EXTM3U\r\n";
    for (const Track& t : tracks) out += t.name + "\r\n";
    return out;
}

std::string Nfo(const std::string& title) {
    return "  " + title + "\r\n\r\n  Demo release made of silent MPEG frames for trying the program.\r\n";
}

std::string Audio(int kbps, int frames, std::vector<int> vbr = {}) {
    MpegStream s;
    s.bitrateKbps = kbps;
    s.frameCount = frames;
    s.vbrRatesKbps = std::move(vbr);
    return MakeMpegStream(s);
}

// A v2.3 tag; the track number keeps every file's bytes (and CRC) distinct.
std::string V23(const std::string& artist, const std::string& title, int track, const std::string& genre,
                const std::string& year) {
    return Id3v2Builder(3)
        .Text("TPE1", artist)
        .Text("TIT2", title)
        .Text("TRCK", std::to_string(track))
        .Text("TCON", genre)
        .Text("TYER", year)
        .Bytes();
}

bool WriteTracks(const fs::path& dir, const std::vector<Track>& tracks) {
    for (const Track& t : tracks) {
        if (!Write(dir / t.name, t.bytes)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-example-library FOLDER\n");
        return 2;
    }
    fs::path root = argv[1];
    std::error_code ec;
    if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
        std::fprintf(stderr, "make-example-library: %s is not empty; remove it first\n", root.c_str());
        return 1;
    }
    bool ok = true;

    // Complete and correct: every list matches the files.
    {
        fs::path dir = root / "Artist_Name-Album_Title-2008-GRP";
        std::vector<Track> tracks;
        const char* titles[] = {"intro", "first_song", "second_song", "outro"};
        for (int i = 0; i < 4; ++i) {
            std::string name = "0" + std::to_string(i + 1) + "-artist_name-" + titles[i] + "-grp.mp3";
            tracks.push_back(
                {name, MakeMp3(V23("Artist Name", titles[i], i + 1, "Hip-Hop", "2008"), Audio(192, 6))});
        }
        ok = ok && WriteTracks(dir, tracks);
        ok = ok && Write(dir / "00-artist_name-album_title-2008-grp.sfv", Sfv(tracks));
        ok = ok && Write(dir / "00-artist_name-album_title-2008-grp.m3u", M3u(tracks));
        ok = ok && Write(dir / "00-artist_name-album_title-2008-grp.nfo", Nfo("Artist Name - Album Title"));
    }

    // A missing file (listed, never written) and a corrupt one (changed after its CRC was taken).
    {
        fs::path dir = root / "Another_Artist-Broken_Album-2007-GRP";
        std::vector<Track> tracks;
        for (int i = 0; i < 4; ++i) {
            std::string name =
                "0" + std::to_string(i + 1) + "-another_artist-track_" + std::to_string(i + 1) + "-grp.mp3";
            Id3v1Fields v1{
                "Track " + std::to_string(i + 1), "Another Artist", "Broken Album", "2007", "", i + 1, 17};
            tracks.push_back({name, MakeMp3("", Audio(128, 6), MakeId3v1Tag(v1))});
        }
        ok = ok && Write(dir / "00-another_artist-broken_album-2007-grp.sfv", Sfv(tracks));
        ok = ok && Write(dir / "00-another_artist-broken_album-2007-grp.m3u", M3u(tracks));
        ok = ok &&
             Write(dir / "00-another_artist-broken_album-2007-grp.nfo", Nfo("Another Artist - Broken Album"));
        tracks.erase(tracks.begin() + 2);                     // 03 is missing
        tracks[1].bytes[tracks[1].bytes.size() / 2] ^= 0x55;  // 02 is corrupt
        ok = ok && WriteTracks(dir, tracks);
    }

    // Names longer than 64 characters, a version 2.4 tag, a variable bit rate, and no playlist.
    {
        fs::path dir =
            root /
            "The_Extraordinarily_Long_Artist_Name-An_Exceptionally_Long_Album_Title_Deluxe_Edition-2009-GRP";
        std::vector<Track> tracks;
        const char* titles[] = {"a_remarkably_long_opening_track_title_with_extra_words",
                                "the_second_track_that_also_has_a_far_too_long_title"};
        for (int i = 0; i < 2; ++i) {
            std::string name = "0" + std::to_string(i + 1) + "-the_extraordinarily_long_artist_name-" +
                               titles[i] + "-grp.mp3";
            std::string tag = Id3v2Builder(4)
                                  .Text("TPE1", "The Extraordinarily Long Artist Name", TextEncoding::Utf8)
                                  .Text("TIT2", titles[i], TextEncoding::Utf8)
                                  .Text("TRCK", std::to_string(i + 1))
                                  .Text("TCON", "Electronic")
                                  .Text("TDRC", "2009")
                                  .Bytes();
            tracks.push_back({name, MakeMp3(tag, Audio(128, 9, {128, 192, 256}))});
        }
        ok = ok && WriteTracks(dir, tracks);
        ok = ok &&
             Write(
                 dir /
                     "00-the_extraordinarily_long_artist_name-an_exceptionally_long_album_title-2009-grp.sfv",
                 Sfv(tracks));
        ok = ok &&
             Write(
                 dir /
                     "00-the_extraordinarily_long_artist_name-an_exceptionally_long_album_title-2009-grp.nfo",
                 Nfo("The Extraordinarily Long Artist Name - An Exceptionally Long Album Title"));
    }

    // Two discs in CD1 and CD2, each with its own lists; the NFO lies in the release folder.
    {
        fs::path dir = root / "Multi_Disc_Artist-Double_Album-2006-GRP";
        ok = ok && Write(dir / "00-multi_disc_artist-double_album-2006-grp.nfo",
                         Nfo("Multi Disc Artist - Double Album"));
        for (int disc = 1; disc <= 2; ++disc) {
            fs::path cd = dir / ("CD" + std::to_string(disc));
            std::vector<Track> tracks;
            for (int i = 0; i < 3; ++i) {
                std::string num = std::to_string(disc) + std::to_string(i + 1);
                std::string name = num + "-multi_disc_artist-disc_" + std::to_string(disc) + "_song_" +
                                   std::to_string(i + 1) + "-grp.mp3";
                Id3v1Fields v1{"Song " + num, "Multi Disc Artist", "Double Album", "2006", "", i + 1, 8};
                tracks.push_back(
                    {name, MakeMp3(V23("Multi Disc Artist", "Song " + num, i + 1, "Jazz", "2006"),
                                   Audio(160, 6), MakeId3v1Tag(v1))});
            }
            std::string base = "00-multi_disc_artist-double_album-cd" + std::to_string(disc) + "-2006-grp";
            ok = ok && WriteTracks(cd, tracks);
            ok = ok && Write(cd / (base + ".sfv"), Sfv(tracks));
            ok = ok && Write(cd / (base + ".m3u"), M3u(tracks));
        }
    }
    return ok ? 0 : 1;
}
