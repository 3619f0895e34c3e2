// Saving the upper bank back over a file.
#include <memory>

#include "framework/ByteChunk.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianWriteBank.h"

bool PatchLibrarian::saveEditedPatch(std::string path, std::string name) {
    PatchFile* upper = upperBank();
    if (!upper) return false;
    std::unique_ptr<PatchFile> copy(upper->clone());
    copy->fileName = name;
    resizeToBankSlots(copy->patches);

    const size_t dot = name.find_last_of('.');
    const std::string kind = dot == std::string::npos ? name : name.substr(dot + 1);
    const bool smf = kind == "mid";
    std::string extended = name;
    if (smf)
        extended += ".mid";
    else if (kind == "syx" || kind == "hvx")
        extended += ".hvx";
    else if (kind == "qzx")
        extended += ".qzx";
    ByteChunk image;
    if (!buildBankImage(copy->patches, smf, &image) || !writeFileReplacing(path, image)) return false;
    // Renamed only once the file is written: a failed save keeps the name.
    if (plug) plug->upperBankName = extended;
    return true;
}
