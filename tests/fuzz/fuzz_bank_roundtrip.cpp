// What the reader loads from any bytes, the writers save in both forms and
// the reader loads back unchanged.
#include <cstdlib>

#include "framework/ByteChunk.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteChunk chunk;
    if (size > 0 && chunk.PutBytes(data, static_cast<int>(size)) < 0) return 0;
    PatchLibrarian lib(nullptr);
    PatchFile bank;
    lib.loadFromChunk(&chunk, chunk.Size(), &bank);
    if (bank.patches.empty()) return 0;

    for (bool smf : {false, true}) {
        ByteChunk image;
        if (!buildBankImage(bank.patches, smf, &image)) std::abort();
        PatchFile back;
        lib.loadFromChunk(&image, image.Size(), &back);
        if (back.patches.size() != static_cast<size_t>(kBankSlots)) std::abort();
        for (int i = 0; i < kBankSlots; ++i)
            if (back.patches[i].sysexMessages[0].data != bank.patches[i].sysexMessages[0].data ||
                back.patches[i].name != bank.patches[i].name)
                std::abort();
    }
    return 0;
}
