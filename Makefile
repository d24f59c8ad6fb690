# The two commands a new machine needs: `make test` and `make demo`.
# Both install what is missing first (tools/setup.sh), quickly when all is there.
.PHONY: all setup build build32 build64 runnable test sweep demo bench header dist clean

CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
JOBS ?= $(shell nproc)

all: build

setup:
	@bash tools/setup.sh

# build/ holds the shipped 32-bit library (build/Kavro.FLL) and its 32-bit
# programs, which the tests, tools and demo run (natively, or through QEMU
# where the kernel runs no 32-bit code). build/win64/ holds the 64-bit build
# of the same sources: `make test` builds it every time so that 64-bit-unclean
# code shows, and it runs only where neither way of running 32-bit code works.
build: runnable build64

build32: setup
	@test -f build/CMakeCache.txt || cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build build -j $(JOBS) > build/.build.log 2>&1 || { cat build/.build.log; exit 1; }

build64: setup
	@test -f build/win64/CMakeCache.txt || cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build build/win64 -j $(JOBS) > build/win64/.build.log 2>&1 || { cat build/win64/.build.log; exit 1; }

# What this machine runs: the 32-bit build, and the 64-bit one only as the last resort.
runnable: build32
	@if [ "$$(cat build/.test-arch)" = 64 ]; then $(MAKE) -s build64; fi

test: build
	@tools/run-tests

# The long randomised hostile sweep; it prints its seed (KAVRO_SWEEP_SEED=n
# repeats a run, KAVRO_SWEEP_ROUNDS=n sets the calls a function).
sweep: runnable
	@tools/run-tests --gtest_filter='HostileSweep.*Randomised' --gtest_also_run_disabled_tests

demo: runnable
	@tools/kavrosh --echo examples/tour.prg

# Every kernel once for each processor path this machine has (tools/run-bench).
bench: runnable
	@tools/run-bench

# kavro.h, written from the library's own constants (library/header.cpp) by
# the kavro_header program; a test fails while the committed file differs.
header: runnable
	@bash -c 'source tools/wine-env.sh && kavro_run "$$KAVRO_BUILD/kavro_header.exe"' >kavro.h.new && \
	  mv kavro.h.new kavro.h || { rm -f kavro.h.new; exit 1; }
	@echo "kavro.h written from library/header.cpp"

# The release package, dist/Kavro-<version>.zip, from a clean 32-bit build
# (tools/dist.sh); pandoc, which makes its HTML documentation, is installed
# when missing.
dist:
	@bash tools/setup.sh dist
	@JOBS=$(JOBS) tools/dist.sh

clean:
	rm -rf build dist
