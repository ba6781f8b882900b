// COM for one thread, for as long as a scope lasts.
//
// The program's entry holds one for the main thread for the whole run (the
// shell and player calls rely on it); any other thread of ours that uses
// COM holds its own. A failed initialisation is not an error here: callers
// ask Initialized() and treat a thread without COM as one that can create
// no player.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <objbase.h>

namespace zembra {

class TComInitializer {
  public:
    // Initialises COM for the calling thread (single-threaded apartment
    // unless told otherwise).
    explicit TComInitializer(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : result_(CoInitializeEx(nullptr, model)) {}
    // Balances a successful initialisation (S_FALSE included: COM counts
    // every successful call); must run on the same thread.
    ~TComInitializer() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    TComInitializer(const TComInitializer&) = delete;
    TComInitializer& operator=(const TComInitializer&) = delete;

    bool Initialized() const noexcept { return SUCCEEDED(result_); }
    HRESULT Result() const noexcept { return result_; }

  private:
    HRESULT result_;
};

} // namespace zembra

#endif // _WIN32
