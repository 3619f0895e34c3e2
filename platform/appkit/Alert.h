#pragma once
// The alert the window system shows to ask the user a question: a title, a
// message and up to three buttons, the first of them the default.

#include <string>
#include <vector>

namespace platform::appkit {

struct AlertRequest {
    std::string title;
    std::string message;
    std::vector<std::string> buttons;  // the first answers Return
    int cancelButton = -1;             // the one Escape answers; -1: none
};

}  // namespace platform::appkit
