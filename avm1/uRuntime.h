// The script world of one movie: the heap of objects, the global object and
// built-ins, conversions that may run script, property access with
// accessors, calls and construction, timers, and the entry points the
// timeline uses. Public entry points never throw; a script that runs too
// long, recurses too deep or allocates too much is stopped and the movie
// goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "avm1/uHost.h"
#include "avm1/uObject.h"
#include "avm1/uValue.h"

namespace zembra::avm1 {

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;
using Pool = std::shared_ptr<const std::vector<std::string>>;

// A function's code as DefineFunction/DefineFunction2 described it.
struct FunctionCode {
    Bytes bytes;
    size_t start = 0;
    size_t end = 0;
    std::string name;
    std::vector<std::string> params;
    std::vector<uint8_t> paramRegs; // DefineFunction2: 0 = a named local
    bool v2 = false;
    uint8_t regCount = 4;
    uint16_t flags = 0;
    Pool pool;
    ClipId target = 0; // the timeline the function was defined on
};

// One link of a scope chain; closures keep the chain they were defined in.
struct Scope {
    Object* obj = nullptr;
    std::shared_ptr<Scope> parent;
    bool base = false; // the timeline link that tellTarget replaces
};

// A script `throw` travelling up through native frames.
struct ScriptThrow {
    Value value;
};
// The script is stopped: budget, depth or size limit.
struct ScriptAbort {
    const char* why;
};

struct Limits {
    uint64_t stepsPerEntry = 20'000'000; // actions and native loop steps
    int callDepth = 256;
    size_t stackSize = 1 << 16;
    int scopeDepth = 64;
    size_t stringBytes = 16u << 20;
    size_t objects = 2'000'000;
    double arrayLength = 1 << 24; // dense operations past this are refused
    double secondsPerEntry = 0;   // wall-clock budget of one entry; 0: none
};

class Runtime {
  public:
    Runtime(Host& host, int swfVersion);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // ---- Entry points for the timeline (never throw) ----

    // Runs an action record list (DoAction, DoInitAction, clip event or
    // button actions) on `target`. Returns false when the script stopped
    // early (error, budget).
    bool RunActions(Bytes code, ClipId target);
    bool RunActions(const uint8_t* data, size_t size, ClipId target);
    // Calls clip.name(args) when it is a function (onEnterFrame, onLoad,
    // button handlers...). Returns false when there was no such function
    // or it stopped early.
    bool CallClipMethod(ClipId clip, const std::string& name, const std::vector<Value>& args = {});
    // Calls obj.name(args) on any object the host holds.
    bool CallObjectMethod(Object* obj, const std::string& name,
                          const std::vector<Value>& args = {});
    // Runs due intervals and timeouts against the host clock.
    void Tick();
    // The script object of a clip (created on first use).
    Object* ClipObject(ClipId clip);
    // False when calling `name` on the clip surely finds nothing: the clip
    // has no script object yet and the clip prototypes hold no such name.
    bool MayHaveMethod(ClipId clip, const std::string& name);
    // True when clip.name is a function now.
    bool HasClipMethod(ClipId clip, const std::string& name);
    // The host removed the clip: its object no longer reaches it.
    void ForgetClip(ClipId clip);
    // _root variables from the host (FlashVars).
    void SetClipVariable(ClipId clip, const std::string& name, const std::string& value);
    // The class a linkage name was registered to (Object.registerClass).
    Object* RegisteredClass(const std::string& linkage);
    // Makes the clip an instance of the class registered for `linkage`
    // (AdoptClass) and runs its constructor on it (ConstructClip does both).
    bool AdoptClass(ClipId clip, const std::string& linkage);
    bool ConstructClip(ClipId clip, const std::string& linkage);
    // _global[object].broadcastMessage(message): Key, Mouse, Stage events.
    bool BroadcastTo(const std::string& object, const std::string& message,
                     const std::vector<Value>& args = {});
    // Frees what no script can reach any more. Only between entries.
    void CollectGarbage();
    size_t HeapSize() const { return heap_.size(); }
    bool lastRunAborted() const { return lastAbort_ != nullptr; }
    const char* lastAbortReason() const { return lastAbort_; }

    // ---- For the interpreter and built-ins (may throw) ----

    Host& host() { return host_; }
    int version() const { return version_; }
    bool caseSensitive() const { return version_ >= 7; }
    Limits limits;

