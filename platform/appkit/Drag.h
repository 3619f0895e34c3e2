#pragma once
// Drag and drop of files: what a drop target is told while a drag passes
// over it, and what a drag source hands the window system.

#include <functional>
#include <string>
#include <vector>

#include "platform/appkit/Cursor.h"
#include "platform/appkit/Geometry.h"

namespace platform::appkit {

class View;
class Window;

enum class DragPhase { Entered, Updated, Exited, Drop };

enum : int {
    kDragOperationNone = 0,
    kDragOperationCopy = 1,
    kDragOperationGeneric = 4,
};

// Writes the promised files into a folder; the names it wrote.
using PromiseWriter = std::function<std::vector<std::string>(const std::string& folder)>;

struct DragInfo {
    std::vector<std::string> fileNames;      // existing files
    std::vector<std::string> promisedTypes;  // files made on a drop
    PromiseWriter writePromisedFiles;
    Point location;          // window coordinates
    PointF screenLocation;   // screen coordinates, y upward
    View* source = nullptr;  // the view of this process that started the drag
};

struct DragSourceRequest {
    Window* window = nullptr;
    View* source = nullptr;
    Rect from;  // window coordinates
    std::vector<std::string> fileNames;
    std::vector<std::string> promisedTypes;
    PromiseWriter writePromisedFiles;
    CursorImage image;
    bool slideBack = true;
};

}  // namespace platform::appkit
