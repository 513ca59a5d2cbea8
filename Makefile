# Convenience targets; everything goes through CMake.
BUILD_DIR ?= build
BENCH_DIR ?= build-bench
JOBS ?= 2

.PHONY: all build test demo bench clean

all: build

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

demo: build
	bash examples/run-demo.sh $(BUILD_DIR)

bench:
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DCONESIM_BENCH=ON -DCONESIM_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR)
