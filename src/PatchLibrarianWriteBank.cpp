#include "src/PatchLibrarianWriteBank.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/ByteChunk.h"
#include "src/PatchLibrarianDump.h"

bool buildBankImage(const std::vector<LibrarianPatch>& patches, bool smf, ByteChunk* out) {
    if (!out) return false;
    out->Clear();
    if (smf) out->PutBytes(hvPatchStart, sizeof hvPatchStart);
    const PatchSysexMessage init{std::vector<uint8_t>(hvInitPatchData, hvInitPatchData + kProgramDumpSize)};
    for (int slot = 0; slot < kBankSlots; ++slot) {
        LibrarianPatch one;
        if (slot < static_cast<int>(patches.size())) {
            for (const PatchSysexMessage& m : patches[slot].sysexMessages) {
                if (isSlotProgram(m.data.data(), m.data.size())) {
                    one.sysexMessages.push_back(m);
                    break;
                }
            }
        }
        if (one.sysexMessages.empty()) one.sysexMessages.push_back(init);
        one.save(out, smf, slot);
    }
    if (smf) out->PutBytes(hvPatchEnd, sizeof hvPatchEnd);
    return out->Size() == (smf ? kSmfBankFileSize : kRawBankFileSize);
}

namespace {

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

bool writeFileReplacing(const std::string& requested, const ByteChunk& bytes) {
    if (requested.empty() || requested.back() == '/') return false;
    // A link is followed, so the file it names is the one replaced.
    std::string path = requested;
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved)) return false;
        path = resolved;
    }
    const bool existed = ::stat(path.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;

    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    // Hidden and without a bank extension, so a scan never takes a leftover.
    std::string temp = folder + "/." + base + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;

    mode_t mode;
    if (existed) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && writeAll(fd, bytes.GetBytes(), static_cast<size_t>(bytes.Size()));
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
