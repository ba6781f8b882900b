// XMLNode and XML: a node tree kept inside the script objects, its
// navigation properties (computed on every read, as the player does), the
// editing methods, text in and out. Loading from a url has no source here:
// load() only starts the byte counters.
#include <algorithm>
#include <utility>

#include "avm1/uBuiltinUtil.h"
#include "avm1/uXmlParser.h"

namespace zembra::avm1 {

namespace {

// A node's slots in Object::extra; the children follow the fixed slots.
enum Slot : size_t { kParent, kAttrs, kChildArray, kName, kValue, kType, kFirstChild };

// Bound for walks up the parent chain; trees cannot form cycles, this only
// keeps a damaged one from looping.
constexpr int kMaxAncestors = 1 << 20;

bool IsNode(Object* o) {
    return o && o->kind == ObjKind::XmlNode && o->extra.size() >= kFirstChild;
}

Object* NodeOf(const Value& v) {
    Object* o = v.AsObject();
    return IsNode(o) ? o : nullptr;
}

size_t ChildCount(Object* n) {
    return n->extra.size() - kFirstChild;
}

Object* ChildAt(Object* n, size_t i) {
    return n->extra[kFirstChild + i].AsObject();
}

Object* ParentOf(Object* n) {
    return n->extra[kParent].AsObject();
}

void InitNode(Runtime& rt, Object* o, int type, const Value& name, const Value& value) {
    o->kind = ObjKind::XmlNode;
    o->extra.assign(kFirstChild, Value::Undef());
    o->extra[kParent] = Value::Null();
    o->extra[kAttrs] = Value::Obj(rt.NewPlain());
    o->extra[kChildArray] = Value::Obj(rt.NewArray());
    o->extra[kName] = name;
    o->extra[kValue] = value;
    o->extra[kType] = Value::Num(type);
}

// The prototype for nodes the engine makes: the native keeps it in its own
// extra slot, set at installation.
Object* NodeProto(Runtime& rt, Object* self) {
    if (self && !self->extra.empty() && self->extra[0].AsObject())
        return self->extra[0].AsObject();
    return rt.objectProto;
}

Object* NewNode(Runtime& rt, Object* proto, int type, const Value& name, const Value& value) {
    Object* o = rt.NewObject(proto);
    InitNode(rt, o, type, name, value);
    return o;
}

// childNodes is one array per node, refilled whenever the children change;
// edits made to the array itself last until then.
void RefreshChildArray(Runtime& rt, Object* n) {
    Object* arr = n->extra[kChildArray].AsObject();
    if (!arr)
        return;
    rt.SetArrayLength(arr, 0);
    for (size_t i = 0; i < ChildCount(n); ++i)
        rt.ArrayPush(arr, n->extra[kFirstChild + i]);
}

void Detach(Runtime& rt, Object* child) {
    Object* parent = ParentOf(child);
    child->extra[kParent] = Value::Null();
    if (!IsNode(parent))
        return;
    auto& ex = parent->extra;
    for (size_t i = kFirstChild; i < ex.size(); ++i)
        if (ex[i].AsObject() == child) {
            ex.erase(ex.begin() + static_cast<long>(i));
            break;
        }
    RefreshChildArray(rt, parent);
}

// True when `a` is `b` or one of its ancestors. The walk is paid for from
// the script's budget: deep chains built in a loop cost in proportion.
bool IsSelfOrAncestor(Runtime& rt, Object* a, Object* b) {
    int steps = 0;
    for (Object* p = b; p && steps < kMaxAncestors; p = ParentOf(p), ++steps) {
        if (p == a)
            return true;
        if ((steps & 63) == 63)
            rt.Charge();
    }
    return false;
}

void InsertChild(Runtime& rt, Object* parent, Object* child, size_t index) {
    Detach(rt, child);
    auto& ex = parent->extra;
    size_t at = kFirstChild + std::min(index, ChildCount(parent));
    ex.insert(ex.begin() + static_cast<long>(at), Value::Obj(child));
    child->extra[kParent] = Value::Obj(parent);
    RefreshChildArray(rt, parent);
}

void ClearChildren(Runtime& rt, Object* n) {
    for (size_t i = 0; i < ChildCount(n); ++i)
        if (Object* c = ChildAt(n, i))
            c->extra[kParent] = Value::Null();
    n->extra.resize(kFirstChild);
    RefreshChildArray(rt, n);
}

// Attributes in the order for..in lists them.
std::vector<std::pair<std::string, std::string>> AttributeList(Runtime& rt, Object* n) {
    std::vector<std::pair<std::string, std::string>> out;
    Object* attrs = n->extra[kAttrs].AsObject();
    if (!attrs)
        return out;
    for (auto& name : rt.EnumerableNames(attrs))
        out.emplace_back(name, rt.ToString(rt.GetMember(attrs, name)));
    return out;
}

bool HasName(Object* n) {
    return !n->extra[kName].IsNullish();
}

// Node to text without recursion: a stack of (node, next child).
std::string Serialize(Runtime& rt, Object* root) {
    std::string out;
    auto open = [&](Object* n) {
        if (n->extra[kType].AsNumber() != 1) {
            out += XmlEscape(rt.ToString(n->extra[kValue]));
            return false;
        }
        if (!HasName(n))
            return true;
        out += '<';
        out += rt.ToString(n->extra[kName]);
        for (auto& a : AttributeList(rt, n))
            out += ' ' + a.first + "=\"" + XmlEscape(a.second) + '"';
        if (ChildCount(n) == 0) {
            out += " />";
            return false;
        }
        out += '>';
        return true;
    };
    if (!HasName(root) && root->extra[kType].AsNumber() == 1) {
        for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
            Value d = rt.GetMember(root, decl);
            if (!d.IsNullish())
                out += rt.ToString(d);
        }
    }
    std::vector<std::pair<Object*, size_t>> stack;
    if (open(root))
        stack.emplace_back(root, 0);
    while (!stack.empty()) {
        rt.Charge();
        auto& top = stack.back();
        Object* n = top.first;
        if (top.second < ChildCount(n)) {
            Object* c = ChildAt(n, top.second++);
            if (IsNode(c) && open(c))
                stack.emplace_back(c, 0);
            rt.CheckString(out);
            continue;
        }
        if (HasName(n))
            out += "</" + rt.ToString(n->extra[kName]) + '>';
        stack.pop_back();
    }
    rt.CheckString(out);
    return out;
}

Object* CloneOne(Runtime& rt, Object* n) {
    Object* c = NewNode(rt, n->proto, static_cast<int>(n->extra[kType].AsNumber()), n->extra[kName],
                        n->extra[kValue]);
    Object* from = n->extra[kAttrs].AsObject();
    Object* to = c->extra[kAttrs].AsObject();
    if (from && to) {
        auto names = rt.EnumerableNames(from);
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            to->Put(*it, rt.GetMember(from, *it));
    }
    return c;
}

Object* CloneTree(Runtime& rt, Object* root, bool deep) {
    Object* copy = CloneOne(rt, root);
    if (!deep)
        return copy;
    std::vector<std::pair<Object*, Object*>> work{{root, copy}};
    while (!work.empty()) {
        auto [from, to] = work.back();
        work.pop_back();
        for (size_t i = 0; i < ChildCount(from); ++i) {
            Object* c = ChildAt(from, i);
            if (!IsNode(c))
                continue;
            rt.Charge();
            Object* cc = CloneOne(rt, c);
            to->extra.push_back(Value::Obj(cc));
            cc->extra[kParent] = Value::Obj(to);
            work.emplace_back(c, cc);
        }
        RefreshChildArray(rt, to);
    }
    return copy;
}

void ParseInto(Runtime& rt, Object* doc, Object* nodeProto, const std::string& text) {
    ClearChildren(rt, doc);
    bool ignoreWhite = rt.ToBoolean(rt.GetMember(doc, "ignoreWhite"));
    XmlDocument parsed = ParseXml(text, ignoreWhite);
    if (parsed.hasXmlDecl)
        rt.SetMember(doc, "xmlDecl", Value::Str(parsed.xmlDecl));
    if (parsed.hasDocType)
        rt.SetMember(doc, "docTypeDecl", Value::Str(parsed.docTypeDecl));
    std::vector<std::pair<const XmlTreeNode*, Object*>> work{{&parsed.root, doc}};
    while (!work.empty()) {
        auto [from, to] = work.back();
        work.pop_back();
        for (auto& c : from->children) {
            rt.Charge();
            Object* n = c->type == 1
                            ? NewNode(rt, nodeProto, 1, Value::Str(c->name), Value::Null())
                            : NewNode(rt, nodeProto, 3, Value::Null(), Value::Str(c->value));
            // for..in lists the newest first: add in reverse to list them in order.
            Object* attrs = n->extra[kAttrs].AsObject();
            for (auto it = c->attributes.rbegin(); it != c->attributes.rend(); ++it)
                attrs->Put(it->first, Value::Str(it->second));
            to->extra.push_back(Value::Obj(n));
            n->extra[kParent] = Value::Obj(to);
            work.emplace_back(c.get(), n);
        }
        RefreshChildArray(rt, to);
    }
    rt.SetMember(doc, "status", Value::Num(parsed.status));
}

// ---- constructors

Value XmlNodeCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || IsNode(o))
        return Value::Undef();
    int type = static_cast<int>(rt.ToNumber(Arg(args, 0)));
    if (type == 1)
        InitNode(rt, o, 1, Value::Str(rt.ToString(Arg(args, 1))), Value::Null());
    else
        InitNode(rt, o, 3, Value::Null(), Value::Str(rt.ToString(Arg(args, 1))));
    return Value::Undef();
}

