# The two commands (run, test) and their friends; every target installs what it builds with first.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_DEB  ?= build-deb
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Options for tarnwick under make run: make run ARGS="--smpp-port 2775"
ARGS       ?=

.PHONY: deps build run test test-asan bench fuzz deb clean

deps:
	@scripts/install-deps test

# Everything: the programs, the suite and the benchmarks.
build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) -DTARNWICK_TESTS=ON -DTARNWICK_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The window when there is a display; otherwise the headless server with its console on stdout.
# Builds tarnwick and tarnwick-decode alone, with only the packages they need: a new build folder is
# set up without the suite and the benchmarks, one that has them keeps them, unbuilt.
run:
	@scripts/install-deps run
	@test -f $(BUILD)/build.ninja || \
	  cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target tarnwick tarnwick-decode
	$(BUILD)/app/tarnwick $(ARGS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan:
	@scripts/install-deps test
	@cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_TESTS=ON \
	  -DTARNWICK_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

bench: build
	scripts/run-bench $(BUILD)
	$(BUILD)/bench/decode/decode-bench --benchmark_min_time=1
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/window/window-bench 5

fuzz:
	@scripts/install-deps fuzz
	@CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_FUZZ) -j $(JOBS) --target decoder-fuzz decoder-fuzz-seeds pcap-fuzz pcap-fuzz-seeds \
	  ucp-fuzz cimd-fuzz codec-fuzz-seeds
	@echo "fuzzers: $(BUILD_FUZZ)/tests/fuzz/decoder-fuzz, $(BUILD_FUZZ)/tests/fuzz/pcap-fuzz," \
	      "$(BUILD_FUZZ)/tests/fuzz/ucp-fuzz, $(BUILD_FUZZ)/tests/fuzz/cimd-fuzz;" \
	      "seed corpora: $(BUILD_FUZZ)/tests/fuzz/decoder-fuzz-seeds DIR, $(BUILD_FUZZ)/tests/fuzz/pcap-fuzz-seeds DIR," \
	      "$(BUILD_FUZZ)/tests/fuzz/codec-fuzz-seeds UCP_DIR CIMD_DIR"

# The Debian package, from a Release build of the programs alone installed under /usr.
deb:
	@scripts/install-deps deb
	@cmake -S . -B $(BUILD_DEB) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_DEB) -j $(JOBS)
	@cd $(BUILD_DEB) && cpack -G DEB >cpack.log || { cat cpack.log; exit 1; }
	@ls $(BUILD_DEB)/tarnwick_*.deb

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_DEB)
