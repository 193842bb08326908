# Front door of the project: `make test`, `make test SANITIZE=1`, `make test TSAN=1`
# (ThreadSanitizer), `make bench`, `make demo`,
# `make fuzz` (clang; FUZZ_SECONDS per target, FUZZ_TARGETS to pick some).

JOBS ?= $(shell nproc)

ifeq ($(SANITIZE),1)
BUILD ?= build-sanitize
CMAKE_FLAGS += -DSANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS ?= halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS ?= halt_on_error=1:print_stacktrace=1
else ifeq ($(TSAN),1)
BUILD ?= build-tsan
CMAKE_FLAGS += -DTSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
export TSAN_OPTIONS ?= halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp
# Mesa's software rasterizer draws on worker threads of its own, which the sanitizer cannot
# see into; drawing on the calling thread leaves only our own code to check.
export LP_NUM_THREADS ?= 0
else
BUILD ?= build
CMAKE_FLAGS += -DCMAKE_BUILD_TYPE=RelWithDebInfo
endif
# Mesa would keep compiled shaders in the user's cache folder; tests and demos write nowhere
# outside their own folders. Benchmarks run as a user's machine does, with the shaders kept,
# for us and the peers alike, in the benchmarks' build folder.
export MESA_SHADER_CACHE_DISABLE ?= true

.PHONY: all deps configure build test bench demo fuzz clean

all: build

deps:
	@bash scripts/setup.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# MainJobBench's side-by-side with f3d runs MAINJOB_ROUNDS rounds (10 by default), which keeps
# the whole run within about 15 minutes on a loaded machine.
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	@mkdir -p build-bench/mesa-shader-cache
	@for b in build-bench/bench/*Bench; do echo "== $$b"; \
	  MESA_SHADER_CACHE_DISABLE=false MESA_SHADER_CACHE_DIR=$(CURDIR)/build-bench/mesa-shader-cache $$b || exit 1; done

# Renders a sample model with the host program into an image under the build folder. The
# control's per-user folder is kept there too, so the demo leaves the home folder alone.
DEMO_MODEL ?= samples/assembly.xml
DEMO_SIZE ?= 800x600
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target tavoplex
	@mkdir -p $(BUILD)/demo/config
	XDG_CONFIG_HOME=$(abspath $(BUILD))/demo/config $(BUILD)/host/tavoplex FileName=$(DEMO_MODEL) Start=1 \
	  --output $(BUILD)/demo/demo.bmp --size $(DEMO_SIZE)
	@echo "The demo picture is $(abspath $(BUILD))/demo/demo.bmp"

# Each libFuzzer target starts from its seeds in fuzz/corpus/<target>/ (with the word list
# fuzz/dict/<target>.dict when there is one) and writes the inputs it finds, and any crash,
# into the build folder only.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= $(basename $(notdir $(wildcard fuzz/*Fuzz.cpp)))

fuzz:
	@bash scripts/setup.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for t in $(FUZZ_TARGETS); do \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/artifacts/$$t; \
	  dict=; [ -f fuzz/dict/$$t.dict ] && dict=-dict=fuzz/dict/$$t.dict; \
	  $(FUZZ_BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 $$dict \
	    -artifact_prefix=$(FUZZ_BUILD)/artifacts/$$t/ $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

clean:
	rm -rf build build-sanitize build-tsan build-bench build-fuzz