Value XmlCtor(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || IsNode(o))
        return Value::Undef();
    InitNode(rt, o, 1, Value::Null(), Value::Null());
    const Value& text = Arg(args, 0);
    if (!text.IsNullish())
        ParseInto(rt, o, NodeProto(rt, self), rt.ToString(text));
    return Value::Undef();
}

// ---- navigation accessors (tag picks the property)

enum Nav {
    kNavParent,
    kNavFirst,
    kNavLast,
    kNavNext,
    kNavPrev,
    kNavChildren,
    kNavAttributes,
    kNavName,
    kNavValue,
    kNavType,
    kNavLocal,
    kNavPrefix,
};

Value Sibling(Object* n, int delta) {
    Object* p = ParentOf(n);
    if (!IsNode(p))
        return Value::Null();
    for (size_t i = 0; i < ChildCount(p); ++i)
        if (ChildAt(p, i) == n) {
            long j = static_cast<long>(i) + delta;
            if (j < 0 || static_cast<size_t>(j) >= ChildCount(p))
                return Value::Null();
            return p->extra[kFirstChild + static_cast<size_t>(j)];
        }
    return Value::Null();
}

Value NavGet(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Object* n = NodeOf(thisv);
    if (!n)
        return Value::Undef();
    switch (self->nativeTag) {
    case kNavParent:
        return IsNode(ParentOf(n)) ? n->extra[kParent] : Value::Null();
    case kNavFirst:
        return ChildCount(n) ? n->extra[kFirstChild] : Value::Null();
    case kNavLast:
        return ChildCount(n) ? n->extra.back() : Value::Null();
    case kNavNext:
        return Sibling(n, 1);
    case kNavPrev:
        return Sibling(n, -1);
    case kNavChildren:
        return n->extra[kChildArray];
    case kNavAttributes:
        return n->extra[kAttrs];
    case kNavName:
        return n->extra[kType].AsNumber() == 1 ? n->extra[kName] : Value::Null();
    case kNavValue:
        return n->extra[kType].AsNumber() == 1 ? Value::Null() : n->extra[kValue];
    case kNavType:
        return n->extra[kType];
    case kNavLocal:
    case kNavPrefix: {
        if (n->extra[kType].AsNumber() != 1 || !HasName(n))
            return Value::Null();
        std::string name = rt.ToString(n->extra[kName]);
        size_t colon = name.find(':');
        if (self->nativeTag == kNavLocal)
            return Value::Str(colon == std::string::npos ? name : name.substr(colon + 1));
        return Value::Str(colon == std::string::npos ? std::string() : name.substr(0, colon));
    }
    default:
        return Value::Undef();
    }
}

