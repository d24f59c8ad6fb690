// Shortcut files through Wine's real shell-link object, described by host
// objects: written, read back into another object and compared.
#include <windows.h>
#include <objbase.h>

#include <utility>

#include "hostemu/iat.h"
#include "hostemu/objects.h"
#include "tests/files_support.h"

namespace kavro_test {
namespace {

// The shell link the library last created, with one reference of our own, so
// that a test can tell whether the library gave back every one it took.
IUnknown* gLink = nullptr;
bool gRefuse = false;
decltype(&::CoCreateInstance) gRealCreate = nullptr;

HRESULT WINAPI countedCreate(REFCLSID cls, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
    if (gRefuse) {
        *out = nullptr;
        return REGDB_E_CLASSNOTREG;
    }
    const HRESULT hr = gRealCreate(cls, outer, context, iid, out);
    if (SUCCEEDED(hr)) {
        gLink = static_cast<IUnknown*>(*out);
        gLink->AddRef();
    }
    return hr;
}

class Shortcut : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        target_ = path("tool.exe");
        ASSERT_TRUE(writeFile(target_, "MZ"));
    }
    // A plain object with its Shortcut property set to the file `name` in the test's folder.
    Value object(const Value& shortcut) {
        Value o = newObject(host(), "Custom");
        setProperty(o, "Shortcut", shortcut);
        return o;
    }
    Value object(const std::string& name) { return object(Str(path(name))); }
    std::string prop(const Value& o, const std::string& name) { return describe(property(o, name)); }
    std::string target_;
};

// The shell link is a COM object: the host has made its script thread an apartment.
TEST_F(Shortcut, TheHostsScriptThreadIsAnApartment) {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_TRUE(type == APTTYPE_MAINSTA || type == APTTYPE_STA) << type;
}

TEST_F(Shortcut, WrittenThenReadBackIntoAnotherObject) {
    const Value w = object("full.lnk");
    setProperty(w, "Arguments", Str("-q \"a b\" /x"));
    setProperty(w, "Description", Str("The tool, started quietly"));
    setProperty(w, "ObjPath", Str(target_));
    setProperty(w, "WorkingDir", Str(dir_.substr(0, dir_.size() - 1)));
    setProperty(w, "IconPath", Str(path("icons.dll")));
    setProperty(w, "IconIndex", Int(3));
    setProperty(w, "HotKey", Int(0x0641));  // control+alt+A
    setProperty(w, "ShowCmd", Int(SW_SHOWMAXIMIZED));
    EXPECT_EQ(describe(ok("SC_WRITE", {w})), describe(Bool(true)));
    EXPECT_TRUE(fileExists(path("full.lnk")));
    // The file's header holds the show command at 0x3C and the hot key at 0x40.
    const std::string file = readFile(path("full.lnk"));
    ASSERT_GT(file.size(), 0x42u);
    EXPECT_EQ(static_cast<uint8_t>(file[0x3C]), SW_SHOWMAXIMIZED);
    EXPECT_EQ(static_cast<uint8_t>(file[0x40]) | static_cast<uint8_t>(file[0x41]) << 8, 0x0641);

    const Value r = object("full.lnk");
    EXPECT_EQ(describe(ok("SC_READ", {r})), describe(Bool(true)));
    for (const char* name : {"Arguments", "Description", "ObjPath", "WorkingDir", "IconPath"})
        EXPECT_EQ(prop(r, name), prop(w, name)) << name;
    // Integers come back as integers of width 0, the kind SC_WRITE takes.
    EXPECT_EQ(prop(r, "IconIndex"), describe(Int(3, 0)));
    EXPECT_EQ(prop(r, "HotKey"), describe(Int(0x0641, 0)));
    // Wine's shell link saves the show command but loads every link as a normal window.
    EXPECT_EQ(property(r, "ShowCmd").type, 'I');
    EXPECT_TRUE(property(r, "ShowCmd").i == SW_SHOWMAXIMIZED || property(r, "ShowCmd").i == SW_SHOWNORMAL);
    EXPECT_EQ(property(r, "IconIndex").type, 'I');

    // What was read is what SC_WRITE takes: a second round gives the same again.
    setProperty(r, "Shortcut", Str(path("again.lnk")));
    EXPECT_EQ(describe(ok("SC_WRITE", {r})), describe(Bool(true)));
    const Value again = object("again.lnk");
    EXPECT_EQ(describe(ok("SC_READ", {again})), describe(Bool(true)));
    for (const char* name : {"Arguments", "Description", "ObjPath", "WorkingDir", "IconPath", "IconIndex", "HotKey",
                             "ShowCmd"})
        EXPECT_EQ(prop(again, name), prop(r, name)) << name;
}

