// The entry point and the host services: opcodes, the value-slot table, the
// handle table, and how a host error unwinds nested requests.
#include <windows.h>

#include <cstring>

#include "tests/support.h"

namespace kavro_test {
namespace {

DispatchRecord request(int32_t op, word_t value = 0, word_t extra = 0) {
    DispatchRecord r{};
    r.opcode = op;
    r.value = value;
    r.extra = extra;
    return r;
}

uint16_t tagOf(HandleTable* t, MemHandle h) {
    auto* p = static_cast<uint16_t*>(GlobalLock(reinterpret_cast<HGLOBAL>(t->slot[h])));
    const uint16_t tag = *p;
    GlobalUnlock(reinterpret_cast<HGLOBAL>(t->slot[h]));
    return tag;
}

class Entry : public HostTest {
protected:
    // A request of `op` as the host makes it, after the entry has taken it.
    DispatchRecord dispatched(int32_t op, word_t value = 0, word_t extra = 0) {
        DispatchRecord r = request(op, value, extra);
        host().dispatch(r);
        return r;
    }
    // A host that has loaded the library but not initialised it; returns the
    // table header that a query answers.
    const FoxTableHeader* restartUninitialised() {
        stop();
        Host::Options o;
        o.initialise = false;
        start(o);
        DispatchRecord q = request(opcode::Query);
        EXPECT_EQ(host().dispatch(q), 0);
        EXPECT_EQ(q.extra, kInterfaceVersion);
        return reinterpret_cast<const FoxTableHeader*>(q.value);
    }
};

TEST_F(Entry, QueryAnswersBeforeInitialisationAndStoresNothing) {
    const FoxTableHeader* table = restartUninitialised();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->zero, 0u);
    EXPECT_GT(table->count, 2);
    // Nothing was stored: the handle services still have no table.
    EXPECT_EQ(dispatched(opcode::AllocHandle, 10, 16).value, 0u);
    host().initialise();
    EXPECT_EQ(host().table(), table);
}

TEST_F(Entry, TheTableEndsWithTheLoadAndUnloadEntries) {
    const FoxTableHeader* t = host().table();
    ASSERT_GE(t->count, 2);
    EXPECT_EQ(t->first[t->count - 2].count, -2);
    EXPECT_EQ(t->first[t->count - 1].count, -3);
    EXPECT_STREQ(t->first[t->count - 1].name, "");
    EXPECT_STREQ(t->first[t->count - 1].types, "");
    for (int k = 0; k < t->count - 2; ++k) {
        const FoxEntry& e = t->first[k];
        EXPECT_GE(e.count, 0) << e.name;
        EXPECT_LE(e.count, 16) << e.name;
        EXPECT_NE(e.handler, nullptr) << e.name;
        for (const char* c = e.name; *c; ++c) EXPECT_FALSE(std::islower(static_cast<unsigned char>(*c))) << e.name;
        for (int j = 0; j < k; ++j) EXPECT_STRNE(t->first[j].name, e.name);
    }
}

// A second initialisation replaces the callback and both tables.
TEST_F(Entry, InitialisingAgainReplacesTheTables) {
    alignas(8) uint8_t handles[offsetof(HandleTable, slot) + sizeof(word_t) * 8] = {};
    alignas(8) uint8_t slots[offsetof(SlotTable, slot) + sizeof(word_t) * 8] = {};
    auto* ht = reinterpret_cast<HandleTable*>(handles);
    auto* st = reinterpret_cast<SlotTable*>(slots);
    ht->hint = 1;
    ht->capacity = 8;
    st->hint = 1;
    st->capacity = 8;
    DispatchRecord init = request(opcode::Initialise, reinterpret_cast<word_t>(ht), reinterpret_cast<word_t>(st));
    init.routine = 0;
    host().dispatch(init);
    EXPECT_EQ(init.extra, kInterfaceVersion);
    EXPECT_EQ(reinterpret_cast<const FoxTableHeader*>(init.value), host().table());

    EXPECT_EQ(dispatched(opcode::AllocHandle, 4, 0x1234).value, 1u);
    EXPECT_NE(ht->slot[1], 0u);
    EXPECT_EQ(tagOf(ht, 1), 0x1234);
    EXPECT_EQ(dispatched(opcode::SlotInsert, 77).value, 1u);
    EXPECT_EQ(st->slot[1], 77u);

    dispatched(opcode::FreeHandle, 1);
    EXPECT_EQ(ht->slot[1], 0u);
    host().initialise();  // the host's own tables again
    EXPECT_EQ(ok("AC_ASC2", {Str(bytes({1, 2}))}).i, 258);
}

TEST_F(Entry, UnknownOpcodesLeaveTheRecordAsItWas) {
    for (int32_t op : {3, 5, 7, 8, 9, 12, 13, 15, 19, 99, -1}) {
        DispatchRecord r = request(op, 0x11223344, 0x55667788);
        r.arg3 = 9;
        r.routine = 0x1000;
        DispatchRecord before = r;
        EXPECT_EQ(host().dispatch(r), 0);
        EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << "opcode " << op;
    }
}

TEST_F(Entry, SlotTableFillsFromTheHintAndReportsFull) {
    SlotTable* s = host().slots();
    const uint16_t cap = s->capacity;
    std::vector<word_t> got;
    for (;;) {
        DispatchRecord r = dispatched(opcode::SlotInsert, 1000 + got.size());
        if (r.value == 0) break;
        got.push_back(r.value);
    }
    ASSERT_EQ(got.size(), cap - 1u);  // slot 0 is never handed out
    EXPECT_EQ(got.front(), 1u);
    EXPECT_EQ(s->used, cap - 1);
    EXPECT_EQ(s->hint, cap);

    EXPECT_EQ(dispatched(opcode::SlotFetch, 5).value, 1004u);

    dispatched(opcode::SlotRemove, 5);
    EXPECT_EQ(s->hint, 5);
    EXPECT_EQ(s->used, cap - 2);
    EXPECT_EQ(dispatched(opcode::SlotInsert, 42).value, 5u);

    for (word_t bad : {word_t(0), word_t(cap), word_t(cap + 7)}) {
        EXPECT_EQ(dispatched(opcode::SlotFetch, bad).value, 0u) << bad;
        dispatched(opcode::SlotRemove, bad);
    }
    EXPECT_EQ(s->used, cap - 1);
    dispatched(opcode::SlotRemove, 9);
    dispatched(opcode::SlotRemove, 9);  // removing a free slot changes nothing
    EXPECT_EQ(s->used, cap - 2);
    EXPECT_EQ(dispatched(opcode::SlotFetch, 9).value, 0u);
}

TEST_F(Entry, HandleServicesFollowTheHint) {
    HandleTable* t = host().handles();
    DispatchRecord a = dispatched(opcode::AllocHandle, 10, 0x77);
    DispatchRecord b = dispatched(opcode::AllocHandle, 0, 0x10077);  // only the low 16 bits are the tag
    ASSERT_NE(a.value, 0u);
    EXPECT_EQ(b.value, a.value + 1);
    EXPECT_EQ(tagOf(t, static_cast<MemHandle>(a.value)), 0x77);
    EXPECT_EQ(tagOf(t, static_cast<MemHandle>(b.value)), 0x77);

    DispatchRecord addr = dispatched(opcode::HandleAddress, a.value);
    auto* data = reinterpret_cast<uint8_t*>(addr.value);
    ASSERT_NE(data, nullptr);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(data[k], 0) << "new handles are zeroed";

    // Freeing below the hint brings the hint back to it; the next allocation reuses it.
    dispatched(opcode::FreeHandle, a.value);
    EXPECT_EQ(t->slot[a.value], 0u);
    EXPECT_EQ(t->hint, a.value);
    DispatchRecord c = dispatched(opcode::AllocHandle, 1, 0);
    EXPECT_EQ(c.value, a.value);

    // Invalid handles are ignored and give no address.
    for (word_t bad : {word_t(0), word_t(t->capacity), word_t(a.value + 50)}) {
        dispatched(opcode::FreeHandle, bad);
        EXPECT_EQ(dispatched(opcode::HandleAddress, bad).value, 0u) << bad;
    }
    for (word_t h : {b.value, c.value, b.value}) dispatched(opcode::FreeHandle, h);  // the second of b changes nothing
    EXPECT_EQ(t->slot[b.value], 0u);
    EXPECT_TRUE(host().liveHandles().empty());
}

TEST_F(Entry, AFullHandleTableGivesHandleZero) {
    stop();
    Host::Options o;
    o.handleCapacity = 4;
    start(o);
    std::vector<MemHandle> held;
    for (int k = 0; k < 3; ++k) {
        held.push_back(host().allocHandle("x", 1));
        host().keepHandle(held.back());
    }
    EXPECT_EQ(error("AC_CHR2", {Int(1)}), 182);
    EXPECT_EQ(host().handles()->hint, 4);
    for (MemHandle h : held) host().freeHandle(h);
    EXPECT_EQ(ok("AC_CHR2", {Int(1)}).str, bytes({0, 1}));
}

TEST_F(Entry, CallsBeforeInitialisationDoNothing) {
    // The routine of a call arrives from the host; with no callback yet the
    // handler can neither answer nor fail, and the entry still returns 0.
    const FoxTableHeader* table = restartUninitialised();
    DispatchRecord r{};
    r.opcode = opcode::Call;
    r.routine = reinterpret_cast<word_t>(table->first[0].handler);
    r.params.count = 1;
    r.params.slot[0].value.type = 'I';
    EXPECT_EQ(host().dispatch(r), 0);
    host().initialise();
}

class Unwinding : public HostTest {};

TEST_F(Unwinding, AnErrorEndsTheHandlerAndLeavesTheRecordAlone) {
    DispatchRecord r{};
    r.opcode = opcode::Call;
    r.routine = reinterpret_cast<word_t>(host().entry("AC_CHR2")->handler);
    r.value = 0xABCD;
    r.extra = 0x1234;
    r.params.count = 1;
    r.params.slot[0].value.type = 'I';
    r.params.slot[0].value.integer = 5;
    host().failAllocations(1);
    EXPECT_EQ(host().request(r).error, 182);
    EXPECT_EQ(r.value, 0xABCDu);
    EXPECT_EQ(r.extra, 0x1234u);
    // A second request afterwards finds the entry as it was.
    Result again = host().request(r);
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(again.value.str, bytes({0, 5}));
}

TEST_F(Unwinding, AnErrorAnswerToAnyHostCallNeverReturnsToTheHandler) {
    // The host answers the result call itself with an error: the handler must
    // not go on (no further host calls) and must not leave its handle behind.
    host().intercept = [](HostCallRecord& r) {
        if (r.api == api::RetValue) {
            r.api = api::Error;
            r.arg1 = 1234;
        }
    };
    Result res = host().call("AC_CHR4", {Int(7)});
    EXPECT_EQ(res.error, 1234);
    EXPECT_TRUE(host().liveHandles().empty());
    // The same for a text result (its handle holds the terminator too).
    res = host().call("D_MNAME", {Int(1)});
    EXPECT_EQ(res.error, 1234);
    EXPECT_TRUE(host().liveHandles().empty());
    host().intercept = nullptr;
    EXPECT_EQ(ok("AC_CHR4", {Int(7)}).str, bytes({0, 0, 0, 7}));
}

TEST_F(Unwinding, AnInnerErrorUnwindsOnlyTheInnerRequest) {
    // While the outer handler hands over its result, the host calls the
    // library again; the inner call fails. The outer call must still finish.
    bool nested = false;
    Result inner;
    host().intercept = [&](HostCallRecord& r) {
        if (r.api == api::RetValue && !nested) {
            nested = true;
            host().failAllocations(1);
            inner = host().call("AC_CHR2", {Int(1)});
        }
    };
    Result outer = host().call("AC_CHR3", {Int(0x010203)});
    host().intercept = nullptr;
    ASSERT_TRUE(nested);
    EXPECT_EQ(inner.error, 182);
    ASSERT_TRUE(outer.ok()) << outer.message;
    EXPECT_EQ(outer.value.str, bytes({1, 2, 3}));
    // And the entry is as good as new afterwards.
    EXPECT_EQ(eval("AC_ASC3(AC_CHR3(66051))").i, 66051);
}

TEST_F(Unwinding, NestedCallsThroughTheExpressionLanguage) {
    // A script procedure called by the host evaluates library calls itself.
    host().defineProc("TWICE", [&](std::vector<Value>& a) {
        Result r = host().evaluate("AC_ASC2(AC_CHR2(" + std::to_string(int(a.at(0).asNumber())) + "))");
        return Num(r.value.i * 2.0);
    });
    EXPECT_EQ(eval("TWICE(258)").num, 516);
    EXPECT_EQ(eval("AC_CHR2(TWICE(129))").str, bytes({1, 2}));
}

}  // namespace
}  // namespace kavro_test
