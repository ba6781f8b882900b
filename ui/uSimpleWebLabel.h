// A text label that behaves like a hyperlink: normal colour at rest, hover
// colour, underline and a hand cursor under the mouse, a pressed colour
// while the left button is held, and a click opens its link in the default
// browser.
#pragma once
#ifdef _WIN32

#include <string>

#include "framework/uControls.h"

namespace zembra {

// The link target is the caption itself.
class TSimpleWebLabel : public TLabel {
  public:
    // Captures the mouse while the left button is held (so the release is
    // seen outside too) and takes the default colours; the font colour is
    // left alone until Loaded.
    explicit TSimpleWebLabel(TComponent* AOwner);

    static constexpr TColor DefaultNormalColor = clBlack;
    static constexpr TColor DefaultOverColor = clBlue;
    static constexpr TColor DefaultClickingColor = clRed;

    TColor NormalColor() const noexcept { return normalColor_; }
    // Recolours the text at once when the value changes.
    void SetNormalColor(TColor value);
    TColor OverColor() const noexcept { return overColor_; }
    // Takes effect at the next mouse event.
    void SetOverColor(TColor value) noexcept { overColor_ = value; }
    TColor ClickingColor() const noexcept { return clickingColor_; }
    // Takes effect at the next mouse event.
    void SetClickingColor(TColor value) noexcept { clickingColor_ = value; }

    // The address a click opens; empty means the label is no link.
    virtual std::string GetLinkURL() const;
    bool HasLink() const { return !GetLinkURL().empty(); }

    // Opens the link unless a click handler is assigned, then fires the
    // handler.
    void Click() override;

  protected:
    void Loaded() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void WndProc(TMessage& message) override;

  private:
    TColor normalColor_ = DefaultNormalColor;
    TColor overColor_ = DefaultOverColor;
    TColor clickingColor_ = DefaultClickingColor;
};

// The link target is a separate address, so any text can lead to it.
class TSimpleWebLabelEx : public TSimpleWebLabel {
  public:
    explicit TSimpleWebLabelEx(TComponent* AOwner);

    // Plain field: assigning it changes nothing at once.
    std::string URL;

    std::string GetLinkURL() const override;
};

} // namespace zembra

#endif // _WIN32