    Object* NewObject(Object* proto);
    Object* NewPlain() { return NewObject(objectProto); }
    Object* NewArray();
    Object* NewNative(NativeFn fn, int tag = 0);
    Object* NewFunctionObject(); // with its own prototype object
    Object* NewError(const std::string& message);

    Value GetMember(const Value& target, const std::string& name);
    Value GetMember(Object* obj, const std::string& name);
    void SetMember(Object* obj, const std::string& name, const Value& v);
    // Own or inherited; also clip children and display properties.
    bool HasProperty(Object* obj, const std::string& name);
    bool DeleteMember(Object* obj, const std::string& name);
    // Names for for..in: own and inherited enumerable, nearest first.
    std::vector<std::string> EnumerableNames(Object* obj);

    // homeProto: the object the method was found on (for `super`).
    Value Call(const Value& fn, const Value& thisv, Args& args, Object* homeProto = nullptr,
               bool construct = false);
    // The object a native constructor is initialising (null in plain calls).
    Object* constructing = nullptr;
    // The script function running now (arguments.caller of the next call).
    Object* runningFunction = nullptr;
    // Set by a native constructor that refuses its arguments: `new` then
    // gives undefined (BitmapData of a size the player does not allow).
    bool constructionRefused = false;
    Value CallMethod(const Value& target, const std::string& name, Args& args);
    Value Construct(const Value& ctor, Args& args);
    bool InstanceOf(Object* obj, Object* ctor);

    double ToNumber(const Value& v);
    std::string ToString(const Value& v);
    bool ToBoolean(const Value& v);
    // hint: 0 default, 1 number, 2 string
    Value ToPrimitive(const Value& v, int hint = 0);
    bool AbstractEquals(const Value& a, const Value& b);
    // a < b: 1 true, 0 false, -1 undefined (NaN involved).
    int AbstractLess(const Value& a, const Value& b);
    Value Add2(const Value& a, const Value& b);
    Object* ToObject(const Value& v);
    std::string TypeOf(const Value& v);
    std::string ClipPath(ClipId clip, bool slashes);

    // Array helpers.
    double ArrayLength(Object* arr);
    void SetArrayLength(Object* arr, double len);
    Value ArrayGet(Object* arr, uint32_t i) { return GetMember(arr, std::to_string(i)); }
    void ArrayPush(Object* arr, Value v);
    std::vector<Value> ArrayValues(Object* arr);
    Object* MakeArray(const std::vector<Value>& values);

    // Spends budget for `n` steps; throws ScriptAbort when none is left.
    void Charge(uint64_t n = 1);
    void CheckString(const std::string& s);
    // Call depth guard, shared by user and native calls.
    struct DepthGuard {
        explicit DepthGuard(Runtime& rt);
        ~DepthGuard();
        Runtime& rt;
    };

    // Resolves a target path ("/a/b", "_root.a", "../x", "_level1") from a
    // clip. Returns the object reached (a clip or any object) or null.
    Object* ResolveTarget(const std::string& path, ClipId base);
    // Built-in prototypes and constructors.
    Object* global = nullptr;
    Object* objectProto = nullptr;
    Object* functionProto = nullptr;
    Object* arrayProto = nullptr;
    Object* stringProto = nullptr;
    Object* numberProto = nullptr;
    Object* booleanProto = nullptr;
    Object* dateProto = nullptr;
    Object* errorProto = nullptr;
    Object* clipProto = nullptr;
    Object* textFieldProto = nullptr; // objects of clips that are text fields
    Object* arrayCtor = nullptr;
    Object* objectCtor = nullptr;

    struct Timer {
        int id;
        Value fn; // function, or the object when `method` is set
        std::string method;
        std::vector<Value> args;
        double interval;
        double due;
        bool repeat;
    };
    std::vector<Timer> timers;
    int nextTimerId = 1;
    std::unordered_map<std::string, Object*> registeredClasses; // linkage (lower case) -> ctor
    uint32_t randomState = 0x2545F491u;

