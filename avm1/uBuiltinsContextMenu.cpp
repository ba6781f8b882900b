// ContextMenu and ContextMenuItem: the objects scripts build and read. A
// saver shows no context menu, so nothing here is ever displayed.
#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

// for..in lists an object's newest property first: the items go in
// reverse so they list in the player's order.
const char* const kBuiltIns[] = {"print", "forward_back", "rewind", "loop",
                                 "play",  "quality",      "zoom",   "save"};

Object* NewBuiltInItems(Runtime& rt) {
    Object* items = rt.NewPlain();
    for (const char* n : kBuiltIns)
        items->Put(n, Value::Bool(true));
    return items;
}

Value MenuCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    o->Put("onSelect", Arg(args, 0));
    o->Put("builtInItems", Value::Obj(NewBuiltInItems(rt)));
    o->Put("customItems", Value::Obj(rt.NewArray()));
    return Value::Undef();
}

Value MenuHideBuiltIns(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (Object* items = rt.GetMember(thisv, "builtInItems").AsObject())
        for (const char* n : kBuiltIns)
            rt.SetMember(items, n, Value::Bool(false));
    return Value::Undef();
}

// A new menu with the same handler and copies of both item lists.
Value MenuCopy(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* self = thisv.AsObject();
    if (!self)
        return Value::Undef();
    Args a{rt.GetMember(self, "onSelect")};
    Value copy = rt.Construct(rt.GetMember(rt.global, "ContextMenu"), a);
    Object* c = copy.AsObject();
    if (!c)
        return copy;
    if (Object* from = rt.GetMember(self, "builtInItems").AsObject()) {
        Object* to = rt.NewPlain();
        auto names = rt.EnumerableNames(from);
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            to->Put(*it, rt.GetMember(from, *it));
        rt.SetMember(c, "builtInItems", Value::Obj(to));
    }
    if (Object* from = rt.GetMember(self, "customItems").AsObject()) {
        std::vector<Value> items = rt.ArrayValues(from);
        for (auto& item : items) {
            Args none;
            if (item.AsObject())
                item = rt.CallMethod(item, "copy", none);
        }
        rt.SetMember(c, "customItems", Value::Obj(rt.MakeArray(items)));
    }
    return copy;
}

Value ItemCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    o->Put("caption", Arg(args, 0));
    o->Put("onSelect", Arg(args, 1));
    o->Put("separatorBefore", Value::Bool(args.size() > 2 && rt.ToBoolean(args[2])));
    o->Put("enabled", Value::Bool(args.size() <= 3 || rt.ToBoolean(args[3])));
    o->Put("visible", Value::Bool(args.size() <= 4 || rt.ToBoolean(args[4])));
    return Value::Undef();
}

Value ItemCopy(Runtime& rt, Object*, const Value& thisv, Args&) {
    Args a;
    for (const char* n : {"caption", "onSelect", "separatorBefore", "enabled", "visible"})
        a.push_back(rt.GetMember(thisv, n));
    return rt.Construct(rt.GetMember(rt.global, "ContextMenuItem"), a);
}

} // namespace

void InstallContextMenu(Runtime& rt) {
    Object* menu = rt.NewPlain();
    DefClass(rt, "ContextMenu", MenuCtor, MenuCtor, menu);
    Def(rt, menu, "hideBuiltInItems", MenuHideBuiltIns);
    Def(rt, menu, "copy", MenuCopy);
    Object* item = rt.NewPlain();
    DefClass(rt, "ContextMenuItem", ItemCtor, ItemCtor, item);
    Def(rt, item, "copy", ItemCopy);
}

} // namespace zembra::avm1
