# ｱﾗｰﾑ時計: the two commands are `make run` and `make test`; each installs what is missing.
JOBS ?= $(shell nproc)
BUILD_RUN := build/run
BUILD_TEST := build/test
BUILD_FUZZ := build/fuzz
BUILD_PACKAGE := build/package
FUZZ_SECONDS ?= 20

.PHONY: all build run display-check test build-test soak deps deps-test fuzz fuzz-smoke format install clean bench package package-test deps-package

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
test: fuzz-smoke build-test
	@cd $(BUILD_TEST) && ctest -j $(JOBS) --output-on-failure --timeout 300

build-test: deps-test
	@cmake -S . -B $(BUILD_TEST) -DCMAKE_BUILD_TYPE=Debug -DALARM_SANITIZE=ON -DALARM_WERROR=ON >/dev/null
	@cmake --build $(BUILD_TEST) -j $(JOBS)

# The long end-to-end run again and again, until it fails or has passed SOAK_RUNS times (30
# unless told; SOAK_TESTS picks other tests by ctest's -R): a fault that shows once in a dozen
# runs shows here. Half an hour, so not part of test.
SOAK_RUNS ?= 30
SOAK_TESTS ?= e2e_long_run
soak: build-test
	@cd $(BUILD_TEST) && ctest -R '$(SOAK_TESTS)' --repeat until-fail:$(SOAK_RUNS) \
		--output-on-failure --timeout 300

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

deps-package:
	@scripts/install-deps.sh package

# The Debian package, alarm-clock_<version>_<arch>.deb in build/package, built with Debian's
# compiler and linker flags (hardening included) from the install rules, then checked by
# lintian, which fails on any error.
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
package: deps-package
	@cmake -S . -B $(BUILD_PACKAGE) -DCMAKE_BUILD_TYPE=None -DALARM_TESTS=OFF -DALARM_WERROR=ON \
		-DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CXXFLAGS) $$($(DEB_FLAGS) CPPFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)" \
		-DCMAKE_MODULE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)" >/dev/null
	@cmake --build $(BUILD_PACKAGE) -j $(JOBS)
	@rm -f $(BUILD_PACKAGE)/alarm-clock_*.deb
	@cd $(BUILD_PACKAGE) && cpack -G DEB >/dev/null
	@lintian --fail-on error $(BUILD_PACKAGE)/alarm-clock_*.deb
	@ls $(BUILD_PACKAGE)/alarm-clock_*.deb

# Installs the package on a fresh Debian 12 made in build/package-test, starts it from its
# desktop entry under Xvfb, rings an alarm into a null sink and purges it again; a few
# minutes, so not part of test.
package-test: package
	@scripts/package-test.sh $(BUILD_PACKAGE)/alarm-clock_*.deb

# Start-up, footprint and tick precision against a bare Qt window, about 7 minutes; timed, so
# not part of test.
bench:
	@bench/run.sh

clean:
	@rm -rf build
