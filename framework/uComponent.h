// Owner-owned components: every component may own others and destroys them,
// last created first, when it is destroyed itself.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zembra {

class TComponent;

using TNotifyEvent = std::function<void(TComponent* Sender)>;

class TComponent {
  public:
    // Registers with AOwner (may be null); the owner then destroys this
    // component unless it was destroyed before.
    explicit TComponent(TComponent* AOwner);
    // Marks the component as being destroyed, destroys the owned components
    // (last created first) and leaves the owner's list.
    virtual ~TComponent();

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const noexcept { return owner_; }
    const std::string& Name() const noexcept { return name_; }
    void SetName(const std::string& name) { name_ = name; }

    int Tag = 0;

    int ComponentCount() const noexcept { return static_cast<int>(components_.size()); }
    // Null for an index out of range.
    TComponent* Components(int index) const noexcept;
    // Case-insensitive (ASCII) search among the directly owned components;
    // null when there is none of that name.
    TComponent* FindComponent(const std::string& name) const noexcept;

    // Called once after the creator has applied the stored properties.
    // Forms call it on their owned components at the end of their set-up.
    virtual void Loaded() {}

    // True from the start of destruction on.
    bool Destroying() const noexcept { return destroying_; }

    // Runs Loaded unless it already ran for this component.
    void NotifyLoaded();
    bool IsLoaded() const noexcept { return loaded_; }

    // Runs BeforeDestruction while the whole object still exists, then
    // deletes it. Prefer this (or leaving it to the owner, which does the
    // same) over a plain delete, which skips BeforeDestruction.
    void Free() noexcept;

  protected:
    // The step before destruction, called once while the most derived object
    // is still whole (by Free and by an owner destroying its components);
    // Destroying() is true from here on. Overrides call the base version.
    // Exceptions from it are swallowed.
    virtual void BeforeDestruction() {}

    // Subclass destructors call this first so that the flag is visible while
    // they tear down.
    void BeginDestroy() noexcept { destroying_ = true; }
    // Destroys every owned component now, last created first.
    void DestroyComponents() noexcept;

  private:
    void RunBeforeDestruction() noexcept;
    void Insert(TComponent* child);
    void Remove(TComponent* child) noexcept;

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    bool destroying_ = false;
    bool loaded_ = false;
    bool beforeDestructionDone_ = false;
};

// Frees the component (see TComponent::Free) and clears the pointer.
template <typename T> void FreeAndNil(T*& component) noexcept {
    T* c = component;
    component = nullptr;
    if (c)
        c->Free();
}

} // namespace zembra
