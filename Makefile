# The project's front door: make run | make test | make bench | make asan | make tsan
# Shipping: make install | make package | make package-check | make vendor-check
BUILD ?= build
CMAKE_FLAGS ?=
CTEST_FLAGS ?= --output-on-failure
JOBS ?= 2

.PHONY: all deps deps-run build run test bench asan tsan fuzz clean screenshots install package package-check vendor-check

all: build

deps:
	@bash scripts/install-deps.sh

deps-run:
	@bash scripts/install-deps.sh run

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Builds only what it runs: the panel and the simulated system. Without a
# display (a remote shell, CI) the panel runs on a virtual one.
run: deps-run $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kd7240fp
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/softfrontpanel/kd7240fp; \
	else echo "make run: no display here, so the panel runs on a virtual display (xvfb-run) that nobody can see; Ctrl+C stops it."; \
	echo "make run: to see the panel, run make run in a desktop session, or with DISPLAY set (for example over ssh -X)."; \
	xvfb-run -a $(BUILD)/softfrontpanel/kd7240fp; fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest $(CTEST_FLAGS) -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSFP_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	@for b in $$(find build-bench/bench -maxdepth 1 -type f -executable -name 'bench_*' | sort); do \
	    echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; done

asan: deps
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DSFP_SANITIZE=address,undefined -DSFP_BUILD_BENCH=OFF"

tsan: deps
	$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DSFP_SANITIZE=thread -DSFP_BUILD_BENCH=OFF" \
	    CTEST_FLAGS="--output-on-failure -L tsan"

# Every libFuzzer target for FUZZ_SECONDS each (clang, ASan and UBSan); fails
# on any finding.
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh fuzz
	@[ -f build-fuzz/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSFP_BUILD_FUZZ=ON \
	    -DSFP_SANITIZE=fuzzer-no-link,address,undefined -DSFP_BUILD_TESTS=OFF -DSFP_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS) --target fuzz
	bash scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

# Renders the windows into docs/ (the pictures the README shows).
screenshots: deps
	cmake -S . -B build-tools -G Ninja -DSFP_BUILD_TOOLS=ON -DSFP_BUILD_TESTS=OFF -DSFP_BUILD_BENCH=OFF
	cmake --build build-tools -j $(JOBS) --target screenshots
	QT_QPA_PLATFORM=offscreen build-tools/tools/screenshots/screenshots docs
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 build-tools/tools/screenshots/screenshots docs --double-density

# Installs into PREFIX (default /usr/local): the program, the simulated
# system's library, the desktop entry, the AppStream data, icons, man page.
PREFIX ?= /usr/local
install: deps-run $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kd7240fp compressed_docs
	@if [ -w "$(PREFIX)" ] || [ "$$(id -u)" -eq 0 ]; then cmake --install $(BUILD) --prefix $(PREFIX); \
	else echo "make install: $(PREFIX) needs root; installing with sudo"; sudo cmake --install $(BUILD) --prefix $(PREFIX); fi

# A .deb of a Release build, in build-package/.
package: deps
	cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DSFP_BUILD_TESTS=OFF -DSFP_BUILD_BENCH=OFF \
	    -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build build-package -j $(JOBS)
	cd build-package && cpack -G DEB

# Installs that .deb on a clean Debian 12 root and starts the panel there.
package-check: package
	bash scripts/package-check.sh build-package

# Builds the panel as a user with the card would, against libraries named
# like the vendor's, and connects through them.
vendor-check: deps
	bash scripts/vendor-check.sh

clean:
	rm -rf build build-asan build-tsan build-bench build-tools build-package build-vendor build-fuzz
