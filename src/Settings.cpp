#include "src/Settings.h"

#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <sstream>
#include <vector>

#include "base/BASE_RegularFile.h"
#include "framework/ByteChunk.h"
#include "src/PatchLibrarianWriteBank.h"

namespace {

constexpr std::array<const char*, 3> kSizeWords = {"small", "normal", "large"};
constexpr std::array<const char*, 3> kSkinWords = {"legacy", "s-model", "platinum"};
constexpr const char* kFirstRunYes = "first run: yes";
constexpr const char* kFirstRunNo = "first run: no";
// Far more than the three lines; a larger file is not the settings.
constexpr size_t kMaxSettingsFileSize = 64 * 1024;

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

namespace {

bool holdsSettings(const std::string& path, HalvoranSettings* settings) {
    std::string text;
    return BASE_ReadRegularFile(path.c_str(), kMaxSettingsFileSize, text) && parseSettingsText(text, settings);
}

}  // namespace

bool readSettingsFile(const std::string& path, HalvoranSettings* settings, bool* found) {
    if (!settings) return false;
    *settings = HalvoranSettings();
    struct stat st {};
    if (found) *found = ::lstat(path.c_str(), &st) == 0;
    // A rewrite that was killed half way left its temporary beside the file.
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        removeStaleTemporaries(".", path);
    else
        removeStaleTemporaries(slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1));
    // Only a regular file is read: a pipe or a device of that name would
    // hold the start-up for as long as nothing writes to it.
    return holdsSettings(path, settings);
}

bool writeSettingsFile(const std::string& path, const HalvoranSettings& settings, std::string* replacedLink) {
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
    if (bytes.PutBytes(text.data(), static_cast<int>(text.size())) < 0) return false;
    // A link is followed only to a file that holds settings. One that leads
    // to anything else (the user's notes, a bank) keeps its target as it is,
    // and a settings file of the editor's own takes the link's place.
    AtLink atLink = AtLink::ReplaceTarget;
    std::string target;
    struct stat st {};
    HalvoranSettings there;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !holdsSettings(path, &there)) {
        atLink = AtLink::ReplaceLink;
        std::vector<char> buf(static_cast<size_t>(PATH_MAX));
        const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        target = n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : "(a link that could not be read)";
    }
    if (!writeFileReplacing(path, bytes, atLink)) return false;
    if (replacedLink) *replacedLink = target;
    return true;
}
