// A recorded input script (a JSON array of events: mouse moves and
// clicks, keys, text, "Wait" between frames) to replay into a player.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembra::movie {
class MoviePlayer;
}

namespace zembra::swftool {

struct InputEvent {
    enum class Type {
        MouseMove,
        MouseDown,
        MouseUp,
        KeyDown,
        KeyUp,
        Text,
        Wait,
        Other,
        TextControl, // an editing command: text names it ("Paste", "Enter"...)
        Clipboard    // the clipboard now holds text
    };
    Type type = Type::Other;
    double x = 0, y = 0;    // stage pixels
    int button = 0;         // MouseDown, MouseUp: 0 left, 1 right, 2 middle
    int keyCode = 0;        // the Key object's code (0 when unknown)
    uint32_t codepoint = 0; // Text, keys: the character typed (0 when none)
    std::string text;       // Text: the character, UTF-8
};

// False with a reason when the text is no JSON array of event objects.
// Bounded: at most kMaxEvents events and kMaxDepth levels of nesting.
bool ParseInputScript(const std::string& json, std::vector<InputEvent>& out, std::string& error);

// The key code for a key name as the scripts write it ("Tab", "ArrowLeft",
// a single character...), 0 when unknown.
int KeyCodeFor(const std::string& name);

// Sends events from `next` up to and including the next "Wait" to the
// player; returns where the following frame goes on.
size_t ReplayInput(movie::MoviePlayer& player, const std::vector<InputEvent>& events, size_t next);

constexpr size_t kMaxEvents = 100000;
constexpr int kMaxDepth = 16;

} // namespace zembra::swftool
