#include "framework/uComponent.h"

#include <algorithm>

namespace zembra {

namespace {

bool SameTextAscii(const std::string& a, const std::string& b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner)
        AOwner->Insert(this);
}

TComponent::~TComponent() {
    BeginDestroy();
    DestroyComponents();
    if (owner_)
        owner_->Remove(this);
}

void TComponent::Insert(TComponent* child) {
    components_.push_back(child);
    child->owner_ = this;
}

void TComponent::Remove(TComponent* child) noexcept {
    auto it = std::find(components_.rbegin(), components_.rend(), child);
    if (it != components_.rend())
        components_.erase(std::next(it).base());
    child->owner_ = nullptr;
}

void TComponent::DestroyComponents() noexcept {
    while (!components_.empty()) {
        TComponent* last = components_.back();
        components_.pop_back();
        last->owner_ = nullptr;
        last->RunBeforeDestruction();
        delete last;
    }
}

TComponent* TComponent::Components(int index) const noexcept {
    if (index < 0 || index >= ComponentCount())
        return nullptr;
    return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const noexcept {
    if (name.empty())
        return nullptr;
    for (TComponent* c : components_)
        if (SameTextAscii(c->name_, name))
            return c;
    return nullptr;
}

void TComponent::RunBeforeDestruction() noexcept {
    if (beforeDestructionDone_)
        return;
    beforeDestructionDone_ = true;
    destroying_ = true;
    try {
        BeforeDestruction();
    } catch (...) {
    }
}

void TComponent::Free() noexcept {
    RunBeforeDestruction();
    delete this;
}

void TComponent::NotifyLoaded() {
    if (loaded_)
        return;
    loaded_ = true;
    Loaded();
}

} // namespace zembra
