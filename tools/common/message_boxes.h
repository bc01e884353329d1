// Playing the user at the plug-in's message boxes: finding them on the screen,
// reading them and pressing OK, for the demo and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// A message box of this process on the screen.
struct ShownBox {
    std::uintptr_t window;
    std::uintptr_t owner;
    std::string text;
};

// The visible message boxes of this process with the given caption; none
// without a window system.
std::vector<ShownBox> message_boxes(const std::string& caption);
// Presses OK on a box that message_boxes found.
void press_ok(const ShownBox& box);

// Plays the user at every message box of this process with the given caption:
// prints what it says and presses OK. Without a window system the box text goes
// to standard error by itself.
void answer_message_boxes(const char* caption);

}  // namespace host
