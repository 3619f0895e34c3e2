// Any bytes through the icon and cursor reader: no read past the data, and
// an image comes out only whole and within the reader's bounds.
#include <cstdlib>
#include <vector>

#include "platform/appkit/IconDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy, so that a read past the end trips the sanitizer.
    std::vector<uint8_t> bytes(data, data + size);
    auto image = platform::appkit::decodeIconFile(bytes.data(), bytes.size());
    if (image) {
        if (image->width < 1 || image->height < 1 || image->width > 1024 || image->height > 1024) std::abort();
        if (image->argb.size() != size_t(image->width) * size_t(image->height)) std::abort();
    }
    return 0;
}
