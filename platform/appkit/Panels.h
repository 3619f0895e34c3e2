#pragma once
// Requests for the modal panels the window system offers: a one-line text
// entry over a view and the open and save file panels.

#include <string>
#include <vector>

#include "platform/appkit/Geometry.h"
#include "platform/appkit/TextEditing.h"

namespace platform::appkit {

struct TextEntryRequest {
    Rect frame;  // window coordinates of the entry field
    std::string initialText;
    int maxLength = 0;                 // characters; 0 means no limit
    CharacterFilter filter = nullptr;  // what the field takes of each character; none: all
};

enum class FilePanelKind { Open, Save };

struct FilePanelRequest {
    FilePanelKind kind = FilePanelKind::Open;
    std::string directory;                // proposed folder, may be empty
    std::string fileName;                 // proposed name, may be empty
    std::vector<std::string> extensions;  // without dots; empty means any
    std::string title;
    bool allowsMultipleSelection = false;
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool canCreateDirectories = false;
};

// What the user chose in a file panel: the full paths, none when cancelled.
struct FilePanelAnswer {
    std::vector<std::string> paths;
};

// Whether a path carries one of the allowed extensions (case ignored).
bool pathHasExtension(const std::string& path, const std::vector<std::string>& extensions);

// Enforces the text entry's filter and length limit on a typed or scripted
// answer.
std::string limitText(const std::string& text, int maxLength, const CharacterFilter& filter = nullptr);

}  // namespace platform::appkit
