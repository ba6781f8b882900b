#include "uDialog.h"

#include <vector>

#include "framework/uApplication.h"
#include "framework/uFormUtils.h"

namespace zembra {

TfrmDialog* frmDialog = nullptr;

namespace {

constexpr char DesignCaption[] = "Zembra ScreenSaver";
constexpr char CloseCaption[] = "閉じる(&C)";
constexpr char DesignFontName[] = "ＭＳ Ｐゴシック";
constexpr int DesignFontHeight = -12;

std::vector<LayoutRect> WorkAreas() {
    std::vector<LayoutRect> areas;
    for (const PlacementRect& r : MonitorWorkAreas())
        areas.push_back({r.Left, r.Top, r.Right, r.Bottom});
    return areas;
}

// Work area of the monitor that shows the main window (the primary one when
// there is no main window yet).
LayoutRect MainWorkArea() {
    HMONITOR monitor = nullptr;
    if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
        monitor =
            MonitorFromWindow(Application->MainForm()->WindowHandle(), MONITOR_DEFAULTTONEAREST);
    if (!monitor)
        monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoA(monitor, &info))
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

void SetDesignFont(TFont& font, TColor color) {
    font.SetName(Utf8ToAnsi(DesignFontName));
    font.SetHeight(DesignFontHeight);
    font.SetCharset(SHIFTJIS_CHARSET);
    font.SetColor(color);
    font.SetStyle(0);
}

} // namespace

std::string Utf8ToAnsi(const std::string& utf8) {
    if (utf8.empty())
        return utf8;
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0)
        return std::string();
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                        wideLength);
    const int ansiLength =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0)
        return std::string();
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &ansi[0], ansiLength, nullptr, nullptr);
    return ansi;
}

TfrmDialog::TfrmDialog(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmDialog");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetBorderIcons(biSystemMenu);
    SetCaption(DesignCaption);
    SetColor(clBtnFace);
    SetDesignFont(Font(), clWindowText);
    SetClientSize(114, 152);
    OnCreate = [this](TComponent* sender) { FormCreate(sender); };
    OnShow = [this](TComponent* sender) { FormShow(sender); };

    imgImage = new TImage(this);
    imgImage->SetName("imgImage");
    imgImage->SetParent(this);
    imgImage->SetBounds(0, 0, 105, 105);
    imgImage->SetAutoSize(true);
    imgImage->OnClick = [this](TComponent* sender) { imgImageClick(sender); };

    lblCopyright = new TSimpleWebLabelEx(this);
    lblCopyright->SetName("lblCopyright");
    lblCopyright->SetParent(this);
    lblCopyright->SetShowAccelChar(false);
    lblCopyright->SetParentFont(false);
    SetDesignFont(lblCopyright->Font(), clBlack);
    lblCopyright->SetBounds(0, 112, 61, 12);
    lblCopyright->SetCaption("lblCopyright");

    btnClose = new TButton(this);
    btnClose->SetName("btnClose");
    btnClose->SetParent(this);
    btnClose->SetBounds(8, 128, 100, 20);
    btnClose->SetCaption(Utf8ToAnsi(CloseCaption));
    btnClose->SetDefault(true);
    btnClose->Cancel = true;
    btnClose->ModalResult = mrOk;

    FinishCreate();
}

TfrmDialog::~TfrmDialog() {
    if (frmDialog == this)
        frmDialog = nullptr;
}

void TfrmDialog::LoadPicture(const void* data, std::size_t size) {
    imgImage->Picture().LoadBitmapFromStream(data, size);
}

void TfrmDialog::FormCreate(TComponent*) {
    lblCopyright->SetCaption(std::string());
}

void TfrmDialog::FormShow(TComponent*) {
    lblCopyright->SetVisible(!lblCopyright->Caption().empty());

    HandleNeeded();
    DialogLayoutInput in;
    in.PictureWidth = imgImage->Width();
    in.PictureHeight = imgImage->Height();
    in.LabelVisible = lblCopyright->Visible();
    in.LabelWidth = lblCopyright->Width();
    in.LabelHeight = lblCopyright->Height();
    in.ButtonVisible = btnClose->Visible();
    in.ButtonWidth = btnClose->Width();
    in.ButtonHeight = btnClose->Height();
    in.FrameWidth = Width() - ClientWidth();
    in.FrameHeight = Height() - ClientHeight();
    in.WorkAreas = WorkAreas();
    in.CenterArea = MainWorkArea();
    lastLayout_ = ComputeDialogLayout(in);
    const DialogLayout& out = lastLayout_;

    if (out.PictureStretched) {
        imgImage->SetAutoSize(false);
        imgImage->SetStretch(true);
    }
    imgImage->SetBounds(out.Picture.Left, out.Picture.Top, out.Picture.Width, out.Picture.Height);
    if (in.LabelVisible)
        lblCopyright->SetBounds(out.Label.Left, out.Label.Top, out.Label.Width, out.Label.Height);
    if (in.ButtonVisible)
        btnClose->SetBounds(out.Button.Left, out.Button.Top, out.Button.Width, out.Button.Height);
    if (!lblCopyright->URL.empty())
        imgImage->SetCursor(crHandPoint);

    SetClientSize(out.ClientWidth, out.ClientHeight);
    // Centre with the real outer size, which the frame decides.
    const LayoutRect& area = in.CenterArea;
    CenterInRect(*this, RECT{area.Left, area.Top, area.Right, area.Bottom});
}

void TfrmDialog::imgImageClick(TComponent*) {
    if (!lblCopyright->URL.empty())
        lblCopyright->Click();
}

} // namespace zembra
