// Character definitions and the dictionary that holds them by id.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chars/uMorphShape.h"
#include "chars/uShape.h"
#include "raster/uFilters.h"
#include "swf/uSwfFile.h"

namespace zembra::chars {

enum class Kind { Shape, Morph, Bitmap, Font, Text, EditText, Sprite, Button };

struct Character {
    explicit Character(Kind k) : kind(k) {}
    virtual ~Character() = default;
    Kind kind;
    uint16_t id = 0;
};

struct ShapeChar : Character {
    ShapeChar() : Character(Kind::Shape) {}
    ShapeGeometry geometry;
};

struct MorphChar : Character {
    MorphChar() : Character(Kind::Morph) {}
    MorphShape morph;
};

struct BitmapChar : Character {
    BitmapChar() : Character(Kind::Bitmap) {}
    std::shared_ptr<const raster::Bitmap> bitmap;
};

struct Glyph {
    std::vector<raster::Segment> outline; // font units, y down
    double advance = 0;                   // font units; 0 when the font has no layout
};

struct FontChar : Character {
    FontChar() : Character(Kind::Font) {}
    std::string name;
    bool bold = false, italic = false;
    double emSize = 1024; // 20480 for DefineFont3
    bool hasLayout = false;
    double ascent = 0, descent = 0, leading = 0; // font units
    std::vector<Glyph> glyphs;
    std::vector<uint16_t> codes; // character code per glyph

    // The glyph for a character code, or -1.
    int GlyphFor(uint32_t code) const;
};

struct TextGlyph {
    uint32_t index = 0;
    double advance = 0; // twips
};

struct TextRun {
    uint16_t fontId = 0;
    raster::Rgba color;
    double x = 0, y = 0; // twips, text space
    double height = 0;   // twips
    std::vector<TextGlyph> glyphs;
};

struct TextChar : Character {
    TextChar() : Character(Kind::Text) {}
    swf::Rect bounds;
    raster::Matrix matrix;
    std::vector<TextRun> runs;
};

struct EditTextChar : Character {
    EditTextChar() : Character(Kind::EditText) {}
    swf::Rect bounds;
    bool wordWrap = false, multiline = false, password = false, border = false;
    bool html = false, useOutlines = false, autoSize = false;
    bool readOnly = false, noSelect = false;
    int maxLength = 0; // 0: no limit
    uint16_t fontId = 0;
    bool hasFont = false;
    double height = 240; // twips
    raster::Rgba color{0, 0, 0, 255};
    int align = 0; // 0 left, 1 right, 2 centre, 3 justify
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
    std::string variable;
    std::string text; // UTF-8 as stored (HTML markup included when html)
    // From a CSMTextSettings tag for the field.
    bool hasTextSettings = false, advancedAntiAlias = false;
    int gridFit = 0; // 0 none, 1 pixel, 2 subpixel
    double thickness = 0, sharpness = 0;
};

struct SpriteChar : Character {
    SpriteChar() : Character(Kind::Sprite) {}
    int frameCount = 0;
    std::vector<swf::Tag> tags;
};

struct ButtonRecord {
    bool up = false, over = false, down = false, hit = false;
    uint16_t characterId = 0;
    uint16_t depth = 0;
    raster::Matrix matrix;
    raster::ColorTransform cxform;
    raster::BlendMode blend = raster::BlendMode::Normal;
    std::shared_ptr<const std::vector<raster::Filter>> filters; // null: none
};

struct ButtonAction {
    uint16_t conditions = 0; // DefineButton2's condition bits; 0x0008 = release
    std::vector<uint8_t> actions;
};

struct ButtonChar : Character {
    ButtonChar() : Character(Kind::Button) {}
    std::vector<ButtonRecord> records;
    std::vector<ButtonAction> actions;
    bool trackAsMenu = false;
};

// Reads the filter list that PlaceObject3 and DefineButton2 may carry, to
// skip it; false when the data ends inside it.
bool SkipFilterList(swf::Reader& r);

raster::BlendMode BlendFromByte(uint8_t v);

class Dictionary {
  public:
    explicit Dictionary(int version = 10) : version_(version) {}

    // Handles a definition tag (and JPEGTables, DefineFontInfo,
    // DefineButtonCxform); returns false for tags that are not definitions.
    // Damaged definitions are dropped or kept partially, never fatal.
    bool Define(const swf::Tag& tag);

    const Character* Get(uint16_t id) const;
    Character* GetMutable(uint16_t id);
    template <class T> T* As(uint16_t id, Kind k) {
        Character* c = GetMutable(id);
        return c && c->kind == k ? static_cast<T*>(c) : nullptr;
    }
    std::shared_ptr<const raster::Bitmap> BitmapFor(uint16_t id) const;
    // A font with outlines by name and style (for styled text), or null.
    const FontChar* FindFont(const std::string& name, bool bold, bool italic) const;
    size_t Size() const { return chars_.size(); }

  private:
    void Put(std::shared_ptr<Character> c, uint16_t id);
    void DefineShape(swf::Reader& r, int shapeVersion);
    void DefineFont1(swf::Reader& r);
    void DefineFont23(swf::Reader& r, int fontVersion);
    void DefineFontInfo(swf::Reader& r, int infoVersion);
    void DefineText(swf::Reader& r, int textVersion);
    void DefineEditText(swf::Reader& r);
    void DefineButton(swf::Reader& r, int buttonVersion);

    int version_;
    std::vector<uint8_t> jpegTables_;
    std::map<uint16_t, std::shared_ptr<Character>> chars_;
    size_t decodedPixels_ = 0;
    size_t spriteTags_ = 0;
};

} // namespace zembra::chars
