#include "hostemu/host.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "hostemu/expr.h"
#include "hostemu/iat.h"
#include "hostemu/ledger.h"
#include "hostemu/objects.h"

namespace hostemu {

namespace {

Host* gCurrent = nullptr;

// Allocation faults injected into the library's own GlobalAlloc/GlobalReAlloc.
int gAllocFaults = 0;
int gResizeFaults = 0;
int gAllocsBeforeFault = 0;  // allocations still to succeed before the faults
int gResizesBeforeFault = 0;
decltype(&GlobalAlloc) gRealGlobalAlloc = nullptr;
decltype(&GlobalReAlloc) gRealGlobalReAlloc = nullptr;

HGLOBAL WINAPI faultyGlobalAlloc(UINT flags, SIZE_T size) {
    if (gAllocFaults > 0 && gAllocsBeforeFault > 0) {
        --gAllocsBeforeFault;
    } else if (gAllocFaults > 0) {
        --gAllocFaults;
        return nullptr;
    }
    HGLOBAL g = gRealGlobalAlloc(flags, size);
    bookGlobal(g, nullptr, size, "GlobalAlloc");
    return g;
}

HGLOBAL WINAPI faultyGlobalReAlloc(HGLOBAL g, SIZE_T size, UINT flags) {
    if (gResizeFaults > 0 && gResizesBeforeFault > 0) {
        --gResizesBeforeFault;
    } else if (gResizeFaults > 0) {
        --gResizeFaults;
        return nullptr;
    }
    HGLOBAL now = gRealGlobalReAlloc(g, size, flags);
    bookGlobal(now, g, size, "GlobalReAlloc");
    return now;
}

constexpr uint16_t kHostTag = 0x4B48;

#if defined(_WIN64)
constexpr const char* kEntryName = "DispatchAPI";
#else
constexpr const char* kEntryName = "@DispatchAPI@4";  // __fastcall, one pointer
#endif  // the host's own tag word on its handles

template <class F>
F procAddress(HMODULE m, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

std::string defaultLibrary() {
    if (const char* env = std::getenv("KAVRO_FLL"); env && *env) return env;
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    dir.erase(dir.find_last_of("\\/") + 1);
    return dir + "Kavro.FLL";
}

}  // namespace

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

namespace {
std::map<int32_t, ApiHandler>& apiTable() {
    static std::map<int32_t, ApiHandler> table;
    return table;
}
}  // namespace

void registerApi(int32_t code, ApiHandler handler) { apiTable()[code] = handler; }

namespace {
std::vector<LoadHook>& loadHooks() {
    static std::vector<LoadHook> hooks;
    return hooks;
}
std::map<int32_t, ApiHandler>& fieldApiTable() {
    static std::map<int32_t, ApiHandler> table;
    return table;
}
FieldResolver gFieldResolver = nullptr;
}  // namespace

void registerFieldApi(int32_t code, ApiHandler handler) { fieldApiTable()[code] = handler; }
void registerFieldResolver(FieldResolver resolver) { gFieldResolver = resolver; }
void registerLoadHook(LoadHook hook) { loadHooks().push_back(hook); }

Host* Host::current() { return gCurrent; }

void Host::raise(HostCallRecord& r, int error, std::string message) {
    r.api = api::Error;
    r.arg1 = static_cast<word_t>(error);
    frame().error = error;
    frame().message = message.empty() ? errorText(error) : std::move(message);
}

Host::Frame Host::makeFrame(const std::string& function) {
    Frame f;
    f.function = function;
    return f;
}

Host::Host() : Host(Options{}) {}

Host::Host(Options options) : opts_(std::move(options)) {
    names_.push_back(std::string(1, '\0'));  // index 0 names nothing: HostNewVar answers indexes from 1
    if (gCurrent) throw std::logic_error("one emulated host at a time");
    scriptThread_ = GetCurrentThreadId();
    gCurrent = this;
    handles_ = static_cast<HandleTable*>(std::calloc(1, offsetof(HandleTable, slot) + sizeof(word_t) * opts_.handleCapacity));
    handles_->hint = 1;
    handles_->capacity = opts_.handleCapacity;
    slots_ = static_cast<SlotTable*>(std::calloc(1, offsetof(SlotTable, slot) + sizeof(word_t) * opts_.slotCapacity));
    slots_->hint = 1;
    slots_->capacity = opts_.slotCapacity;
    loadLibrary();
    if (opts_.initialise) initialise();
    if (opts_.initialise && opts_.load) load();
}

void Host::callSpecial(int16_t count, const char* frameName, const char* what) {
    const FoxEntry* e = specialEntry(count);
    if (!e) return;
    DispatchRecord r{};
    r.opcode = opcode::Call;
    r.routine = reinterpret_cast<word_t>(e->handler);
    runInFrame(r, makeFrame(frameName));
    checkLeaks(what);
}

void Host::load() {
    callSpecial(-2, "(load)", "the load entry");
    loaded_ = true;
}

Host::~Host() {
    unload();
    for (auto& c : cleanups) c();
    std::free(handles_);
    std::free(slots_);
    gCurrent = nullptr;
}

void Host::loadLibrary() {
    const std::string path = opts_.library.empty() ? defaultLibrary() : opts_.library;
    module_ = LoadLibraryA(path.c_str());
    if (!module_) throw std::runtime_error("cannot load " + path);
    entry_ = procAddress<int(__fastcall*)(DispatchRecord*)>(module_, kEntryName);
    if (!entry_) throw std::runtime_error(path + " exports no " + kEntryName);
    // A library mapped again where it was still has its imports pointed here.
    if (auto a = patchImport<decltype(&::GlobalAlloc)>(module_, "kernel32.dll", "GlobalAlloc", &faultyGlobalAlloc);
        a && a != &faultyGlobalAlloc)
        gRealGlobalAlloc = a;
    if (auto r = patchImport<decltype(&::GlobalReAlloc)>(module_, "kernel32.dll", "GlobalReAlloc", &faultyGlobalReAlloc);
        r && r != &faultyGlobalReAlloc)
        gRealGlobalReAlloc = r;
    patchLedger(*this, module_);
    gAllocFaults = gResizeFaults = gAllocsBeforeFault = gResizesBeforeFault = 0;
    for (LoadHook hook : loadHooks()) hook(*this, module_);
}

void Host::unload() {
    if (!module_) return;
    if (loaded_) {
        releaseAll();  // the program ends before its libraries go
        unloading_ = true;
        unloadCalls_ = 0;
        callSpecial(-3, "(unload)", "the unload entry");
        unloading_ = false;
        loaded_ = false;
    }
    for (auto& [id, a] : activations_)
        violation("routine " + std::to_string(a.routine) + " is still registered (id " + std::to_string(id) +
                  ") after the unload entry");
    activations_.clear();
    FreeLibrary(module_);
    module_ = nullptr;
    entry_ = nullptr;
    if (std::exchange(threadsOutlive_, false))
        forgetLedger();
    else
        checkLedger(*this);
}

void Host::initialise() {
    DispatchRecord r{};
    r.opcode = opcode::Initialise;
    r.routine = reinterpret_cast<word_t>(&Host::callback);
    r.value = reinterpret_cast<word_t>(handles_);
    r.extra = reinterpret_cast<word_t>(slots_);
    dispatch(r);
    if (r.extra != kInterfaceVersion) violation("initialisation answered version " + std::to_string(r.extra));
    table_ = reinterpret_cast<const FoxTableHeader*>(r.value);
}

int Host::dispatch(DispatchRecord& record) { return (diverted_ ? diverted_ : entry_)(&record); }

Host::Frame Host::runInFrame(DispatchRecord& record, Frame frame) {
    frames_.push_back(std::move(frame));
    dispatch(record);
    Frame done = std::move(frames_.back());
    frames_.pop_back();
    return done;
}

Result Host::request(DispatchRecord& record) {
    const Frame done = runInFrame(record, makeFrame("(request)"));
    Result res;
    res.error = done.error;
    res.message = done.message;
    if (done.hasResult) res.value = done.result;
    if (frames_.empty()) checkLeaks("a raw request");
    return res;
}

void Host::violation(const std::string& what) {
    violations.push_back(what);
    if (onViolation) onViolation(what);
}

void Host::holdHandlesOf(const std::string& prefix) {
    holdHandles_ = true;
    holdPrefix_ = upper(prefix);
}

void Host::failAllocations(int n, int after) {
    gAllocFaults = n;
    gAllocsBeforeFault = after;
}
void Host::failResizes(int n, int after) {
    gResizeFaults = n;
    gResizesBeforeFault = after;
}
int Host::pendingAllocationFailures() const { return gAllocFaults; }
int Host::pendingResizeFailures() const { return gResizeFaults; }

// ---- function table ----

const FoxEntry* Host::entry(const std::string& name) const {
    if (!table_) return nullptr;
    const std::string want = upper(name);
    for (int k = 0; k < table_->count; ++k) {
        const FoxEntry& e = table_->first[k];
        if (e.count >= 0 && want == e.name) return &e;
    }
    return nullptr;
}

const FoxEntry* Host::specialEntry(int16_t count) const {
    if (!table_) return nullptr;
    for (int k = 0; k < table_->count; ++k)
        if (table_->first[k].count == count) return &table_->first[k];
    return nullptr;
}

// ---- handles ----

MemHandle Host::allocHandle(const void* data, uint32_t size) {
    HandleTable* t = handles_;
    while (t->hint < t->capacity && t->slot[t->hint]) ++t->hint;
    if (t->hint >= t->capacity) return 0;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 2);
    if (!g) return 0;
    auto* p = static_cast<uint8_t*>(GlobalLock(g));
    std::memcpy(p, &kHostTag, 2);
    if (size) std::memcpy(p + 2, data, size);
    GlobalUnlock(g);
    t->slot[t->hint] = reinterpret_cast<word_t>(g);
    return t->hint;
}

void Host::freeHandle(MemHandle h) {
    if (h == 0 || h >= handles_->capacity || !handles_->slot[h]) return;
    hostFreed(reinterpret_cast<HGLOBAL>(handles_->slot[h]));
    GlobalFree(reinterpret_cast<HGLOBAL>(handles_->slot[h]));
    handles_->slot[h] = 0;
    if (h < handles_->hint) handles_->hint = static_cast<uint16_t>(h);
    kept_.erase(h);
}

std::string Host::handleBytes(MemHandle h, uint32_t size) const {
    if (h == 0 || h >= handles_->capacity || !handles_->slot[h]) return {};
    HGLOBAL g = reinterpret_cast<HGLOBAL>(handles_->slot[h]);
    const SIZE_T have = GlobalSize(g);
    auto* p = static_cast<const char*>(GlobalLock(g));
    std::string out;
    if (have >= 2) out.assign(p + 2, std::min<SIZE_T>(size, have - 2));
    GlobalUnlock(g);
    return out;
}

std::vector<MemHandle> Host::liveHandles() const {
    std::vector<MemHandle> out;
    for (MemHandle h = 1; h < handles_->capacity; ++h)
        if (handles_->slot[h]) out.push_back(h);
    return out;
}

void Host::checkLeaks(const std::string& after) {
    for (auto& check : leakChecks) check(after);
    for (auto it = kept_.begin(); it != kept_.end();)  // a kept handle the library has freed
        it = handles_->slot[*it] ? std::next(it) : kept_.erase(it);
    for (MemHandle h : liveHandles()) {
        if (kept_.count(h)) continue;
        if (holdHandles_ && after != "the unload entry" && after.rfind(holdPrefix_, 0) == 0) {
            kept_.insert(h);
            continue;
        }
        violation("handle " + std::to_string(h) + " is still allocated after " + after);
        freeHandle(h);
    }
}

std::string Host::cstring(word_t address) const {
    if (!address) return {};
    return std::string(reinterpret_cast<const char*>(address));
}

// ---- values crossing the boundary ----

bool Host::toHost(const Value& v, HostValue& out) {
    out = HostValue{};
    switch (v.type) {
        case 'C':
            out.type = 'C';
            out.length = v.str.size();
            out.handle = allocHandle(v.str.data(), v.str.size());
            return out.handle != 0;
        case 'N':
            out.type = 'N';
            out.width = v.width ? v.width : 10;
            out.length = v.decimals;
            out.real = v.num;
            return true;
        case 'I':
            out.type = 'I';
            out.width = v.width ? v.width : 11;
            out.integer = v.i;
            return true;
        case 'L':
            out.type = 'L';
            out.length = v.b ? 1 : 0;
            return true;
        case 'D':
        case 'T':
            out.type = v.type;
            out.real = v.num;
            return true;
        case 'O':
            out.type = 'O';
            out.object = v.object;
            return true;
        case '0':
            out.type = '0';
            out.integer = static_cast<unsigned char>(v.nullOf);
            return true;
        default:
            return false;
    }
}

Value Host::fromHost(const HostValue& hv, bool takeHandle) {
    Value v;
    switch (hv.type) {
        case 'C':
        case 'H': {
            v.type = 'C';
            if (hv.handle == 0 || hv.handle >= handles_->capacity || !handles_->slot[hv.handle]) {
                violation("a character value names handle " + std::to_string(hv.handle) + ", which is not live");
                return v;
            }
            const SIZE_T have = GlobalSize(reinterpret_cast<HGLOBAL>(handles_->slot[hv.handle]));
            if (opts_.largestValue && hv.length > opts_.largestValue) throw std::bad_alloc();
            const uint64_t need = uint64_t(hv.length) + 2 + (hv.type == 'H' ? 1 : 0);
            if (have < need)
                violation("a character value of " + std::to_string(hv.length) + " bytes lies in a handle of " +
                          std::to_string(have - 2) + " bytes");
            v.str = handleBytes(hv.handle, hv.length);
            if (hv.type == 'H' && have >= need && handleBytes(hv.handle, hv.length + 1).back() != 0)
                violation("a string result is not terminated");
            if (takeHandle) freeHandle(hv.handle);
            return v;
        }
        case 'N': return Num(hv.real, static_cast<int32_t>(hv.length), hv.width);
        case 'I': return Int(hv.integer, hv.width);
        case 'L':
            if (hv.length > 1) violation("a logical value of " + std::to_string(hv.length));
            return Bool(hv.length != 0);
        case 'D': return Date(hv.real);
        case 'T': return DateTime(hv.real);
        case 'O':
            v.type = 'O';
            v.object = hv.object;
            return v;
        case '0': return Null(static_cast<char>(hv.integer));
        default:
            violation(std::string("a value of unknown type '") + hv.type + "'");
            return v;
    }
}

// ---- calls ----

bool Host::checkArgs(const FoxEntry& e, std::vector<Value>& args) {
    // Parse the type string: letters, each optionally preceded by '.'.
    std::vector<std::pair<char, bool>> want;  // letter, optional
    bool optional = false;
    for (const char* p = e.types; *p; ++p) {
        if (*p == '.') optional = true;
        else if (*p == ',') continue;
        else {
            want.push_back({*p, optional});
            optional = false;
        }
    }
    if (static_cast<int>(args.size()) > e.count) return false;
    for (size_t k = 0; k < want.size(); ++k)
        if (k >= args.size() && !want[k].second) return false;
    for (size_t k = 0; k < args.size(); ++k) {
        const char w = k < want.size() ? want[k].first : '?';
        Value& a = args[k];
        if (a.type == 'R' || w == '?') continue;
        if (w == a.type) continue;
        if (w == 'I' && a.type == 'N') {
            if (!std::isfinite(a.num) || a.num <= -2147483649.0 || a.num >= 2147483648.0) return false;
            a = Int(static_cast<int32_t>(a.num));
            continue;
        }
        if (w == 'N' && a.type == 'I') {
            a = Num(a.i, 0);
            continue;
        }
        return false;
    }
    return true;
}

Result Host::call(const std::string& function, std::vector<Value> args) {
    Result res;
    const FoxEntry* e = entry(function);
    if (!e) {
        res.error = 1;
        res.message = errorText(1);
        return res;
    }
    if (!checkArgs(*e, args)) {
        res.error = 11;
        res.message = errorText(11);
        return res;
    }
    auto rec = std::make_unique<DispatchRecord>();
    rec->opcode = opcode::Call;
    rec->routine = reinterpret_cast<word_t>(e->handler);
    rec->params.count = static_cast<int16_t>(args.size());
    Frame frame;
    frame.function = e->name;
    for (size_t k = 0; k < args.size(); ++k) {
        ParamSlot& slot = rec->params.slot[k];
        if (args[k].type == 'R') {
            const std::string name = upper(args[k].str);
            if (!vars_.count(name) && gFieldResolver && gFieldResolver(*this, name, slot.locator)) continue;
            if (!vars_.count(name)) {
                for (auto& [h, g] : frame.params) freeHandle(h);
                res.error = 12;
                res.message = "Variable '" + name + "' is not found.";
                return res;
            }
            HostLocator& loc = slot.locator;
            loc.type = 'R';
            loc.where = -1;
            loc.nameIndex = static_cast<int16_t>(nameIndex(name));
            continue;
        }
        if (args[k].type == 'C' && args[k].handle) {  // already in a handle of ours
            slot.value = HostValue{};
            slot.value.type = 'C';
            slot.value.length = static_cast<uint32_t>(args[k].i);
            slot.value.handle = args[k].handle;
            frame.borrowed.push_back(args[k].handle);
            continue;
        }
        if (!toHost(args[k], slot.value)) {
            for (auto& [h, g] : frame.params) freeHandle(h);
            res.error = 43;
            res.message = errorText(43);
            return res;
        }
        if (slot.value.handle) frame.params.push_back({slot.value.handle, handles_->slot[slot.value.handle]});
    }

    Frame done = runInFrame(*rec, std::move(frame));

    for (auto& [h, g] : done.params) {
        if (handles_->slot[h] != g) {
            violation(done.function + " freed or replaced its parameter handle " + std::to_string(h));
            continue;
        }
        freeHandle(h);
    }
    if (done.error) {
        res.error = done.error;
        res.message = done.message;
    } else {
        res.value = done.hasResult ? done.result : Bool(true);
        res.returned = done.hasResult;
        if (!done.hasResult) {
            noResult.push_back(done.function);
            if (opts_.mayOmitResult && !opts_.mayOmitResult(done.function))
                violation(done.function + " succeeded without setting a result");
        }
        if (!inStatement() && res.value.type == 'O') holdObject(res.value);  // a test's own, as a variable would be
    }
    if (frames_.empty()) checkLeaks(done.function);
    return res;
}

Result Host::callByName(const std::string& name, std::vector<Value>& args, bool& found) {
    found = true;
    const std::string n = upper(name);
    if (entry(n)) return call(n, args);
    if (auto p = procs_.find(n); p != procs_.end()) {
        procCalls.push_back({n, args});
        Result r;
        r.value = p->second(args);
        return r;
    }
    found = false;
    return {};
}

void Host::defineProc(const std::string& name, Procedure p) { procs_[upper(name)] = std::move(p); }
void Host::defineCommand(const std::string& word, Command c) { commands_[upper(word)] = std::move(c); }

Result Host::statement(const std::function<Result()>& run, bool keepsResult) {
    const bool outermost = !inStatement();
    ++statements_;
    Result r;
    try {
        r = run();
    } catch (...) {
        --statements_;
        throw;
    }
    --statements_;
    if (outermost) {
        if (keepsResult && r.ok() && r.value.type == 'O') holdObject(r.value);  // the test's to keep
        collectObjects(*this);
    }
    return r;
}

Result Host::evaluate(const std::string& expression) {
    return statement([&] { return Evaluator(*this).evaluate(expression); }, true);
}
Result Host::execute(const std::string& command) {
    return statement([&] { return Evaluator(*this).execute(command, commands_); }, false);
}

void Host::releaseAll() {
    vars_.clear();
    collectObjects(*this);
}

Result Host::run(const std::string& script) {
    Result last;
    size_t start = 0;
    while (start <= script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        std::string line = script.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '*') continue;
        last = execute(line.substr(first));
        if (!last.ok()) return last;
    }
    return last;
}

