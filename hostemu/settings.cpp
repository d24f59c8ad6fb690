#include "hostemu/settings.h"

#include <map>

#include "hostemu/host.h"

namespace hostemu {

namespace {
std::map<std::string, Value> defaults() { return {{"FDOW", Num(1)}}; }
std::map<std::string, Value>& table() {
    static std::map<std::string, Value> t = defaults();
    return t;
}
}  // namespace

Value setting(const std::string& name) {
    auto it = table().find(upper(name));
    return it == table().end() ? Value{} : it->second;
}

void setSetting(const std::string& name, Value v) { table()[upper(name)] = std::move(v); }
void resetSettings() { table() = defaults(); }

}  // namespace hostemu
