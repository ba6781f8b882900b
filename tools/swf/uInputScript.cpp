#include "tools/swf/uInputScript.h"
#include "timeline/uMoviePlayer.h"
#include "util/uUtf8.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>

namespace zembra::swftool {

namespace {

// The little of JSON the scripts use: objects, arrays, strings, numbers,
// true/false/null.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> fields;

    const Json* Field(const std::string& name) const {
        for (const auto& f : fields)
            if (f.first == name)
                return &f.second;
        return nullptr;
    }
};

class Parser {
  public:
    explicit Parser(const std::string& s) : s_(s) {}

    bool Value(Json& out, int depth) {
        if (depth > kMaxDepth || ++values_ > kMaxEvents * 16)
            return false;
        Skip();
        if (i_ >= s_.size())
            return false;
        const char c = s_[i_];
        if (c == '{')
            return Object(out, depth);
        if (c == '[')
            return Array(out, depth);
        if (c == '"') {
            out.kind = Json::Kind::String;
            return String(out.text);
        }
        if (Word("true")) {
            out.kind = Json::Kind::Bool;
            out.number = 1;
            return true;
        }
        if (Word("false")) {
            out.kind = Json::Kind::Bool;
            return true;
        }
        if (Word("null"))
            return true;
        const char* start = s_.c_str() + i_;
        char* end = nullptr;
        out.number = std::strtod(start, &end);
        if (end == start)
            return false;
        out.kind = Json::Kind::Number;
        i_ += static_cast<size_t>(end - start);
        return true;
    }

    bool AtEnd() {
        Skip();
        return i_ >= s_.size();
    }

  private:
    void Skip() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_])))
            ++i_;
    }

    bool Word(const char* w) {
        const std::string word(w);
        if (s_.compare(i_, word.size(), word) != 0)
            return false;
        i_ += word.size();
        return true;
    }

    bool String(std::string& out) {
        ++i_; // opening quote
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size())
                return false;
            const char e = s_[i_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                if (i_ + 4 > s_.size())
                    return false;
                const std::string hex = s_.substr(i_, 4);
                i_ += 4;
                char* end = nullptr;
                const unsigned long cp = std::strtoul(hex.c_str(), &end, 16);
                if (!end || *end)
                    return false;
                AppendUtf8(out, cp);
                break;
            }
            default:
                out += e;
            }
        }
        return false;
    }

    bool Array(Json& out, int depth) {
        out.kind = Json::Kind::Array;
        ++i_;
        Skip();
        if (i_ < s_.size() && s_[i_] == ']') {
            ++i_;
            return true;
        }
        while (true) {
            if (out.items.size() >= kMaxEvents)
                return false;
            out.items.emplace_back();
            if (!Value(out.items.back(), depth + 1))
                return false;
            Skip();
            if (i_ >= s_.size())
                return false;
            if (s_[i_] == ']') {
                ++i_;
                return true;
            }
            if (s_[i_++] != ',')
                return false;
        }
    }

    bool Object(Json& out, int depth) {
        out.kind = Json::Kind::Object;
        ++i_;
        Skip();
        if (i_ < s_.size() && s_[i_] == '}') {
            ++i_;
            return true;
        }
        while (true) {
            Skip();
            if (i_ >= s_.size() || s_[i_] != '"')
                return false;
            std::string name;
            if (!String(name))
                return false;
            Skip();
            if (i_ >= s_.size() || s_[i_++] != ':')
                return false;
            out.fields.emplace_back(std::move(name), Json());
            if (!Value(out.fields.back().second, depth + 1))
                return false;
            Skip();
            if (i_ >= s_.size())
                return false;
            if (s_[i_] == '}') {
                ++i_;
                return true;
            }
            if (s_[i_++] != ',')
                return false;
        }
    }

    const std::string& s_;
    size_t i_ = 0;
    size_t values_ = 0;
};

// The first character of UTF-8 text, 0 when there is none or it is broken.
uint32_t FirstCodePoint(const std::string& s) {
    if (s.empty())
        return 0;
    const unsigned char b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80)
        return b0;
    int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
    if (extra < 0 || s.size() < static_cast<size_t>(extra) + 1)
        return 0;
    uint32_t cp = b0 & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        const unsigned char b = static_cast<unsigned char>(s[static_cast<size_t>(i)]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return cp <= 0x10FFFF ? cp : 0;
}

} // namespace