// ---- variables ----

int Host::nameIndex(const std::string& name) const {
    const std::string n = upper(name);
    for (size_t k = 0; k < names_.size(); ++k)
        if (names_[k] == n) return static_cast<int>(k);
    return -1;
}

int Host::internName(const std::string& name) {
    const std::string n = upper(name);
    if (nameIndex(n) < 0) names_.push_back(n);
    return nameIndex(n);
}

void Host::setVar(const std::string& name, Value v) {
    const std::string n = upper(name);
    if (nameIndex(n) < 0) names_.push_back(n);
    Variable& var = vars_[n];
    if (var.array) {
        for (Value& item : var.items) item = v;  // as the host's STORE does
    } else {
        var.items.assign(1, std::move(v));
    }
    if (!inStatement()) collectObjects(*this);  // an object it held may have lost its last reference
}

Value Host::var(const std::string& name) const {
    auto it = vars_.find(upper(name));
    if (it == vars_.end() || it->second.items.empty()) return {};
    return it->second.items[0];
}

bool Host::hasVar(const std::string& name) const { return vars_.count(upper(name)) != 0; }

const Variable* Host::variable(const std::string& name) const {
    auto it = vars_.find(upper(name));
    return it == vars_.end() ? nullptr : &it->second;
}

void Host::dimension(const std::string& name, int rows, int cols) {
    const std::string n = upper(name);
    if (nameIndex(n) < 0) names_.push_back(n);
    Variable& v = vars_[n];
    v.array = true;
    v.rows = rows;
    v.cols = cols;
    v.items.assign(static_cast<size_t>(rows) * (cols ? cols : 1), Bool(false));
}

