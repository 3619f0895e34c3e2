#pragma once
// The editor's settings file in the data folder: panel size, skin and
// whether the first-run screen is still to be shown. The editor reads it at
// start-up and rewrites it when the user changes size or skin; a change
// shows at the next start.
#include <string>
#include <string_view>

struct HalvoranSettings {
    enum ESize { kSizeSmall = 0, kSizeNormal = 1, kSizeLarge = 2 };
    enum ESkin { kSkinLegacy = 0, kSkinSModel = 1, kSkinPlatinum = 2 };

    int size = kSizeNormal;
    int skin = kSkinLegacy;
    bool firstRun = true;

    // 0.75, 1.0 or 1.25.
    double scale() const;
    bool operator==(const HalvoranSettings&) const = default;

    // "small", "normal", "large"; "legacy", "s-model", "platinum".
    static const char* sizeWord(int size);
    static const char* skinWord(int skin);
};

// The file's path: the data folder, the plug-in's effect name and " UI.txt".
std::string settingsFilePath(const std::string& dataFolder, const std::string& effectName);

// The settings that the text of the file gives, as readSettingsFile reads
// them (a UTF-8 byte-order mark before the first line is passed over).
bool parseSettingsText(std::string_view text, HalvoranSettings* settings);

// Reads the file, after removing what a killed rewrite of it left beside
// it. A missing file, anything but a regular file, or a line
// that says nothing known, gives the default for what is missing; the
// result tells whether the file was there and every line was understood.
// found (when given) tells whether anything at all has the name.
bool readSettingsFile(const std::string& path, HalvoranSettings* settings, bool* found = nullptr);

// Writes the three lines into a new file renamed over the old one, making
// the data folder when it is not there yet. A link is followed only to a
// file that holds settings; any other link is itself replaced by the new
// file, and replacedLink (when given) receives where it led ("" when no
// link was replaced). False when the file could not be written (the old one
// is then as it was), or the name is taken by something other than a
// regular file or a link.
bool writeSettingsFile(const std::string& path, const HalvoranSettings& settings, std::string* replacedLink = nullptr);
