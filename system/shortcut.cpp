// SC_READ and SC_WRITE: a shortcut file read into, or written from, the
// properties of a host object, through the shell's shell-link object.
//
// The shell link and its file interface are held by owners that release them
// on every way out of a call, a host error included; every value read from
// the object is given back (a text's handle freed, an object's reference
// released) the same way.
#include "system/shortcut.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "frame/kavro.h"
#include "frame/own.h"

using namespace kv;

namespace {

// The shell link's text fields: 260 characters and a terminator.
constexpr int kFieldChars = 261;
constexpr const char* kNotString = "\"Shortcut\" property must be a string!";

// One property read from the object, given back (a text's handle freed, an
// object's reference released) when it goes, or before an error is raised.
class Property {
public:
    Property(HostValue* object, const char* name) : code_(HostGetProperty(&value_.v, object, name)) {
        if (code_ != 0) value_.v = HostValue{};  // nothing was handed over
    }

    int32_t code() const { return code_; }
    bool read() const { return code_ == 0; }
    char type() const { return read() ? value_.v.type : 0; }
    int32_t integer() const { return value_.v.integer; }
    std::string_view text() const { return value_.bytes().view(); }
    // The text terminated in place (its handle grows by one byte); 182 when it cannot grow.
    const char* cstr() { return value_.cstr(); }

    [[noreturn]] void fail(int32_t number) {
        value_.giveBack();
        kv::fail(number);
    }
    [[noreturn]] void failText(const char* message) {
        value_.giveBack();
        kv::failText(message);
    }

private:
    OwnedValue value_;
    int32_t code_;
};

HostValue* objectArg(const Args& a) {
    if (a.type(1) != 'O') fail(err::BadArgument);
    return &a.value(1);
}

// The shortcut's path as the wide string the file interface takes. False for
// a path that names no file whole: empty, holding a NUL byte, or longer than
// the 260 characters the field holds. Such a path is never cut short into
// the name of another file.
bool widePath(std::string_view path, wchar_t (&out)[kFieldChars]) {
    if (path.empty() || path.find('\0') != std::string_view::npos || path.size() > 0x7fffffff) return false;
    const int len = static_cast<int>(path.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), len, nullptr, 0);
    if (n <= 0 || n >= kFieldChars) return false;
    if (MultiByteToWideChar(CP_ACP, 0, path.data(), len, out, kFieldChars - 1) != n) return false;
    out[n] = 0;
    return true;
}

bool createLink(ComPtr<IShellLinkA>& link) {
    return SUCCEEDED(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out()));
}

// ---- SC_READ ----

// Sets the object's properties from the loaded link, through one work handle
// that holds each text in turn (the host copies what it is given).
class PropertyWriter {
public:
    explicit PropertyWriter(HostValue* object) : object_(object), work_(Handle::require(kFieldChars)) {}

    // The text of a field buffer, up to its terminator (the last byte is one).
    void text(const char* name, char (&field)[kFieldChars]) {
        field[kFieldChars - 1] = 0;
        const size_t n = std::strlen(field);
        std::memcpy(work_.data(), field, n);
        HostValue v{};
        v.type = 'C';
        v.length = static_cast<uint32_t>(n);
        v.handle = work_.get();
        HostSetProperty(object_, name, &v, 1);
    }
    void integer(const char* name, int32_t value) {
        HostValue v{};
        v.type = 'I';
        v.integer = value;
        HostSetProperty(object_, name, &v, 1);
    }

private:
    HostValue* object_;
    Handle work_;
};

void copyFields(IShellLinkA* link, PropertyWriter& out) {
    char field[kFieldChars] = {};
    if (link->GetArguments(field, kFieldChars) == S_OK) out.text("Arguments", field);
    if (link->GetDescription(field, kFieldChars) == S_OK) out.text("Description", field);
    WIN32_FIND_DATAA found{};
    if (link->GetPath(field, kFieldChars, &found, SLGP_RAWPATH) == S_OK) out.text("ObjPath", field);
    if (link->GetWorkingDirectory(field, kFieldChars) == S_OK) out.text("WorkingDir", field);
    int icon = 0;
    if (link->GetIconLocation(field, kFieldChars, &icon) == S_OK) {
        out.text("IconPath", field);
        out.integer("IconIndex", icon);
    }
    WORD hotKey = 0;
    if (link->GetHotkey(&hotKey) == S_OK) out.integer("HotKey", hotKey);
    int show = 0;
    if (link->GetShowCmd(&show) == S_OK) out.integer("ShowCmd", show);
}

// ---- SC_WRITE ----

// A text property: handed terminated to `set` when it holds a non-empty text,
// left out when it is missing or empty; error 1560 when it is no text.
template <class Set>
void applyText(HostValue* object, const char* name, Set set) {
    Property p(object, name);
    if (!p.read()) return;
    if (p.type() != 'C') p.fail(err::ShortcutProperty);
    if (!p.text().empty()) set(p.cstr());
}

// An integer property: 0 when missing, error 1560 when of another kind.
int32_t integerProperty(HostValue* object, const char* name) {
    Property p(object, name);
    if (!p.read()) return 0;
    if (p.type() != 'I') p.fail(err::ShortcutProperty);
    return p.integer();
}

}  // namespace

void SC_READ(ParamBlock* pb) {
    Args a(pb);
    HostValue* object = objectArg(a);
    Property shortcut(object, "Shortcut");
    if (!shortcut.read()) fail(static_cast<int32_t>(std::labs(shortcut.code())));
    if (shortcut.type() != 'C') shortcut.failText(kNotString);

    wchar_t path[kFieldChars];
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (!widePath(shortcut.text(), path) || !createLink(link) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.out())) || FAILED(file->Load(path, STGM_READ)))
        return retLogical(false);
    PropertyWriter out(object);
    copyFields(link.get(), out);
    retLogical(true);
}

void SC_WRITE(ParamBlock* pb) {
    Args a(pb);
    HostValue* object = objectArg(a);
    ComPtr<IShellLinkA> link;
    if (!createLink(link)) return retLogical(false);

    applyText(object, "Arguments", [&](const char* s) { link->SetArguments(s); });
    applyText(object, "Description", [&](const char* s) { link->SetDescription(s); });
    applyText(object, "ObjPath", [&](const char* s) { link->SetPath(s); });
    applyText(object, "WorkingDir", [&](const char* s) { link->SetWorkingDirectory(s); });
    const int32_t iconIndex = integerProperty(object, "IconIndex");
    bool iconSet = false;
    applyText(object, "IconPath", [&](const char* s) {
        link->SetIconLocation(s, iconIndex);
        iconSet = true;
    });
    if (!iconSet) link->SetIconLocation("", iconIndex);
    if (const int32_t hotKey = integerProperty(object, "HotKey")) link->SetHotkey(static_cast<WORD>(hotKey));
    if (const int32_t show = integerProperty(object, "ShowCmd")) link->SetShowCmd(show);

    Property shortcut(object, "Shortcut");
    if (shortcut.type() != 'C' || shortcut.text().empty()) shortcut.fail(err::ShortcutProperty);
    wchar_t path[kFieldChars];
    ComPtr<IPersistFile> file;
    retLogical(widePath(shortcut.text(), path) && SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.out())) &&
               file->Save(path, TRUE) == S_OK);
}
