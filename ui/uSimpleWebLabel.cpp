#include "uSimpleWebLabel.h"

#include "ui/uBrowser.h"

namespace zembra {

TSimpleWebLabel::TSimpleWebLabel(TComponent* AOwner) : TLabel(AOwner) {
    ControlStyle |= csCaptureMouse;
}

void TSimpleWebLabel::SetNormalColor(TColor value) {
    if (value == normalColor_)
        return;
    normalColor_ = value;
    Font().SetColor(value);
}

std::string TSimpleWebLabel::GetLinkURL() const {
    return Caption();
}

void TSimpleWebLabel::Click() {
    if (!OnClick)
        OpenURL(GetLinkURL());
    TLabel::Click();
}

void TSimpleWebLabel::Loaded() {
    TLabel::Loaded();
    Font().SetColor(normalColor_);
}

// The base label's own enter and leave notifications are not passed on: the
// link look replaces them.
void TSimpleWebLabel::MouseEnter() {
    if (!HasLink())
        return;
    SetCursor(crHandPoint);
    Font().SetColor(MouseDown() ? clickingColor_ : overColor_);
    Font().SetStyle(fsUnderline);
}

void TSimpleWebLabel::MouseLeave() {
    SetCursor(crDefault);
    Font().SetColor(normalColor_);
    Font().SetStyle(0);
}

void TSimpleWebLabel::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_LBUTTONDOWN:
        TLabel::WndProc(message);
        if (HasLink())
            Font().SetColor(clickingColor_);
        return;
    case WM_LBUTTONUP:
        // The base handling performs the click when the button is released
        // over the label; the underline stays until the mouse leaves.
        TLabel::WndProc(message);
        Font().SetColor(normalColor_);
        return;
    default:
        TLabel::WndProc(message);
    }
}

TSimpleWebLabelEx::TSimpleWebLabelEx(TComponent* AOwner) : TSimpleWebLabel(AOwner) {}

std::string TSimpleWebLabelEx::GetLinkURL() const {
    return URL;
}

} // namespace zembra