// nodeName, nodeValue and attributes can be written; undefined is ignored.
Value NavSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* n = NodeOf(thisv);
    const Value& v = Arg(args, 0);
    if (!n || v.IsUndefined())
        return Value::Undef();
    switch (self->nativeTag) {
    case kNavName:
        if (n->extra[kType].AsNumber() == 1)
            n->extra[kName] = v.IsNull() ? v : Value::Str(rt.ToString(v));
        break;
    case kNavValue:
        if (n->extra[kType].AsNumber() != 1)
            n->extra[kValue] = v.IsNull() ? v : Value::Str(rt.ToString(v));
        break;
    case kNavAttributes:
        if (v.IsObject())
            n->extra[kAttrs] = v;
        break;
    default:
        break;
    }
    return Value::Undef();
}

// ---- XMLNode methods

Value AppendChild(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* n = NodeOf(thisv);
    Object* c = NodeOf(Arg(args, 0));
    // A node cannot become a child of itself or of its own descendant.
    if (n && c && !IsSelfOrAncestor(rt, c, n))
        InsertChild(rt, n, c, ChildCount(n) + 1);
    return Value::Undef();
}

Value InsertBefore(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* n = NodeOf(thisv);
    Object* c = NodeOf(Arg(args, 0));
    Object* before = NodeOf(Arg(args, 1));
    // A node already among this node's children is not moved.
    if (!n || !c || !before || c == before || ParentOf(before) != n || ParentOf(c) == n ||
        IsSelfOrAncestor(rt, c, n))
        return Value::Undef();
    Detach(rt, c);
    for (size_t i = 0; i < ChildCount(n); ++i)
        if (ChildAt(n, i) == before) {
            InsertChild(rt, n, c, i);
            break;
        }
    return Value::Undef();
}

