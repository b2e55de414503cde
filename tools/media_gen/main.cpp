// dravik-media-gen: writes every media file the game loads into one folder, deterministically.
// Usage: dravik-media-gen OUTPUT_DIR [--png-previews PREVIEW_DIR] [--icons ICON_DIR]
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "dds_writer.h"
#include "icon.h"
#include "pictures.h"
#include "plane_model.h"
#include "preview.h"
#include "sounds.h"
#include "tunes.h"

namespace {

bool makeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "dravik-media-gen: cannot create folder '%s': %s\n", dir.c_str(),
                     ec.message().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outDir, previewDir, iconDir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--png-previews") == 0 && i + 1 < argc) {
            previewDir = argv[++i];
        } else if (std::strcmp(argv[i], "--icons") == 0 && i + 1 < argc) {
            iconDir = argv[++i];
        } else if (outDir.empty() && argv[i][0] != '-') {
            outDir = argv[i];
        } else {
            outDir.clear();
            break;
        }
    }
    if (outDir.empty()) {
        std::fprintf(
            stderr,
            "usage: dravik-media-gen OUTPUT_DIR [--png-previews PREVIEW_DIR] [--icons ICON_DIR]\n");
        return 2;
    }
    if (!makeFolder(outDir) || (!previewDir.empty() && !makeFolder(previewDir))) {
        return 1;
    }

    MediaPictures pictures{makeBackground(), makeDigits(),    makeArrow(),
                           makeStar(),       makePlaneSkin(), makeIcon()};
    PlaneMesh plane = buildPlane();
    const std::string d = outDir + "/";
    bool ok =
        writeDds(d + "BG.dds", pictures.background) && writeDds(d + "digit.dds", pictures.digits) &&
        writeDds(d + "arrow.dds", pictures.arrow) && writeDds(d + "star.dds", pictures.star) &&
        writeDds(d + "planeskin.dds", pictures.skin) && writeXFile(d + "myplane.x", plane) &&
        writePng(d + "dravik.png", pictures.icon) && writeEveningTune(d + "evening.mid") &&
        writeVelmoTune(d + "velmo.mid") && writeWav(d + "crush.wav", makeCrash()) &&
        writeWav(d + "sound136.wav", makeRecordChime()) && writeWav(d + "alert.wav", makeAlert());
    // The desktop's icon theme: the same drawing at every installed size, and as SVG.
    if (ok && !iconDir.empty() && !writeIconTheme(iconDir, "dravik")) {
        std::fprintf(stderr, "dravik-media-gen: failed to write the icons into '%s'\n",
                     iconDir.c_str());
        return 1;
    }
    if (ok && !previewDir.empty()) {
        ok = writePreviews(previewDir, pictures, plane);
    }
    if (!ok) {
        std::fprintf(stderr, "dravik-media-gen: failed to write the media into '%s'\n",
                     outDir.c_str());
        return 1;
    }
    return 0;
}
