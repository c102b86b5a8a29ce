# Vorlane: `make test` builds everything and runs every test under Wine;
# `make bench` runs the benchmarks; `make screens` takes pictures of the windows;
# `make demo` runs Vorlane against the local service stand-in.
# All install what they need first.

BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

# Debian packages the build, the tests and the local service need.
PACKAGES = cmake ninja-build g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest \
           wine wine64 xvfb xauth python3 imagemagick

.PHONY: all deps configure build test bench screens demo clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    if [ "$$(id -u)" != 0 ]; then echo "run as root to install packages" >&2; exit 1; fi; \
	    export DEBIAN_FRONTEND=noninteractive; \
	    apt-get update -qq && apt-get install -y -qq --no-install-recommends $$missing >/dev/null || exit 1; \
	fi

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# A test gets a second run only if its first fails: a Wine process now and then
# dies while starting, before the test's own code runs. A real fault fails twice.
test: build
	tools/with-wine-session $(BUILD) wineprefix \
	    ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure --no-tests=error --repeat until-pass:2

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	VORLANE_SCREEN=3840x2160x24 tools/with-wine-session $(BUILD) wineprefix-bench tools/run-benches $(BUILD)/bench

# Pictures of every window, at 100 % and 150 % scaling, in $(BUILD)/screens/.
screens: configure
	cmake --build $(BUILD) -j $(JOBS) --target screens
	tools/with-wine-session $(BUILD) wineprefix-screens tools/screens/take-screens $(BUILD)

# Vorlane on your display (DISPLAY set) or, without one, a guided tour on a
# virtual display that saves pictures in $(BUILD)/demo/tour/.
demo: build
	cmake --build $(BUILD) --target demo_tour
	tools/demo/run-demo $(BUILD)

clean:
	rm -rf $(BUILD)