Value RemoveNode(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (Object* n = NodeOf(thisv))
        Detach(rt, n);
    return Value::Undef();
}

Value CloneNode(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* n = NodeOf(thisv);
    if (!n)
        return Value::Undef();
    return Value::Obj(CloneTree(rt, n, rt.ToBoolean(Arg(args, 0))));
}

Value HasChildNodes(Runtime&, Object*, const Value& thisv, Args&) {
    Object* n = NodeOf(thisv);
    return Value::Bool(n && ChildCount(n) > 0);
}

Value NodeToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* n = NodeOf(thisv);
    if (!n)
        return Value::Str("[object Object]");
    return Value::Str(Serialize(rt, n));
}

// ---- XML methods

Value CreateElement(Runtime& rt, Object* self, const Value&, Args& args) {
    return Value::Obj(
        NewNode(rt, NodeProto(rt, self), 1, Value::Str(StrArg(rt, args, 0)), Value::Null()));
}

Value CreateTextNode(Runtime& rt, Object* self, const Value&, Args& args) {
    return Value::Obj(
        NewNode(rt, NodeProto(rt, self), 3, Value::Null(), Value::Str(StrArg(rt, args, 0))));
}

Value ParseXmlMethod(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    if (Object* n = NodeOf(thisv))
        ParseInto(rt, n, NodeProto(rt, self), StrArg(rt, args, 0));
    return Value::Undef();
}

// No url can be read here: the request starts and never completes.
Value Load(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || args.empty() || args[0].IsNullish())
        return Value::Bool(false);
    rt.SetMember(o, "loaded", Value::Bool(false));
    rt.SetMember(o, "_bytesLoaded", Value::Num(0));
    return Value::Bool(true);
}

Value GetBytesLoaded(Runtime& rt, Object*, const Value& thisv, Args&) {
    return rt.GetMember(thisv, "_bytesLoaded");
}

Value GetBytesTotal(Runtime& rt, Object*, const Value& thisv, Args&) {
    return rt.GetMember(thisv, "_bytesTotal");
}

