// The about box of configuration mode: a picture on top, a copyright line
// that is also a link, and a close button. Its content comes from the
// content package; the box lays itself out around the picture on every show
// and centres itself on the main window's monitor.
#pragma once
#ifdef _WIN32

#include <cstddef>
#include <string>

#include "framework/uControls.h"
#include "ui/uDialogLayout.h"
#include "ui/uSimpleWebLabel.h"

namespace zembra {

class TfrmDialog : public TForm {
  public:
    // Builds the design state: caption "Zembra ScreenSaver", a 105 x 105
    // picture without bitmap, an empty (hidden) link label and a close
    // button that is Default and Cancel with modal result OK.
    explicit TfrmDialog(TComponent* AOwner);
    ~TfrmDialog() override;

    TImage* imgImage = nullptr;
    TSimpleWebLabelEx* lblCopyright = nullptr;
    TButton* btnClose = nullptr;

    // What the package loader fills in. Texts are 8-bit ANSI.
    void SetLinkText(const std::string& text) { lblCopyright->SetCaption(text); }
    void SetLinkURL(const std::string& url) { lblCopyright->URL = url; }
    void SetCloseButtonVisible(bool visible) { btnClose->SetVisible(visible); }
    // Replaces the picture with the bitmap in a BMP file image. Throws
    // std::runtime_error on invalid data and then keeps the old picture.
    void LoadPicture(const void* data, std::size_t size);

    // The layout of the last show (for tests and diagnostics).
    const DialogLayout& LastLayout() const noexcept { return lastLayout_; }

    void FormCreate(TComponent* Sender);
    void FormShow(TComponent* Sender);
    void imgImageClick(TComponent* Sender);

  private:
    DialogLayout lastLayout_;
};

// The program's one about box (created by the package loader), or null.
extern TfrmDialog* frmDialog;

// UTF-8 text (our source files) in the system's ANSI code page. Characters
// that the code page cannot show come out as the code page's default
// character.
std::string Utf8ToAnsi(const std::string& utf8);

} // namespace zembra

#endif // _WIN32
