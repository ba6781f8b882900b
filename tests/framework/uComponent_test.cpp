#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/uComponent.h"

namespace zembra {
namespace {

std::vector<std::string> g_log;

class Probe : public TComponent {
  public:
    Probe(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
    ~Probe() override {
        seenDestroying = Destroying();
        g_log.push_back("~" + Name());
        lastDestroyingFlag = seenDestroying;
    }
    void Loaded() override { g_log.push_back("loaded " + Name()); }
    bool seenDestroying = false;
    static inline bool lastDestroyingFlag = false;
};

TEST(Component, OwnerDestroysOwnedLastCreatedFirst) {
    g_log.clear();
    auto* root = new Probe(nullptr, "root");
    auto* a = new Probe(root, "a");
    new Probe(a, "a1");
    new Probe(root, "b");
    new Probe(root, "c");
    ASSERT_EQ(root->ComponentCount(), 3);
    EXPECT_EQ(root->Components(0), a);
    EXPECT_EQ(root->Components(3), nullptr);
    EXPECT_EQ(root->Components(-1), nullptr);
    EXPECT_EQ(a->Owner(), root);
    delete root;
    // "a" owns "a1", which goes when "a" goes.
    EXPECT_EQ(g_log, (std::vector<std::string>{"~root", "~c", "~b", "~a", "~a1"}));
    EXPECT_TRUE(Probe::lastDestroyingFlag);
}

TEST(Component, DeletingAnOwnedComponentLeavesTheOwnersList) {
    g_log.clear();
    Probe root(nullptr, "root");
    auto* a = new Probe(&root, "a");
    auto* b = new Probe(&root, "b");
    delete a;
    ASSERT_EQ(root.ComponentCount(), 1);
    EXPECT_EQ(root.Components(0), b);
    EXPECT_EQ(root.FindComponent("A"), nullptr);
    EXPECT_EQ(root.FindComponent("B"), b); // names compare without case
    EXPECT_EQ(root.FindComponent(""), nullptr);
}

class WholeProbe : public TComponent {
  public:
    WholeProbe(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), log_(log) {}
    ~WholeProbe() override { log_->push_back("destructor"); }

  protected:
    // Runs while the derived part (log_, text_) is still alive.
    void BeforeDestruction() override {
        TComponent::BeforeDestruction();
        log_->push_back(text_ + (Destroying() ? " destroying" : " not destroying"));
    }

  private:
    std::vector<std::string>* log_;
    std::string text_ = "before";
};

TEST(Component, BeforeDestructionRunsOnceOnTheWholeObject) {
    std::vector<std::string> log;
    auto* root = new TComponent(nullptr);
    new WholeProbe(root, &log);
    root->Free(); // the owner runs the step for what it owns
    EXPECT_EQ(log, (std::vector<std::string>{"before destroying", "destructor"}));

    log.clear();
    auto* alone = new WholeProbe(nullptr, &log);
    FreeAndNil(alone);
    EXPECT_EQ(alone, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"before destroying", "destructor"}));
    FreeAndNil(alone); // null is fine
}

TEST(Component, LoadedRunsOnce) {
    g_log.clear();
    Probe p(nullptr, "p");
    EXPECT_FALSE(p.IsLoaded());
    p.NotifyLoaded();
    p.NotifyLoaded();
    EXPECT_TRUE(p.IsLoaded());
    EXPECT_EQ(g_log, (std::vector<std::string>{"loaded p"}));
}

} // namespace
} // namespace zembra