// The default onData: text arrived (or did not) from a load.
Value OnData(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = NodeOf(thisv);
    if (!o)
        return Value::Undef();
    Args result{Value::Bool(false)};
    if (!Arg(args, 0).IsUndefined()) {
        ParseInto(rt, o, NodeProto(rt, self), StrArg(rt, args, 0));
        rt.SetMember(o, "loaded", Value::Bool(true));
        result[0] = Value::Bool(true);
    }
    rt.CallMethod(thisv, "onLoad", result);
    return Value::Undef();
}

Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

Value False(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}

void Accessor(Runtime& rt, Object* proto, const char* name, int tag, bool writable) {
    Property& p = proto->Put(name, Value::Undef(), kDontEnum);
    p.getter = rt.NewNative(NavGet, tag);
    if (writable)
        p.setter = rt.NewNative(NavSet, tag);
}

// A native that makes nodes: it keeps the node prototype at hand.
void DefMaker(Runtime& rt, Object* on, const char* name, NativeFn fn, Object* nodeProto) {
    Def(rt, on, name, fn)->extra.push_back(Value::Obj(nodeProto));
}

} // namespace

void InstallXml(Runtime& rt) {
    Object* nodeProto = rt.NewPlain();
    DefClass(rt, "XMLNode", XmlNodeCtor, XmlNodeCtor, nodeProto);
    Accessor(rt, nodeProto, "parentNode", kNavParent, false);
    Accessor(rt, nodeProto, "firstChild", kNavFirst, false);
    Accessor(rt, nodeProto, "lastChild", kNavLast, false);
    Accessor(rt, nodeProto, "nextSibling", kNavNext, false);
    Accessor(rt, nodeProto, "previousSibling", kNavPrev, false);
    Accessor(rt, nodeProto, "childNodes", kNavChildren, false);
    Accessor(rt, nodeProto, "attributes", kNavAttributes, true);
    Accessor(rt, nodeProto, "nodeName", kNavName, true);
    Accessor(rt, nodeProto, "nodeValue", kNavValue, true);
    Accessor(rt, nodeProto, "nodeType", kNavType, false);
    Accessor(rt, nodeProto, "localName", kNavLocal, false);
    Accessor(rt, nodeProto, "prefix", kNavPrefix, false);
    Def(rt, nodeProto, "appendChild", AppendChild);
    Def(rt, nodeProto, "insertBefore", InsertBefore);
    Def(rt, nodeProto, "removeNode", RemoveNode);
    Def(rt, nodeProto, "cloneNode", CloneNode);
    Def(rt, nodeProto, "hasChildNodes", HasChildNodes);
    Def(rt, nodeProto, "toString", NodeToString);

    Object* xmlProto = rt.NewObject(nodeProto);
    Object* xmlCtor = DefClass(rt, "XML", XmlCtor, XmlCtor, xmlProto);
    xmlCtor->extra.push_back(Value::Obj(nodeProto));
    DefMaker(rt, xmlProto, "createElement", CreateElement, nodeProto);
    DefMaker(rt, xmlProto, "createTextNode", CreateTextNode, nodeProto);
    DefMaker(rt, xmlProto, "parseXML", ParseXmlMethod, nodeProto);
    DefMaker(rt, xmlProto, "onData", OnData, nodeProto);
    Def(rt, xmlProto, "onLoad", Noop);
    Def(rt, xmlProto, "load", Load);
    Def(rt, xmlProto, "send", False);
    Def(rt, xmlProto, "sendAndLoad", Load);
    Def(rt, xmlProto, "addRequestHeader", Noop);
    Def(rt, xmlProto, "getBytesLoaded", GetBytesLoaded);
    Def(rt, xmlProto, "getBytesTotal", GetBytesTotal);
    xmlProto->Put("contentType", Value::Str("application/x-www-form-urlencoded"), kDontEnum);
    xmlProto->Put("ignoreWhite", Value::Bool(false), kDontEnum);
}

} // namespace zembra::avm1
