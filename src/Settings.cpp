#include "src/Settings.h"

#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <sstream>

#include "framework/ByteChunk.h"
#include "src/PatchLibrarianWriteBank.h"

namespace {

constexpr std::array<const char*, 3> kSizeWords = {"small", "normal", "large"};
constexpr std::array<const char*, 3> kSkinWords = {"legacy", "s-model", "platinum"};
constexpr const char* kFirstRunYes = "first run: yes";
constexpr const char* kFirstRunNo = "first run: no";
// Far more than the three lines; a larger file is not the settings.
constexpr off_t kMaxSettingsFileSize = 64 * 1024;

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// The index of word in words, or -1.
template <size_t N>
int indexOf(const std::array<const char*, N>& words, const std::string& word) {
    for (size_t i = 0; i < N; ++i)
        if (word == words[i]) return static_cast<int>(i);
    return -1;
}

}  // namespace

double HalvoranSettings::scale() const {
    switch (size) {
        case kSizeSmall:
            return 0.75;
        case kSizeLarge:
            return 1.25;
        default:
            return 1.0;
    }
}

const char* HalvoranSettings::sizeWord(int size) {
    return size >= 0 && size < 3 ? kSizeWords[size] : kSizeWords[kSizeNormal];
}

const char* HalvoranSettings::skinWord(int skin) {
    return skin >= 0 && skin < 3 ? kSkinWords[skin] : kSkinWords[kSkinLegacy];
}

std::string settingsFilePath(const std::string& dataFolder, const std::string& effectName) {
    return dataFolder + effectName + " UI.txt";
}

bool parseSettingsText(std::string_view text, HalvoranSettings* settings) {
    if (!settings) return false;
    *settings = HalvoranSettings();
    // Editors that save UTF-8 with a byte-order mark put it before the first line.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    std::istringstream in{std::string(text)};
    std::string lines[3];
    for (std::string& line : lines)
        if (!std::getline(in, line)) line.clear();

    bool understood = true;
    int size = indexOf(kSizeWords, trimmed(lines[0]));
    int skin = indexOf(kSkinWords, trimmed(lines[1]));
    std::string first = trimmed(lines[2]);
    if (size >= 0)
        settings->size = size;
    else
        understood = false;
    if (skin >= 0)
        settings->skin = skin;
    else
        understood = false;
    if (first == kFirstRunNo)
        settings->firstRun = false;
    else if (first != kFirstRunYes)
        understood = false;
    return understood;
}

bool readSettingsFile(const std::string& path, HalvoranSettings* settings) {
    if (!settings) return false;
    *settings = HalvoranSettings();
    // A rewrite that was killed half way left its temporary beside the file.
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        removeStaleTemporaries(".", path);
    else
        removeStaleTemporaries(slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1));
    // Only a regular file is read: a pipe or a device of that name would
    // hold the start-up for as long as nothing writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxSettingsFileSize) {
        char buf[512];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            text.append(buf, static_cast<size_t>(n));
        }
    } else {
        ::close(fd);
        return false;
    }
    ::close(fd);
    return parseSettingsText(text, settings);
}

bool writeSettingsFile(const std::string& path, const HalvoranSettings& settings) {
    try {
        Poco::Path folder(path);
        folder.makeParent();
        Poco::File(folder).createDirectories();
    } catch (const Poco::Exception&) {
        return false;
    }
    std::ostringstream out;
    out << HalvoranSettings::sizeWord(settings.size) << '\n'
        << HalvoranSettings::skinWord(settings.skin) << '\n'
        << (settings.firstRun ? kFirstRunYes : kFirstRunNo) << '\n';
    const std::string text = out.str();
    // As the banks are written: a new file renamed over the old one once it
    // is on disk, so a crash or a full disk never leaves half a file.
    ByteChunk bytes;
    return bytes.PutBytes(text.data(), static_cast<int>(text.size())) >= 0 && writeFileReplacing(path, bytes);
}