TEST_F(Shortcut, TheTargetComesBackRawWithItsVariablesUnexpanded) {
    SetEnvironmentVariableA("KAVRO_SC_FOLDER", "expanded");
    const std::string raw = path("%KAVRO_SC_FOLDER%\\tool.exe");
    const Value w = object("raw.lnk");
    setProperty(w, "ObjPath", Str(raw));
    setProperty(w, "WorkingDir", Str("%KAVRO_SC_FOLDER%"));
    EXPECT_EQ(describe(ok("SC_WRITE", {w})), describe(Bool(true)));
    const Value r = object("raw.lnk");
    EXPECT_EQ(describe(ok("SC_READ", {r})), describe(Bool(true)));
    EXPECT_EQ(prop(r, "ObjPath"), describe(Str(raw)));
    EXPECT_EQ(prop(r, "WorkingDir"), describe(Str("%KAVRO_SC_FOLDER%")));
    SetEnvironmentVariableA("KAVRO_SC_FOLDER", nullptr);
}

// The defaults, the refusals and the paths that name no other file: tests/scripts/shortcut.prg.

TEST_F(Shortcut, BothInterfacesAreGivenBackOnEveryWayOut) {
    HOSTEMU_PATCH(create, host().module(), "ole32.dll", CoCreateInstance, &countedCreate);
    ASSERT_TRUE(create.active());
    gRealCreate = create.original();
    auto released = [] {  // our own reference is the last one
        if (!gLink) return false;
        const ULONG left = std::exchange(gLink, nullptr)->Release();
        return left == 0;
    };

    const Value w = object("counted.lnk");
    setProperty(w, "ObjPath", Str(target_));
    EXPECT_EQ(describe(ok("SC_WRITE", {w})), describe(Bool(true)));
    EXPECT_TRUE(released()) << "written";
    EXPECT_EQ(describe(ok("SC_READ", {w})), describe(Bool(true)));
    EXPECT_TRUE(released()) << "read";

    setProperty(w, "HotKey", Str("A"));  // an error after settings were applied
    EXPECT_EQ(error("SC_WRITE", {w}), 1560);
    EXPECT_TRUE(released()) << "wrong kind";
    setProperty(w, "HotKey", Int(0));
    setProperty(w, "Shortcut", Str(""));  // an error after the last property
    EXPECT_EQ(error("SC_WRITE", {w}), 1560);
    EXPECT_TRUE(released()) << "empty shortcut";
    setProperty(w, "Shortcut", Str(path("missing.lnk")));
    EXPECT_EQ(describe(ok("SC_READ", {w})), describe(Bool(false)));
    EXPECT_TRUE(released()) << "not loaded";
    // No handle for the texts read: error 182, the link given back all the same.
    setProperty(w, "Shortcut", Str(path("counted.lnk")));
    host().failAllocations(1);
    EXPECT_EQ(error("SC_READ", {w}), 182);
    EXPECT_EQ(host().pendingAllocationFailures(), 0);
    EXPECT_TRUE(released()) << "no work handle";

    // No shell link at all: false, and SC_WRITE reads no property (an empty Shortcut raises nothing).
    gRefuse = true;
    setProperty(w, "Shortcut", Str(""));
    EXPECT_EQ(describe(ok("SC_WRITE", {w})), describe(Bool(false)));
    setProperty(w, "Shortcut", Str(path("counted.lnk")));
    EXPECT_EQ(describe(ok("SC_READ", {w})), describe(Bool(false)));
    gRefuse = false;
    EXPECT_EQ(gLink, nullptr);
}

}  // namespace
}  // namespace kavro_test
