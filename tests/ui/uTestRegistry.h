// Registry changes a test makes and takes back: every value it sets is
// restored to what it was (or deleted when there was none), every key it
// creates is deleted, in reverse order, when the object goes.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>
#include <vector>

namespace zembra::test {

class TTestRegistry {
  public:
    TTestRegistry() = default;
    TTestRegistry(const TTestRegistry&) = delete;
    TTestRegistry& operator=(const TTestRegistry&) = delete;
    ~TTestRegistry();

    // Sets the default value of Root\Key to Value (REG_SZ), creating the key.
    void SetDefault(HKEY root, const std::string& key, const std::string& value);
    // Removes the default value of Root\Key for the lifetime of this object.
    void ClearDefault(HKEY root, const std::string& key);

  private:
    struct Undo {
        HKEY Root;
        std::string Key;
        bool KeyExisted;
        bool ValueExisted;
        DWORD Type;
        std::vector<BYTE> Data;
    };
    void Remember(HKEY root, const std::string& key);
    std::vector<Undo> undo_;
};

} // namespace zembra::test

#endif // _WIN32
