# The front door. `make run` and `make test` install what is missing, build and run.
BUILD     ?= build
BUILD_SAN ?= build-san
BUILD_NOQT ?= build-noqt
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 300
JOBS      ?= $(shell nproc)
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build run test fuzz ci-extra screenshots clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja $(BUILD)/Makefile:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release

build: deps
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# The main job on the bundled sample.
run: build
	scripts/run-sample $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The fuzz targets (fuzz/) built with clang under AddressSanitizer and UndefinedBehaviorSanitizer,
# each run for FUZZ_SECONDS on fuzz/corpus-work/; fails when one finds a crash.
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) BUILD_FUZZ=$(BUILD_FUZZ) JOBS=$(JOBS) scripts/fuzz

# What CI runs after `make test`: the libraries and their tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer, a build without Qt, and a one-minute smoke run of each fuzz
# target.
ci-extra: deps
	@test -f $(BUILD_SAN)/CMakeCache.txt || cmake -S . -B $(BUILD_SAN) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DORVIDA_SANITIZE=ON -DORVIDA_WITH_QT=OFF
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)
	# Everything but the window, with Qt out of reach: a Qt include below app/ breaks this build.
	@test -f $(BUILD_NOQT)/CMakeCache.txt || cmake -S . -B $(BUILD_NOQT) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=Release -DORVIDA_WITH_QT=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON
	cmake --build $(BUILD_NOQT) -j $(JOBS)
	FUZZ_SECONDS=60 BUILD_FUZZ=$(BUILD_FUZZ) JOBS=$(JOBS) scripts/fuzz

# The README's pictures of the window, by hand and inside a host window, taken under Xvfb.
screenshots: build
	scripts/screenshots $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_NOQT) $(BUILD_FUZZ)