    // ---- Files scripts load (uLoads.cpp) ----
    struct PendingLoad {
        enum class Kind { Variables, Data, Clip };
        Kind kind = Kind::Data;
        Object* obj = nullptr; // Variables: what gets them; Data: the LoadVars/XML;
                               // Clip: the MovieClipLoader, or null
        ClipId clip = 0;       // Clip: the target clip (0 with a level)
        int level = -1;
        std::string url;
        bool cancelled = false; // unloaded before it arrived
    };
    std::vector<PendingLoad> pendingLoads;
    std::vector<PendingLoad> deliveringLoads;
    std::vector<PendingLoad> loadInits; // loaded movies whose loaders await their first frame
    // Queues a load that completes on DeliverLoads; false when too many wait.
    bool QueueLoad(PendingLoad load);
    // Completes the loads queued so far, in order. Never throws.
    void DeliverLoads();
    // Tells the loaders of the movies DeliverLoads put in place that their
    // first frame has run (onLoadInit). Never throws.
    void DeliverLoadInits();
    // GetURL and GetURL2: pages and FSCommands go to the host; loadMovie,
    // loadVariables and their level forms are queued (flags of GetURL2:
    // 0x80 variables, 0x40 clip target, low bits the method).
    void GetUrlAction(const std::string& url, const std::string& target, uint8_t flags,
                      ClipId base);
    // Runs `f` as an entry: script errors and limits end it, never escape.
    bool RunGuarded(const std::function<void()>& f);

    int callDepth() const { return depth_; }
    std::shared_ptr<Scope> GlobalScope();

  private:
    friend class Interpreter;
    // A getter or setter running for (holder, name): nested access to the
    // same property reads or writes its slot instead of recursing.
    bool AccessorBusy(Object* holder, const std::string& name) const;
    struct AccessorGuard {
        AccessorGuard(Runtime& rt, Object* holder, const std::string& name);
        ~AccessorGuard();
        Runtime& rt;
    };
    std::vector<std::pair<Object*, std::string>> activeAccessors_;
    template <class F> bool Guarded(F&& f);
    void Mark(Object* o);
    void MarkValue(const Value& v);
    void MarkScope(const std::shared_ptr<Scope>& s);
    bool IsDisplayProp(const std::string& name, ClipProp& prop) const;
    Value GetClipProp(ClipId clip, ClipProp prop);
    void SetClipProp(ClipId clip, ClipProp prop, const Value& v);

    Host& host_;
    int version_;
    std::vector<std::unique_ptr<Object>> heap_;
    size_t heapAtLastCollect_ = 0;
    std::unordered_map<ClipId, Object*> clips_;
    uint64_t stepsLeft_ = 0;
    uint64_t clockChecks_ = 0;
    double deadline_ = 0; // steady-clock seconds; 0: none
    int depth_ = 0;
    int entryDepth_ = 0;
    const char* lastAbort_ = nullptr;
    std::shared_ptr<Scope> globalScope_;
};

// Installs the built-in classes and functions (uBuiltins*.cpp).
void InstallObjectAndFunction(Runtime& rt);
void InstallGlobals(Runtime& rt);
void InstallArray(Runtime& rt);
void InstallString(Runtime& rt);
void InstallNumberBooleanMath(Runtime& rt);
void InstallDate(Runtime& rt);
void InstallMovieClip(Runtime& rt);
void InstallXml(Runtime& rt);
void InstallLoadVars(Runtime& rt);
void InstallContextMenu(Runtime& rt);
void InstallSound(Runtime& rt);
void InstallStubs(Runtime& rt);
void InstallGeom(Runtime& rt); // after the stubs: fills in flash.geom
void InstallBitmap(Runtime& rt); // after Geom: flash.display.BitmapData
void InstallTextField(Runtime& rt);
void InstallStage(Runtime& rt); // after the stubs: replaces their Stage
// loadMovie, loadVariables, MovieClipLoader, and the loads of LoadVars and XML.
void InstallLoading(Runtime& rt);
// After the stubs: the classes that talk to the outside world, answered as
// a sandboxed local player answers them.
void InstallExternalInterface(Runtime& rt);
void InstallPrintJob(Runtime& rt);
void InstallSecurity(Runtime& rt);
void InstallNetConnection(Runtime& rt);
void InstallSharedObject(Runtime& rt);
void InstallFileReference(Runtime& rt);
void InstallXmlSocket(Runtime& rt);
void InstallTextSnapshot(Runtime& rt);
void InstallStyleSheet(Runtime& rt); // after TextField: TextField.StyleSheet
// Key and Selection over the host's keyboard and focus.
void InstallInput(Runtime& rt);
// Gives the object of a text field its own listener list.
void InitTextFieldObject(Runtime& rt, Object* field);

// Argument helper for natives.
inline const Value& Arg(const Args& a, size_t i) {
    static const Value undef;
    return i < a.size() ? a[i] : undef;
}

} // namespace zembra::avm1
