# ｱﾗｰﾑ時計: the two commands are `make run` and `make test`; each installs what is missing.
JOBS ?= $(shell nproc)
BUILD_RUN := build/run
BUILD_TEST := build/test
BUILD_FUZZ := build/fuzz
FUZZ_SECONDS ?= 20

.PHONY: all build run display-check test deps deps-test fuzz fuzz-smoke format install clean bench

all: build

deps:
	@scripts/install-deps.sh build

deps-test:
	@scripts/install-deps.sh test

build: deps
	@cmake -S . -B $(BUILD_RUN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DALARM_TESTS=OFF >/dev/null
	@cmake --build $(BUILD_RUN) -j $(JOBS)

run: display-check build
	@$(BUILD_RUN)/alarm-clock

# The clock needs a desktop to show its window on; say so before building anything.
display-check:
	@$(if $(DISPLAY)$(WAYLAND_DISPLAY),,$(error make run: no display to show the clock on (neither DISPLAY nor WAYLAND_DISPLAY is set)))

# Warnings are errors and every test runs under AddressSanitizer and UBSan.
test: deps-test fuzz-smoke
	@cmake -S . -B $(BUILD_TEST) -DCMAKE_BUILD_TYPE=Debug -DALARM_SANITIZE=ON -DALARM_WERROR=ON >/dev/null
	@cmake --build $(BUILD_TEST) -j $(JOBS)
	@cd $(BUILD_TEST) && ctest --output-on-failure --timeout 300

$(BUILD_FUZZ)/CMakeCache.txt:
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DALARM_FUZZ=ON -DALARM_WERROR=ON >/dev/null

fuzz-smoke: deps-test $(BUILD_FUZZ)/CMakeCache.txt
	@cmake --build $(BUILD_FUZZ) -j $(JOBS)
	@scripts/fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

fuzz: FUZZ_SECONDS = 600
fuzz: fuzz-smoke

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: build
	@cmake --install $(BUILD_RUN) $(if $(PREFIX),--prefix $(PREFIX))

# Start-up, footprint and tick precision against a bare Qt window, about 7 minutes; timed, so
# not part of test.
bench:
	@bench/run.sh

clean:
	@rm -rf build
