// Embedded fonts for text fields from a movie's dictionary: by name and
// style, any style of the name when the asked one is missing.
#pragma once

#include "chars/uCharacters.h"
#include "text/uTextField.h"

namespace zembra::text {

class DictionaryFonts final : public FontSource {
  public:
    explicit DictionaryFonts(const chars::Dictionary* dict) : dict_(dict) {}

    const chars::FontChar* Find(const std::string& face, bool bold, bool italic) const override {
        if (!dict_)
            return nullptr;
        if (const chars::FontChar* f = dict_->FindFont(face, bold, italic))
            return f;
        for (int style = 0; style < 4; ++style)
            if (const chars::FontChar* f = dict_->FindFont(face, style & 1, style & 2))
                return f;
        return nullptr;
    }

  private:
    const chars::Dictionary* dict_;
};

} // namespace zembra::text
