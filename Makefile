# The two commands (run, test) and their friends; every target installs what is missing first.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps build run test test-asan bench fuzz clean

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The window when there is a display; otherwise the headless server with its console on stdout.
run: build
	$(BUILD)/app/tarnwick

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

bench: build
	scripts/run-bench $(BUILD)
	$(BUILD)/bench/decode/decode-bench --benchmark_min_time=1
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/window/window-bench 5

fuzz: deps
	@CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_FUZZ) -j $(JOBS) --target decoder-fuzz decoder-fuzz-seeds pcap-fuzz pcap-fuzz-seeds
	@echo "fuzzers: $(BUILD_FUZZ)/tests/fuzz/decoder-fuzz, $(BUILD_FUZZ)/tests/fuzz/pcap-fuzz;" \
	      "seed corpora: $(BUILD_FUZZ)/tests/fuzz/decoder-fuzz-seeds DIR, $(BUILD_FUZZ)/tests/fuzz/pcap-fuzz-seeds DIR"

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