int KeyCodeFor(const std::string& name) {
    static const std::map<std::string, int> names = {
        {"Backspace", 8},   {"Tab", 9},          {"Enter", 13},        {"LeftShift", 16},
        {"RightShift", 16}, {"LeftControl", 17}, {"RightControl", 17}, {"LeftAlt", 18},
        {"RightAlt", 18},   {"Escape", 27},      {"Space", 32},        {"PageUp", 33},
        {"PageDown", 34},   {"End", 35},         {"Home", 36},         {"ArrowLeft", 37},
        {"ArrowUp", 38},    {"ArrowRight", 39},  {"ArrowDown", 40},    {"Insert", 45},
        {"Delete", 46},     {" ", 32},           {";", 186},           {"=", 187},
        {",", 188},         {"-", 189},          {".", 190},           {"/", 191},
        {"`", 192},         {"[", 219},          {"\\", 220},          {"]", 221},
        {"'", 222},
    };
    auto it = names.find(name);
    if (it != names.end())
        return it->second;
    if (name.size() == 1) {
        const unsigned char c = static_cast<unsigned char>(name[0]);
        if (std::isalpha(c))
            return std::toupper(c);
        if (std::isdigit(c))
            return c;
    }
    return 0;
}

bool ParseInputScript(const std::string& json, std::vector<InputEvent>& out, std::string& error) {
    Json root;
    Parser p(json);
    if (!p.Value(root, 0) || !p.AtEnd() || root.kind != Json::Kind::Array) {
        error = "not a JSON array of events";
        return false;
    }
    out.clear();
    for (const Json& item : root.items) {
        InputEvent e;
        const Json* type = item.Field("type");
        const std::string t = type ? type->text : std::string();
        if (t == "MouseMove")
            e.type = InputEvent::Type::MouseMove;
        else if (t == "MouseDown")
            e.type = InputEvent::Type::MouseDown;
        else if (t == "MouseUp")
            e.type = InputEvent::Type::MouseUp;
        else if (t == "KeyDown")
            e.type = InputEvent::Type::KeyDown;
        else if (t == "KeyUp")
            e.type = InputEvent::Type::KeyUp;
        else if (t == "TextInput")
            e.type = InputEvent::Type::Text;
        else if (t == "Wait")
            e.type = InputEvent::Type::Wait;
        else if (t == "TextControl")
            e.type = InputEvent::Type::TextControl;
        else if (t == "SetClipboardText")
            e.type = InputEvent::Type::Clipboard;
        if (const Json* btn = item.Field("btn"))
            e.button = btn->text == "Right" ? 1 : btn->text == "Middle" ? 2 : 0;
        if (const Json* pos = item.Field("pos"); pos && pos->items.size() >= 2) {
            e.x = pos->items[0].number;
            e.y = pos->items[1].number;
        }
        if (const Json* key = item.Field("key")) {
            if (key->kind == Json::Kind::String) {
                e.keyCode = KeyCodeFor(key->text);
            } else if (const Json* ch = key->Field("Char")) {
                e.keyCode = KeyCodeFor(ch->text);
                e.text = ch->text;
            }
        }
        if (const Json* cp = item.Field("codepoint"))
            e.text = cp->text;
        if (e.type == InputEvent::Type::TextControl) {
            if (const Json* code = item.Field("code"))
                e.text = code->text;
        } else if (e.type == InputEvent::Type::Clipboard) {
            if (const Json* text = item.Field("text"))
                e.text = text->text;
        } else {
            e.codepoint = FirstCodePoint(e.text);
        }
        out.push_back(std::move(e));
    }
    return true;
}

size_t ReplayInput(movie::MoviePlayer& player, const std::vector<InputEvent>& events, size_t next) {
    using Type = InputEvent::Type;
    for (; next < events.size(); ++next) {
        const InputEvent& e = events[next];
        switch (e.type) {
        case Type::Wait:
            return next + 1;
        case Type::MouseMove:
            player.MouseMove(e.x, e.y);
            break;
        case Type::MouseDown:
        case Type::MouseUp:
            player.MouseMove(e.x, e.y);
            // Only the main button presses.
            if (e.button == 0)
                player.MouseButton(e.type == Type::MouseDown);
            else
                player.MouseOtherButton(e.button, e.type == Type::MouseDown);
            break;
        case Type::KeyDown:
        case Type::KeyUp:
            if (e.keyCode)
                player.Key(e.keyCode, e.type == Type::KeyDown, e.codepoint);
            break;
        case Type::Text:
            player.TextInput(e.codepoint);
            break;
        case Type::TextControl:
            player.TextControl(e.text);
            break;
        case Type::Clipboard:
            player.SetClipboardText(e.text);
            break;
        default:
            break;
        }
    }
    return next;
}

} // namespace zembra::swftool
