// Move-only holders for operating-system resources: one template, many
// typedefs. Get borrows, Take gives up ownership, Reset adopts a new value
// (closing the old one), and closing keeps GetLastError intact.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace zembra {

template <typename T, typename Traits> class UniqueAny {
  public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.Take()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other)
            Reset(other.Take());
        return *this;
    }
    ~UniqueAny() { Close(); }

    T Get() const noexcept { return value_; }
    [[nodiscard]] T Take() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void Reset(T value = Traits::Invalid()) noexcept {
        Close();
        value_ = value;
    }
    void Close() noexcept {
        if (Valid()) {
            DWORD err = GetLastError();
            Traits::Close(value_);
            SetLastError(err);
        }
        value_ = Traits::Invalid();
    }
    bool Valid() const noexcept { return Traits::IsValid(value_); }
    explicit operator bool() const noexcept { return Valid(); }
    // For APIs that return a handle through an out-parameter.
    T* Receive() noexcept {
        Close();
        return &value_;
    }

  private:
    T value_ = Traits::Invalid();
};

struct HandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { CloseHandle(h); }
};
struct HKeyTraits {
    static HKEY Invalid() noexcept { return nullptr; }
    static bool IsValid(HKEY h) noexcept { return h != nullptr; }
    static void Close(HKEY h) noexcept { RegCloseKey(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() noexcept { return nullptr; }
    static bool IsValid(HMODULE h) noexcept { return h != nullptr; }
    static void Close(HMODULE h) noexcept { FreeLibrary(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() noexcept { return nullptr; }
    static bool IsValid(HGDIOBJ h) noexcept { return h != nullptr; }
    static void Close(HGDIOBJ h) noexcept { DeleteObject(h); }
};
struct HookTraits {
    static HHOOK Invalid() noexcept { return nullptr; }
    static bool IsValid(HHOOK h) noexcept { return h != nullptr; }
    static void Close(HHOOK h) noexcept { UnhookWindowsHookEx(h); }
};
struct WindowTraits {
    static HWND Invalid() noexcept { return nullptr; }
    static bool IsValid(HWND h) noexcept { return h != nullptr; }
    static void Close(HWND h) noexcept { DestroyWindow(h); }
};

using UniqueHandle = UniqueAny<HANDLE, HandleTraits>;
using UniqueHKey = UniqueAny<HKEY, HKeyTraits>;
using UniqueModule = UniqueAny<HMODULE, ModuleTraits>;
using UniqueGdiObject = UniqueAny<HGDIOBJ, GdiObjectTraits>;
using UniqueHook = UniqueAny<HHOOK, HookTraits>;
using UniqueWindow = UniqueAny<HWND, WindowTraits>;

// Reference-counted COM interface pointer.
template <typename I> class ComPtr {
  public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Adopts a reference the caller already owns.
    static ComPtr Attach(I* p) noexcept {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    ComPtr(const ComPtr& o) noexcept : p_(o.p_) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    I* Get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void Reset() noexcept {
        if (I* p = std::exchange(p_, nullptr))
            p->Release();
    }
    // Out-parameter for QueryInterface, CoCreateInstance and friends.
    I** Receive() noexcept {
        Reset();
        return &p_;
    }
    [[nodiscard]] I* Take() noexcept { return std::exchange(p_, nullptr); }

    template <typename J> HRESULT As(ComPtr<J>& out, REFIID iid) const noexcept {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(iid, reinterpret_cast<void**>(out.Receive()));
    }

  private:
    I* p_ = nullptr;
};

} // namespace zembra

#endif // _WIN32
