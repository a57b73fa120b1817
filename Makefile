# The project's front door: make run | make test | make bench | make asan | make tsan
BUILD ?= build
CMAKE_FLAGS ?=
CTEST_FLAGS ?= --output-on-failure
JOBS ?= 2

.PHONY: all deps build run test bench asan tsan clean screenshots

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Without a display (a remote shell, CI) the panel runs on a virtual one.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/softfrontpanel/kd7240fp; \
	else echo "make run: no display; starting the panel under xvfb-run"; xvfb-run -a $(BUILD)/softfrontpanel/kd7240fp; fi

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

# Renders the windows into docs/ (the pictures the README shows).
screenshots: deps
	cmake -S . -B build-tools -G Ninja -DSFP_BUILD_TOOLS=ON -DSFP_BUILD_TESTS=OFF -DSFP_BUILD_BENCH=OFF
	cmake --build build-tools -j $(JOBS) --target screenshots
	QT_QPA_PLATFORM=offscreen build-tools/tools/screenshots/screenshots docs

clean:
	rm -rf build build-asan build-tsan build-bench build-tools
