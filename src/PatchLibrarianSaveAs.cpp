// Saving the upper bank under a name the user chooses.
#include <memory>

#include "base/BASE_String.h"
#include "framework/ByteChunk.h"
#include "framework/IGraphics.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianWriteBank.h"

bool PatchLibrarian::savePatchAs(const char* fileName, std::string directory, bool asMid, std::string* chosenPath) {
    IGraphics* gui = plug ? plug->GetGUI() : nullptr;
    if (!gui) return false;
    BASE_String file(fileName), folder(directory.c_str());
    gui->PromptForFile(&file, kFileSave, &folder, asMid ? "mid" : "hvx");
    const std::string chosen = file.Get();
    if (chosenPath) *chosenPath = chosen;
    return !chosen.empty() && savePatchAsPath(chosen, asMid);
}

bool PatchLibrarian::savePatchAsPath(const std::string& path, bool asMid) {
    PatchFile* upper = upperBank();
    if (!upper || path.empty()) return false;
    std::unique_ptr<PatchFile> copy(upper->clone());
    resizeToBankSlots(copy->patches);
    ByteChunk image;
    if (!buildBankImage(copy->patches, asMid, &image) || !writeFileReplacing(path, image)) return false;

    const size_t cut = path.find_last_of("/\\");
    const std::string fileName = cut == std::string::npos ? path : path.substr(cut + 1);
    std::string folderName;
    if (cut != std::string::npos) {
        const std::string directory = path.substr(0, cut);
        const size_t up = directory.find_last_of("/\\");
        folderName = up == std::string::npos ? directory : directory.substr(up + 1);
        removeCharsFromString(folderName, "/\\");
    }
    if (plug) {
        plug->upperBankFolder = folderName.empty() ? "Patches" : folderName;
        plug->upperBankName = fileName;
    }
    return true;
}

void removeCharsFromString(std::string& text, const char* chars) {
    if (!chars) return;
    for (const char* c = chars; *c; ++c) std::erase(text, *c);
}