Value Host::element(const std::string& name, int row, int col) const {
    const Variable* v = variable(name);
    if (!v || !v->array) return {};
    const size_t k = static_cast<size_t>(row - 1) * (v->cols ? v->cols : 1) + (col ? col - 1 : 0);
    return k < v->items.size() ? v->items[k] : Value{};
}

void Host::setElement(const std::string& name, int row, int col, Value val) {
    auto it = vars_.find(upper(name));
    if (it == vars_.end() || !it->second.array) return;
    Variable& v = it->second;
    const size_t k = static_cast<size_t>(row - 1) * (v.cols ? v.cols : 1) + (col ? col - 1 : 0);
    if (k < v.items.size()) v.items[k] = std::move(val);
}

void Host::release(const std::string& name) {
    vars_.erase(upper(name));
    if (!inStatement()) collectObjects(*this);
}

Value* Host::locate(const HostLocator& loc, int& error) {
    error = 0;
    if (loc.where != -1) {
        error = 12;
        return nullptr;
    }
    if (loc.nameIndex < 0 || static_cast<size_t>(loc.nameIndex) >= names_.size()) {
        error = 12;
        return nullptr;
    }
    auto it = vars_.find(names_[loc.nameIndex]);
    if (it == vars_.end()) {
        error = 12;
        return nullptr;
    }
    Variable& v = it->second;
    size_t k = 0;
    if (v.array && loc.subCount >= 1) {
        const int cols = v.cols ? v.cols : 1;
        if (loc.subCount == 1) {
            k = static_cast<size_t>(loc.sub1 - 1);
            if (loc.sub1 < 1) k = v.items.size();
        } else {
            if (loc.sub1 < 1 || loc.sub2 < 1 || loc.sub2 > cols) k = v.items.size();
            else k = static_cast<size_t>(loc.sub1 - 1) * cols + (loc.sub2 - 1);
        }
    }
    if (k >= v.items.size()) {
        error = 31;
        return nullptr;
    }
    return &v.items[k];
}

