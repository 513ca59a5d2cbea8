# Convenience targets; everything goes through CMake.
BUILD_DIR ?= build
BENCH_DIR ?= build-bench
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
MPI_DIR ?= build-mpi
FUZZ_SECONDS ?= 30
JOBS ?= 2

.PHONY: all build test demo retrieval-demo ct-demo bench test-sanitize fuzz mpi test-mpi clean

all: build

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Only the program and the tools the demo script runs, not the test suite, so that a first
# demo on a fresh clone does not wait for the tests to compile.
DEMO_TARGETS = conesim conesim-phantom conesim-mask conesim-sum conesim-png

demo:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(DEMO_TARGETS)
	bash examples/run-demo.sh $(BUILD_DIR)

# Likewise only what the retrieval demo runs.
RETRIEVAL_TARGETS = conesim conesim-phantom conesim-mask conesim-sweep conesim-retrieve

retrieval-demo:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(RETRIEVAL_TARGETS)
	bash examples/ei-retrieval/run-retrieval.sh $(BUILD_DIR)

# Likewise only what the CT demo runs.
CT_TARGETS = conesim conesim-phantom conesim-mask conesim-sweep conesim-retrieve conesim-recon

ct-demo:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(CT_TARGETS)
	bash examples/ct/run-ct.sh $(BUILD_DIR)

bench:
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DCONESIM_BENCH=ON -DCONESIM_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bench/bench_photon_loop $(BENCH_DIR)/bench/bench_precalc \
			$(BENCH_DIR)/bench/bench_recon; do \
		echo "== $$b"; $$b || exit 1; done
	@if [ -x $(MPI_DIR)/conesim ]; then echo "== MPI (make mpi)"; \
		bash bench/mpi-bench.sh $(BENCH_DIR) $(MPI_DIR); fi

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer; any
# report fails its test.
test-sanitize:
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCONESIM_TEST_OPTIMIZATION=-O0 \
		-DCONESIM_SANITIZE=ON -DCONESIM_TOOLS=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan-suppressions.txt \
		ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS each (libFuzzer, clang).
fuzz:
	bash tests/fuzz/run-fuzz.sh $(FUZZ_SECONDS) $(FUZZ_DIR)

# The program built with MPI (Debian's OpenMPI): build-mpi/conesim, run with mpirun.
mpi:
	cmake -S . -B $(MPI_DIR) -DCMAKE_BUILD_TYPE=Release -DCONESIM_MPI=ON -DCONESIM_TOOLS=OFF
	cmake --build $(MPI_DIR) -j $(JOBS) --target conesim mpi_tests

# The MPI runs under mpirun with 2 and 3 processes against one process of one thread.
test-mpi: mpi
	ctest --test-dir $(MPI_DIR) -R '^MpiRun' --output-on-failure

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(MPI_DIR)
