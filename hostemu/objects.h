// The host's objects: references with named properties and, for objects that
// show themselves, an own window and an inner window (real Win32 windows).
//
// Objects are counted as the host counts them: every variable or array
// element holding one, every property holding one, every reference the
// library holds (below) and every reference a test holds is one reference.
// Overwriting or releasing a variable, leaving a script procedure and ending
// the program drop references; once the last one goes, at the end of the
// statement, the object goes (its windows destroyed, the automation object it
// stands for released). A library call on an object that is gone is a
// violation. An object a test makes (newObject, newWindowObject) or receives
// from a top-level call or evaluation holds a test reference until
// releaseObject or the host's end.
//
// The library reaches them through HostObjectWindow (121), HostSetProperty
// (122), HostGetProperty (123) and HostReleaseObject (127). An object value
// that the host hands the library (a property holding an object) is the
// library's own reference, which it must give back with HostReleaseObject;
// one still held after a top-level call is reported as a violation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "hostemu/value.h"

namespace hostemu {

class Host;

struct HostObject {
    std::string className;
    std::map<std::string, Value> properties;  // by upper-case name
    std::set<std::string> readOnly;           // upper-case names the host refuses to set
    HWND window = nullptr;                    // own window, or none
    HWND inner = nullptr;                     // inner window, or none
    IDispatch* dispatch = nullptr;            // SYS(3096, n): the automation object it stands for
};

// A new object without windows; the value refers to it.
Value newObject(Host& host, const std::string& className);
// A new object with an own window titled `caption` (a real hidden top-level
// window) and, when `withInner`, an inner child window inside it.
Value newWindowObject(Host& host, const std::string& className, const std::string& caption, bool withInner = true);
// The object a value or reference names; null if none.
HostObject* findObject(uint32_t ref);
HostObject* findObject(const Value& v);
// The property's value; type 'U' when the object or property is missing.
Value property(const Value& object, const std::string& name);
void setProperty(const Value& object, const std::string& name, Value v);
// Object references the library holds and has not released.
int heldObjectReferences();
// An object value the host hands the library (HostEvaluate): the library's
// own reference, to be given back with HostReleaseObject.
void holdReference(uint32_t ref);
// References on the object: variables, properties, the library's and the
// test's; 0 for an object that is gone.
int objectReferences(const Value& object);
// Whether an object existed and went with its last reference.
bool objectGone(const Value& object);
// A test's own reference: taken on a value it keeps, given back.
void holdObject(const Value& object);
void releaseObject(Host& host, const Value& object);
// Lets every object without references go (the end of a statement does it).
void collectObjects(Host& host);

}  // namespace hostemu
