# The two commands of README.md:
#   make run    installs what is missing, builds and starts Lumivox
#   make test   installs what is missing, builds and runs every test
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: run test test-asan build package screenshots bench deps deps-test deps-package clean

deps:
	@scripts/install-deps.sh run

deps-test:
	@scripts/install-deps.sh test

deps-package:
	@scripts/install-deps.sh package

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The Debian package lumivox_<version>_<arch>.deb in $(BUILD)/; install it with
# sudo apt install ./$(BUILD)/lumivox_*.deb
package: deps-package $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target package

run: build
	$(BUILD)/bin/lumivox

test: deps-test $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target all benchmarks
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite once more with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMIVOX_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# A PNG of each window into build/screenshots/, drawn under Xvfb.
screenshots: deps-test $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target lumivox_screenshots
	xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" $(BUILD)/tools/lumivox_screenshots $(BUILD)/screenshots

bench: $(BUILD)/build.ninja
	@scripts/install-deps.sh bench
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
