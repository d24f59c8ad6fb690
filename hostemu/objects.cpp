// HostObjectWindow (121), HostSetProperty (122), HostGetProperty (123) and
// HostReleaseObject (127) over the host's objects.
#include "hostemu/objects.h"

#include <stdexcept>

#include "hostemu/host.h"
#include "hostemu/window.h"

namespace hostemu {

namespace {

std::map<uint32_t, HostObject> gObjects;
std::map<uint32_t, int> gHeld;  // references handed to the library, by object
std::map<uint32_t, int> gTestHeld;  // references tests hold, by object
std::set<uint32_t> gGone;           // objects that went with their last reference
uint32_t gNextObject = 1;
Host* gCleanFor = nullptr;  // the host whose cleanup forgets the objects

constexpr int kNoProperty = 1734;  // "Property is not found."
constexpr int kReadOnly = 1743;    // "Property is read-only."
constexpr int kNoObject = 1924;    // "Object is not an object."
constexpr const char* kFormClass = "KavroHostForm";
constexpr const char* kInnerClass = "KavroHostInner";

// The object goes: its windows are destroyed and the automation object it
// stands for loses the host's reference.
void destroy(uint32_t ref) {
    auto it = gObjects.find(ref);
    if (it == gObjects.end()) return;
    HostObject o = std::move(it->second);
    gObjects.erase(it);
    gGone.insert(ref);
    if (o.window && IsWindow(o.window)) DestroyWindow(o.window);  // the inner window goes with it
    forgetWindow(o.window);
    forgetWindow(o.inner);
    if (o.dispatch) o.dispatch->Release();
}

// The program ends: every object still there goes.
void forgetAll() {
    while (!gObjects.empty()) destroy(gObjects.begin()->first);
    gHeld.clear();
    gTestHeld.clear();
    gGone.clear();
    gNextObject = 1;
    gCleanFor = nullptr;
}

Value makeObject(Host& host, HostObject o) {
    if (gCleanFor != &host) {
        gCleanFor = &host;
        host.cleanups.push_back(forgetAll);
        host.leakChecks.push_back([&host](const std::string& after) {
            for (auto& [ref, n] : gHeld)
                if (n > 0)
                    host.violation("object " + std::to_string(ref) + " is still held (" + std::to_string(n) +
                                   " reference(s)) after " + after);
            gHeld.clear();
        });
    }
    const uint32_t ref = gNextObject++;
    gObjects[ref] = std::move(o);
    Value v;
    v.type = 'O';
    v.object = ref;
    return v;
}

void registerClasses() {
    static const bool done = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kFormClass;
        RegisterClassA(&wc);
        wc.lpszClassName = kInnerClass;
        RegisterClassA(&wc);
        return true;
    }();
    (void)done;
}

// The object a value record names; a violation when it is no object value.
HostObject* objectArg(Host& h, word_t address, const char* what) {
    const auto* hv = reinterpret_cast<const HostValue*>(address);
    if (!hv || hv->type != 'O') {
        h.violation(std::string(what) + " was given a value that is not an object");
        return nullptr;
    }
    if (gGone.count(hv->object))
        h.violation(std::string(what) + " was given object " + std::to_string(hv->object) +
                    ", whose last reference is gone");
    return findObject(hv->object);
}

// Arguments: object, which (0: own window, 16: inner window). The window's id, 0 if none.
ApiRegistration objectWindow(api::ObjectWindow, [](Host& h, HostCallRecord& r) {
    HostObject* o = objectArg(h, r.arg1, "HostObjectWindow");
    const auto which = static_cast<int32_t>(r.arg2);
    if (which != 0 && which != 16) h.violation("HostObjectWindow asked for window " + std::to_string(which));
    HWND w = !o ? nullptr : which == 0 ? o->window : which == 16 ? o->inner : nullptr;
    r.arg1 = static_cast<word_t>(windowId(w));
});

// Arguments: object, NUL-terminated name, value (or a locator), flag (1: create when missing).
ApiRegistration setPropertyApi(api::SetProperty, [](Host& h, HostCallRecord& r) {
    HostObject* o = objectArg(h, r.arg1, "HostSetProperty");
    const std::string name = upper(h.cstring(r.arg2));
    const auto* hv = reinterpret_cast<const HostValue*>(r.arg3);
    const auto flag = static_cast<int32_t>(r.arg4);
    if (!o) {
        r.arg1 = kNoObject;
        return;
    }
    if (!o->properties.count(name) && flag == 0) {
        r.arg1 = kNoProperty;
        return;
    }
    if (o->readOnly.count(name)) {
        r.arg1 = kReadOnly;
        return;
    }
    Value v;
    if (hv->type == 'R') {  // a variable passed by reference: its value
        int error = 0;
        Value* at = h.locate(*reinterpret_cast<const HostLocator*>(hv), error);
        if (!at) {
            r.arg1 = static_cast<word_t>(error);
            return;
        }
        v = *at;
    } else {
        v = h.fromHost(*hv, false);  // the host copies; the caller keeps its handle
    }
    o->properties[name] = std::move(v);
    r.arg1 = 0;
});

// Arguments: value (out), object, NUL-terminated name. A character value
// arrives in a new handle, an object value as a reference the library holds.
ApiRegistration getPropertyApi(api::GetProperty, [](Host& h, HostCallRecord& r) {
    auto* out = reinterpret_cast<HostValue*>(r.arg1);
    HostObject* o = objectArg(h, r.arg2, "HostGetProperty");
    const std::string name = upper(h.cstring(r.arg3));
    if (!o) {
        r.arg1 = kNoObject;
        return;
    }
    auto it = o->properties.find(name);
    if (it == o->properties.end()) {
        r.arg1 = kNoProperty;
        return;
    }
    if (!h.toHost(it->second, *out)) {
        r.arg1 = 43;
        return;
    }
    if (it->second.type == 'O') ++gHeld[it->second.object];
    r.arg1 = 0;
});

ApiRegistration releaseObject(api::ReleaseObject, [](Host& h, HostCallRecord& r) {
    const auto* hv = reinterpret_cast<const HostValue*>(r.arg1);
    if (hv && hv->type == 'O' && gGone.count(hv->object)) {
        h.violation("HostReleaseObject of object " + std::to_string(hv->object) + ", whose last reference is gone");
        return;
    }
    if (!hv || hv->type != 'O' || gHeld[hv->object] <= 0) {
        h.violation("HostReleaseObject of a reference the library does not hold");
        return;
    }
    --gHeld[hv->object];
    // The library's copy of an automation object held a reference of its own.
    if (HostObject* o = findObject(hv->object); o && o->dispatch) o->dispatch->Release();
});

// SYS(3096, n): an object value for the automation object whose IDispatch
// pointer is n, holding a reference on it; no value for a null pointer.
LoadRegistration dispatchObjects([](Host& host, HMODULE) {
    host.defineProc("SYS", [&host](std::vector<Value>& a) -> Value {
        if (a.size() != 2 || a[0].asNumber() != 3096) return {};
        auto* d = reinterpret_cast<IDispatch*>(static_cast<uintptr_t>(a[1].asNumber()));
        if (!d) return {};
        d->AddRef();  // the host object's own, released when the object goes
        HostObject o;
        o.className = "dispatch";
        o.dispatch = d;
        return makeObject(host, std::move(o));
    });
});

// ADDPROPERTY(object, name[, value]): adds the property (or sets it when the
// object has it), .F. when no value is given; .T.
LoadRegistration addProperty([](Host& host, HMODULE) {
    host.defineProc("ADDPROPERTY", [](std::vector<Value>& a) -> Value {
        HostObject* o = a.size() >= 2 && a[1].type == 'C' ? findObject(a[0]) : nullptr;
        if (!o || a[1].str.empty() || a.size() > 3) throw std::invalid_argument("ADDPROPERTY(object, name[, value])");
        const std::string name = upper(a[1].str);
        if (o->readOnly.count(name)) throw std::invalid_argument("Property " + name + " is read-only.");
        o->properties[name] = a.size() == 3 ? a[2] : Bool(false);
        return Bool(true);
    });
});

}  // namespace

