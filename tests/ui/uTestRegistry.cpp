#include "uTestRegistry.h"

#include <stdexcept>

#include "util/uHandles.h"

namespace zembra::test {

namespace {

bool KeyExists(HKEY root, const std::string& key) {
    UniqueHKey h;
    return RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, h.Receive()) == ERROR_SUCCESS;
}

// The first key on the way to Key that does not exist yet (empty when Key
// exists): deleting it removes everything the test created.
std::string FirstMissingKey(HKEY root, const std::string& key) {
    std::size_t pos = 0;
    while (true) {
        pos = key.find('\\', pos + 1);
        const std::string prefix = key.substr(0, pos);
        if (!KeyExists(root, prefix))
            return prefix;
        if (pos == std::string::npos)
            return std::string();
    }
}

} // namespace

void TTestRegistry::Remember(HKEY root, const std::string& key) {
    Undo u{root, FirstMissingKey(root, key), false, false, REG_NONE, {}};
    u.KeyExisted = u.Key.empty();
    if (u.KeyExisted) {
        u.Key = key;
        UniqueHKey h;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, h.Receive()) == ERROR_SUCCESS) {
            DWORD size = 0;
            if (RegQueryValueExA(h.Get(), "", nullptr, &u.Type, nullptr, &size) == ERROR_SUCCESS) {
                u.Data.resize(size);
                u.ValueExisted = RegQueryValueExA(h.Get(), "", nullptr, &u.Type, u.Data.data(),
                                                  &size) == ERROR_SUCCESS;
                u.Data.resize(size);
            }
        }
    }
    undo_.push_back(std::move(u));
}

void TTestRegistry::SetDefault(HKEY root, const std::string& key, const std::string& value) {
    Remember(root, key);
    UniqueHKey h;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, h.Receive(),
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(h.Get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write registry key " + key);
}

void TTestRegistry::ClearDefault(HKEY root, const std::string& key) {
    if (!KeyExists(root, key))
        return;
    Remember(root, key);
    UniqueHKey h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, h.Receive()) == ERROR_SUCCESS)
        RegDeleteValueA(h.Get(), "");
}

TTestRegistry::~TTestRegistry() {
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
        if (!it->KeyExisted) {
            RegDeleteTreeA(it->Root, it->Key.c_str());
            RegDeleteKeyA(it->Root, it->Key.c_str());
            continue;
        }
        UniqueHKey h;
        if (RegOpenKeyExA(it->Root, it->Key.c_str(), 0, KEY_SET_VALUE, h.Receive()) !=
            ERROR_SUCCESS)
            continue;
        if (it->ValueExisted)
            RegSetValueExA(h.Get(), "", 0, it->Type, it->Data.data(),
                           static_cast<DWORD>(it->Data.size()));
        else
            RegDeleteValueA(h.Get(), "");
    }
}

} // namespace zembra::test