// ---- the callback ----

void __fastcall Host::callback(HostCallRecord* r) {
    Host* h = gCurrent;
    if (GetCurrentThreadId() != h->scriptThread_) {
        // The real host is not thread-safe: a call from another thread
        // races the script thread on every table of the host.
        h->violation("host call " + std::to_string(r->api) + " from thread " + std::to_string(GetCurrentThreadId()) +
                     ", which is not the host's script thread");
        r->arg1 = 0;  // answered with nothing: an error would unwind the wrong thread
        return;
    }
    h->apiLog.push_back(r->api);
    if (h->frames_.empty()) {
        h->violation("host call " + std::to_string(r->api) + " outside any request");
        return;
    }
    if (h->frames_.back().error) {
        h->violation(h->frames_.back().function + " called the host (code " + std::to_string(r->api) +
                     ") after an error was raised");
        r->api = api::Error;  // unwind again
        return;
    }
    if (h->unloading_ && r->api != api::Error && r->api != api::UserError &&
        (++h->unloadCalls_ == h->refuseNth_ || r->api == h->refuseApi_)) {
        h->raise(*r, h->refuseError_);
        return;
    }
    // Nothing may unwind from here into the library's frames.
    try {
        if (h->intercept) {
            const int32_t code = r->api;
            h->intercept(*r);
            if (r->api != code) {
                if (r->api == api::Error) {
                    h->frames_.back().error = static_cast<int>(r->arg1);
                    h->frames_.back().message = errorText(static_cast<int>(r->arg1));
                }
                return;
            }
        }
        h->answer(*r);
    } catch (const std::bad_alloc&) {
        // The host has no memory for what it was asked (a result too long to
        // copy): the request fails, as it does in a real host; the library
        // still owns what it offered.
        h->raise(*r, 43);
    } catch (const std::exception& e) {
        h->violation(std::string("the host failed answering code ") + std::to_string(r->api) + ": " + e.what());
    } catch (...) {
        h->violation("the host failed answering code " + std::to_string(r->api));
    }
}

