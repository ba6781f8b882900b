#include "util/uCommonUnit.h"

#include <windows.h>
#include <objbase.h>

// Referenced by the linker option of zembra_util so that this object file,
// which nothing else calls into, is part of every program.
extern "C" {
extern const int zembra_common_unit_anchor;
const int zembra_common_unit_anchor = 0;
}

namespace zembra {

namespace {

// True when this code runs inside the program's own executable, not a DLL.
bool InExecutable() noexcept {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&zembra_common_unit_anchor), &self))
        return false;
    return self == GetModuleHandleA(nullptr);
}

class ComForMainThread {
  public:
    ComForMainThread() noexcept
        : initialized_(InExecutable() && SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComForMainThread() {
        if (initialized_)
            CoUninitialize();
    }
    ComForMainThread(const ComForMainThread&) = delete;
    ComForMainThread& operator=(const ComForMainThread&) = delete;
    bool Initialized() const noexcept { return initialized_; }

  private:
    bool initialized_;
};

ComForMainThread gComForMainThread __attribute__((init_priority(200)));

} // namespace

bool ComInitialized() noexcept {
    return gComForMainThread.Initialized();
}

} // namespace zembra
