// draw-images [--only NAME,NAME...] SOURCE OUT
// Paints every image of the bundle and writes it as PNG below OUT (the
// bundle's resources folder): knob strips, buttons, lamps and the backgrounds
// of the three skins. SOURCE is the resources source folder: it reads
// images/images.xml (the files and how each is painted), the default section
// layout images/default-sections.xml, and the panel's own layout
// panel-sections.xml when there is one, whose backgrounds replace the
// defaults and whose <images> list sets the sizes and texts the panel is laid
// out for. --only paints just the named output files.
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "raster/RAST_PngWrite.h"
#include "tools/draw-images/ImageList.h"
#include "tools/draw-images/Paint.h"

namespace fs = std::filesystem;
using namespace drawimages;

namespace {

int usage() {
    std::fprintf(stderr, "usage: draw-images [--only NAME,NAME...] SOURCE OUT\n");
    return 2;
}

// The file an image is written to for a skin: backgrounds carry the skin's suffix.
std::string outputFile(const ImageEntry& image, const Palette& pal) {
    if (!image.perSkin) return image.file;
    const std::string f = image.file;
    return f.substr(0, f.size() - 4) + pal.suffix + ".png";
}

bool writeAtomically(const fs::path& path, Canvas& canvas) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const fs::path part = path.string() + ".part";
    if (!RAST_WritePng(part.string(), RAST_PngFromBitmap(canvas.bitmap()))) return false;
    fs::rename(part, path, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    std::set<std::string> only;
    int arg = 1;
    if (arg < argc && std::string(argv[arg]) == "--only") {
        if (arg + 1 >= argc) return usage();
        std::stringstream names(argv[arg + 1]);
        for (std::string n; std::getline(names, n, ',');)
            if (!n.empty()) only.insert(n);
        arg += 2;
    }
    if (argc - arg != 2) return usage();
    const fs::path source = argv[arg], out = argv[arg + 1];

    std::vector<ImageEntry> images;
    std::string error;
    if (!readImageEntries((source / "images" / "images.xml").string(), images, error)) {
        std::fprintf(stderr, "draw-images: %s\n", error.c_str());
        return 1;
    }
    Layout layout;
    if (!readLayout((source / "images" / "default-sections.xml").string(), images, layout, error)) {
        std::fprintf(stderr, "draw-images: %s\n", error.c_str());
        return 1;
    }
    const fs::path panelLayout = source / "panel-sections.xml";
    std::vector<std::string> notes;
    if (fs::exists(panelLayout) && (!readLayout(panelLayout.string(), images, layout, error) ||
                                    !readImageOverrides(panelLayout.string(), images, notes, error))) {
        std::fprintf(stderr, "draw-images: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& note : notes) std::fprintf(stderr, "draw-images: note: %s\n", note.c_str());

    int written = 0;
    for (const ImageEntry& image : images) {
        const auto found = layout.find(image.stem());
        const PanelLayout* panel = found == layout.end() ? nullptr : &found->second;
        // Shared images take the default skin's colours.
        for (int skin : image.perSkin ? std::vector<int>{0, 1, 2} : std::vector<int>{1}) {
            const Palette& pal = skinPalette(skin);
            const std::string file = outputFile(image, pal);
            if (!only.empty() && !only.count(fs::path(file).filename().string())) continue;
            auto canvas = paintImage(image, panel, pal);
            if (!canvas) {
                std::fprintf(stderr, "draw-images: %s: no painter for kind \"%s\"\n", file.c_str(), image.kind.c_str());
                return 1;
            }
            if (!writeAtomically(out / file, *canvas)) {
                std::fprintf(stderr, "draw-images: cannot write %s\n", (out / file).c_str());
                return 1;
            }
            written++;
        }
    }
    std::printf("draw-images: %d images in %s\n", written, out.c_str());
    return 0;
}
