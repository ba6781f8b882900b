// The player control as a windowed control of ours. The player object is
// created with the control; its window appears when the control gets a
// parent (or a parent window), in place inside that parent's window, and
// the control adopts that very window as its Handle, so every message for
// the player, posted ones too, passes through WindowProc first.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>

#include "flash/uOleContainer.h"
#include "framework/uControls.h"

namespace zembra {

using TShockwaveFlashFSCommand =
    std::function<void(TComponent* Sender, const std::wstring& command, const std::wstring& args)>;
using TShockwaveFlashReadyStateChange = std::function<void(TComponent* Sender, long newState)>;
using TShockwaveFlashProgress = std::function<void(TComponent* Sender, long percentDone)>;
using TShockwaveFlashFlashCall =
    std::function<void(TComponent* Sender, const std::wstring& request)>;

class TShockwaveFlash : public TWinControl {
  public:
    // Event DISPIDs of the player.
    static constexpr DISPID DISPID_OnReadyStateChange = -609;
    static constexpr DISPID DISPID_OnProgress = 1958;
    static constexpr DISPID DISPID_FSCommand = 150;
    static constexpr DISPID DISPID_FlashCall = 197;

    // Creates the installed player's object, or hosts Player when given (a
    // control made already, such as the built-in one). Throws EOleError
    // when it cannot be created.
    explicit TShockwaveFlash(TComponent* AOwner, IOleObject* Player = nullptr);
    // Deactivates and closes the player, which takes its window with it.
    ~TShockwaveFlash() override;

    // Property writes; each throws EOleError when the player refuses.
    void SetLoop(bool value);
    void SetMenu(bool value);
    void SetQuality(int value);
    void SetFlashVars(const std::wstring& value);
    void SetBackgroundColor(int value);
    void SetMovie(const std::wstring& value);
    void SetScale(const std::wstring& value);

    // A control that moves to another parent leaves in-place activation and
    // is activated again inside the new parent.
    void SetParent(TWinControl* AParent) override;

    // Methods of the player; each throws EOleError on failure.
    void Stop();
    void StopPlay();
    void DisableLocalSecurity();

    TShockwaveFlashFSCommand OnFSCommand;
    TShockwaveFlashReadyStateChange OnReadyStateChange;
    TShockwaveFlashProgress OnProgress;
    TShockwaveFlashFlashCall OnFlashCall;

  protected:
    void CreateWnd() override;
    void DestroyWnd() override;
    void BoundsChanged() override;

  private:
    void PutProperty(DISPID id, VARIANT& value, const char* name);
    void PutBool(DISPID id, bool value, const char* name);
    void PutInt(DISPID id, int value, const char* name);
    void PutString(DISPID id, const std::wstring& value, const char* name);
    void CallMethod(const wchar_t* name);
    IDispatch* PlayerInterface();
    void HandleEvent(DISPID id, const DISPPARAMS& params) noexcept;
    void RaiseEvent(DISPID id, const DISPPARAMS& params);

    TOleContainer container_;
    ComPtr<IDispatch> player_; // the control's IShockwaveFlash, fetched on first use
};

} // namespace zembra

#endif // _WIN32