Value newObject(Host& host, const std::string& className) {
    HostObject o;
    o.className = className;
    o.properties["CLASS"] = Str(className);
    Value v = makeObject(host, std::move(o));
    if (!host.inStatement()) holdObject(v);  // a test's own; a script's goes to a variable
    return v;
}

Value newWindowObject(Host& host, const std::string& className, const std::string& caption, bool withInner) {
    registerClasses();
    HostObject o;
    o.className = className;
    o.properties["CLASS"] = Str(className);
    o.properties["CAPTION"] = Str(caption);
    o.window = CreateWindowExA(0, kFormClass, caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (withInner)
        o.inner = CreateWindowExA(0, kInnerClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, o.window, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    o.properties["HWND"] = Num(static_cast<double>(reinterpret_cast<uintptr_t>(o.window)));
    Value v = makeObject(host, std::move(o));
    if (!host.inStatement()) holdObject(v);
    return v;
}

HostObject* findObject(uint32_t ref) {
    auto it = gObjects.find(ref);
    return it == gObjects.end() ? nullptr : &it->second;
}

HostObject* findObject(const Value& v) { return v.type == 'O' ? findObject(v.object) : nullptr; }

Value property(const Value& object, const std::string& name) {
    HostObject* o = findObject(object);
    if (!o) return {};
    auto it = o->properties.find(upper(name));
    return it == o->properties.end() ? Value{} : it->second;
}

void setProperty(const Value& object, const std::string& name, Value v) {
    if (HostObject* o = findObject(object)) o->properties[upper(name)] = std::move(v);
}

void holdReference(uint32_t ref) { ++gHeld[ref]; }

namespace {
// References on every object there is, by object.
std::map<uint32_t, int> countReferences(const Host& host) {
    std::map<uint32_t, int> n;
    for (auto& [ref, o] : gObjects) {
        n[ref] += 0;
        for (auto& [name, v] : o.properties)
            if (v.type == 'O') ++n[v.object];
    }
    for (auto& [name, var] : host.variables())
        for (const Value& v : var.items)
            if (v.type == 'O') ++n[v.object];
    for (auto& [ref, k] : gHeld) n[ref] += k;
    for (auto& [ref, k] : gTestHeld) n[ref] += k;
    return n;
}
}  // namespace

int objectReferences(const Value& object) {
    if (object.type != 'O' || !findObject(object.object) || !Host::current()) return 0;
    return countReferences(*Host::current())[object.object];
}

bool objectGone(const Value& object) { return object.type == 'O' && gGone.count(object.object) != 0; }

void holdObject(const Value& object) {
    if (findObject(object)) ++gTestHeld[object.object];
}

void releaseObject(Host& host, const Value& object) {
    if (object.type != 'O' || gTestHeld[object.object] <= 0) return;
    --gTestHeld[object.object];
    collectObjects(host);
}

void collectObjects(Host& host) {
    for (bool again = true; again;) {
        again = false;
        for (auto& [ref, n] : countReferences(host)) {
            if (n > 0 || !gObjects.count(ref)) continue;
            destroy(ref);  // what its properties held may go now too
            again = true;
            break;
        }
    }
}

int heldObjectReferences() {
    int n = 0;
    for (auto& [ref, k] : gHeld) n += k;
    return n;
}

}  // namespace hostemu
