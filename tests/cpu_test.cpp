#include <windows.h>

#include "kernels/cpu.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using kv::CpuFeatures;
using kv::maskCpu;

CpuFeatures everything() {
    CpuFeatures f;
    f.sse2 = f.sse41 = f.pclmul = f.vpclmul = f.avx2 = true;
    f.avx512f = f.avx512bw = f.avx512vbmi = f.ymmSaved = f.zmmSaved = true;
    return f;
}

bool same(const CpuFeatures& a, const CpuFeatures& b) {
    return a.sse2 == b.sse2 && a.sse41 == b.sse41 && a.pclmul == b.pclmul && a.vpclmul == b.vpclmul &&
           a.avx2 == b.avx2 && a.avx512f == b.avx512f && a.avx512bw == b.avx512bw && a.avx512vbmi == b.avx512vbmi &&
           a.ymmSaved == b.ymmSaved && a.zmmSaved == b.zmmSaved;
}

TEST(CpuMask, EachLevelKeepsTheNarrowerPathsOnly) {
    const CpuFeatures all = everything();
    EXPECT_TRUE(same(maskCpu(all, nullptr), all));
    EXPECT_TRUE(same(maskCpu(all, ""), all));
    EXPECT_TRUE(same(maskCpu(all, "avx512"), all));
    EXPECT_TRUE(same(maskCpu(all, "portable"), CpuFeatures{}));
    EXPECT_TRUE(same(maskCpu(all, "-sse2"), CpuFeatures{}));

    const CpuFeatures sse2 = maskCpu(all, "sse2");
    EXPECT_TRUE(sse2.sse2 && sse2.sse41 && sse2.pclmul);  // the 128-bit paths, carry-less multiply included
    EXPECT_FALSE(sse2.avx2 || sse2.vpclmul || sse2.ymmSaved || sse2.avx512f || sse2.zmmSaved);

    const CpuFeatures avx2 = maskCpu(all, "AVX2");  // any case
    EXPECT_TRUE(avx2.avx2 && avx2.ymmSaved && avx2.vpclmul && avx2.pclmul);
    EXPECT_FALSE(avx2.avx512f || avx2.avx512bw || avx2.avx512vbmi || avx2.zmmSaved);

    EXPECT_STREQ(kv::cpuPathName(all), "avx512");
    EXPECT_STREQ(kv::cpuPathName(avx2), "avx2");
    EXPECT_STREQ(kv::cpuPathName(sse2), "sse2");
    EXPECT_STREQ(kv::cpuPathName(CpuFeatures{}), "portable");
}

TEST(CpuMask, SingleFeaturesAndListsOnlyEverTakeAway) {
    const CpuFeatures all = everything();
    const CpuFeatures noClmul = maskCpu(all, "-pclmul");
    EXPECT_FALSE(noClmul.pclmul || noClmul.vpclmul);
    EXPECT_TRUE(noClmul.avx512f && noClmul.avx2);
    const CpuFeatures list = maskCpu(all, "-vbmi, -vpclmul;-sse41");
    EXPECT_FALSE(list.avx512vbmi || list.vpclmul || list.sse41);
    EXPECT_TRUE(list.avx512f && list.avx512bw && list.pclmul);
    EXPECT_FALSE(maskCpu(all, "-avx2").avx512f);  // no AVX-512 path without AVX2's
    // Unknown words change nothing; nothing the processor lacks appears.
    EXPECT_TRUE(same(maskCpu(all, "turbo +avx1024 sse3"), all));
    EXPECT_TRUE(same(maskCpu(CpuFeatures{}, "avx512"), CpuFeatures{}));
    CpuFeatures old;
    old.sse2 = true;
    EXPECT_TRUE(same(maskCpu(old, "avx2"), old));
}

// The record the test program uses is the processor's, less KAVRO_CPU.
TEST(CpuMask, TheRecordFollowsTheEnvironment) {
    char text[256] = "";
    const DWORD n = GetEnvironmentVariableA("KAVRO_CPU", text, sizeof text);
    EXPECT_TRUE(same(kv::cpu(), maskCpu(kv::cpuPresent(), n ? text : nullptr)));
    std::printf("processor paths in force: %s (KAVRO_CPU=%s)\n", kv::cpuPathName(kv::cpu()), n ? text : "");
}

}  // namespace
}  // namespace kavro_test
