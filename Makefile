# The two commands of the README: `make run` and `make test`. Each installs what
# is missing first (scripts/setup), then builds.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: setup build run test bench screenshots format clean

setup:
	@scripts/setup

build: setup
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo --log-level=WARNING
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Without a display the window opens on a virtual one (Xvfb).
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD_DIR)/glimmerdeck; \
	else xvfb-run -a -s "-screen 0 1920x1080x24" $(BUILD_DIR)/glimmerdeck; fi

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# All benchmarks, or one: make bench BENCH=core
bench: build
	@scripts/run-benchmarks $(BUILD_DIR)/bench $(BENCH)

# Review screenshots under a virtual display, into $(BUILD_DIR)/screenshots.
screenshots: build
	@scripts/screenshots $(BUILD_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR)