void Host::answer(HostCallRecord& r) {
    Frame& f = frames_.back();
    // Table fields are answered by the host's table part.
    const bool onField = (r.api == api::FindVar && static_cast<int32_t>(r.arg2) != -1) ||
                         ((r.api == api::Load || r.api == api::Store) &&
                          reinterpret_cast<const HostLocator*>(r.arg1)->where != -1);
    if (onField) {
        if (auto it = fieldApiTable().find(r.api); it != fieldApiTable().end()) {
            it->second(*this, r);
            return;
        }
    }
    switch (r.api) {
        case api::PutText:
            output += cstring(r.arg1);
            return;
        case api::RetValue: {
            const auto* hv = reinterpret_cast<const HostValue*>(r.arg1);
            bool isParam = false;
            for (auto& [h, g] : f.params) isParam |= (hv->handle == h);
            const bool character = hv->type == 'C' || hv->type == 'H';
            // A HandleArg parameter returned as it is (changed in place) stays
            // the caller's: the result names the same handle, uncopied.
            if (character && std::find(f.borrowed.begin(), f.borrowed.end(), hv->handle) != f.borrowed.end()) {
                f.result = HandleArg(hv->handle, hv->length);
                f.hasResult = true;
                return;
            }
            f.result = fromHost(*hv, character && !isParam);
            f.hasResult = true;
            return;
        }
        case api::Error:
            f.error = static_cast<int>(r.arg1);
            f.message = errorText(f.error);
            return;
        case api::UserError:
            f.error = 1098;
            f.message = cstring(r.arg1);
            return;
        case api::Execute: {
            executed.push_back(cstring(r.arg1));
            Result res = execute(cstring(r.arg1));
            r.arg1 = static_cast<uint32_t>(res.error);
            return;
        }
        case api::Evaluate: {
            auto* out = reinterpret_cast<HostValue*>(r.arg1);
            Result res = evaluate(cstring(r.arg2));
            if (res.ok() && !toHost(res.value, *out)) res.error = 43;
            if (res.ok() && res.value.type == 'O') holdReference(res.value.object);
            r.arg1 = static_cast<uint32_t>(res.error);
            return;
        }
        case api::NameIndex:
            r.arg1 = static_cast<uint32_t>(nameIndex(cstring(r.arg1)));
            return;
        case api::FindVar: {
            const auto nti = static_cast<int16_t>(r.arg1);
            const auto where = static_cast<int32_t>(r.arg2);
            auto* loc = reinterpret_cast<HostLocator*>(r.arg3);
            const bool found = where == -1 && nti >= 0 && static_cast<size_t>(nti) < names_.size() &&
                               vars_.count(names_[nti]);
            if (found) {  // an array's locator carries its shape: subscripts, rows, columns
                const Variable& v = vars_.at(names_[nti]);
                const int16_t subs = v.array ? (v.cols ? 2 : 1) : 0;
                *loc = HostLocator{'R', -1, nti, 0, subs, static_cast<int16_t>(v.array ? v.rows : 0),
                                   static_cast<int16_t>(v.array ? v.cols : 0)};
            }
            r.arg1 = found ? 1 : 0;
            return;
        }
        case api::NewVar: {
            const std::string name = upper(cstring(r.arg1));
            auto* loc = reinterpret_cast<HostLocator*>(r.arg2);
            if (newVarFault_) {
                r.arg1 = static_cast<word_t>(-std::exchange(newVarFault_, 0));
                return;
            }
            if (name.empty() || loc->subCount < 0 || loc->subCount > 2 ||
                (loc->subCount >= 1 && loc->sub1 < 1) || (loc->subCount == 2 && loc->sub2 < 1)) {
                r.arg1 = static_cast<uint32_t>(-11);
                return;
            }
            if (loc->subCount == 0) {
                vars_.erase(name);
                setVar(name, Bool(false));
            } else {
                dimension(name, loc->sub1, loc->subCount == 2 ? loc->sub2 : 0);
            }
            loc->type = 'R';
            loc->where = -1;
            loc->nameIndex = static_cast<int16_t>(nameIndex(name));
            r.arg1 = static_cast<word_t>(loc->nameIndex);  // the name-table index, never 0
            return;
        }
        case api::ArraySize: {  // (name index, dimension) -> rows (1) or columns (2); 0 for no array
            const auto nti = static_cast<int16_t>(r.arg1);
            const auto dim = static_cast<int32_t>(r.arg2);
            const Variable* v = nti >= 0 && static_cast<size_t>(nti) < names_.size() ? variable(names_[nti]) : nullptr;
            r.arg1 = !v || !v->array ? 0 : dim == 1 ? v->rows : dim == 2 ? v->cols : 0;
            return;
        }
        case api::ReleaseVar: {
            const auto nti = static_cast<int16_t>(r.arg1);
            if (nti >= 0 && static_cast<size_t>(nti) < names_.size()) vars_.erase(names_[nti]);
            return;
        }
        case api::Load: {
            auto* loc = reinterpret_cast<HostLocator*>(r.arg1);
            auto* out = reinterpret_cast<HostValue*>(r.arg2);
            if (loadFault_) {
                r.arg1 = static_cast<uint32_t>(std::exchange(loadFault_, 0));
                return;
            }
            int error = 0;
            Value* v = locate(*loc, error);
            if (!v) {
                r.arg1 = static_cast<uint32_t>(error);
                return;
            }
            r.arg1 = toHost(*v, *out) ? 0 : 43;
            return;
        }
        case api::Store: {
            auto* loc = reinterpret_cast<HostLocator*>(r.arg1);
            const auto* in = reinterpret_cast<const HostValue*>(r.arg2);
            if (storeFault_) {
                r.api = api::Error;
                f.error = std::exchange(storeFault_, 0);
                f.message = errorText(f.error);
                return;
            }
            int error = 0;
            Value* v = locate(*loc, error);
            if (!v) {
                r.api = api::Error;
                f.error = error;
                f.message = errorText(error);
                return;
            }
            *v = fromHost(*in, false);  // the host copies; the caller frees its handle
            return;
        }
        default:
            if (auto it = apiTable().find(r.api); it != apiTable().end()) {
                it->second(*this, r);
                return;
            }
            violation("unknown API code " + std::to_string(r.api) + " from " + f.function);
            return;
    }
}

std::string Host::errorText(int number) {
    switch (number) {
        case 1: return "File does not exist.";
        case 10: return "Syntax error.";
        case 11: return "Function argument value, type, or count is invalid.";
        case 12: return "Variable is not found.";
        case 31: return "Invalid subscript reference.";
        case 43: return "There is not enough memory to complete this operation.";
        case 107: return "Operator/operand type mismatch.";
        case 182: return "Not enough memory.";
        case 901: return "Function argument value is invalid.";
        default: return "Error " + std::to_string(number) + ".";
    }
}

}  // namespace hostemu
