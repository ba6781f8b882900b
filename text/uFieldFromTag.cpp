#include "text/uFieldFromTag.h"

#include <cmath>

#include "chars/uCharacters.h"
#include "text/uUtf16.h"

namespace zembra::text {

void InitFromEditText(TextField& f, const chars::EditTextChar& def, const chars::Dictionary& dict,
                      int version) {
    f.SetMovieVersion(version);
    TextFormat nf;
    if (def.hasFont)
        if (const chars::Character* ch = dict.Get(def.fontId);
            ch && ch->kind == chars::Kind::Font) {
            // The font's style is the text's, unless html says it.
            const auto* font = static_cast<const chars::FontChar*>(ch);
            nf.font = font->name;
            if (!def.html) {
                nf.bold = font->bold;
                nf.italic = font->italic;
            }
        }
    nf.size = def.height / 20;
    nf.color = (static_cast<uint32_t>(def.color.r) << 16) | (def.color.g << 8) | def.color.b;
    static const Align aligns[] = {Align::Left, Align::Right, Align::Center, Align::Justify};
    nf.align = aligns[def.align & 3];
    // Formats keep whole pixels.
    nf.leftMargin = std::nearbyint(def.leftMargin / 20);
    nf.rightMargin = std::nearbyint(def.rightMargin / 20);
    nf.indent = std::nearbyint(def.indent / 20);
    nf.leading = std::nearbyint(def.leading / 20);
    f.SetNewTextFormat(nf);
    f.SetSize(def.bounds.Width() / 20, def.bounds.Height() / 20);
    f.SetMultiline(def.multiline);
    f.SetWordWrap(def.wordWrap);
    f.password = def.password;
    // The tag's border flag gives both the frame and the white inside.
    f.border = f.background = def.border;
    f.SetHtml(def.html);
    f.SetEmbedFonts(def.useOutlines);
    f.input = !def.readOnly;
    f.selectable = !def.noSelect;
    f.maxChars = def.maxLength;
    f.variable = def.variable;
    if (def.hasTextSettings) {
        static const char* const fits[] = {"none", "pixel", "subpixel"};
        f.antiAliasType = def.advancedAntiAlias ? "advanced" : "normal";
        f.gridFitType = fits[def.gridFit < 3 ? def.gridFit : 1];
        f.thickness = def.thickness;
        f.sharpness = def.sharpness;
    }
    if (def.html)
        f.SetHtmlText(def.text);
    else
        f.SetText(ToUtf16(def.text));
    if (def.autoSize)
        f.SetAutoSize(AutoSize::Left);
}

} // namespace zembra::text
