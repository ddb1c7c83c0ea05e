# Everything starts here: `make run` and `make test` on a fresh Debian 12.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_RUNS  ?= 0
# A run count alone runs to that count, however long it takes.
FUZZ_SECONDS ?= $(if $(filter 0,$(FUZZ_RUNS)),60,0)
SOAK_MINUTES ?= 60
MUTANTS    ?= 80
MUTATE_SEED ?= 1

.PHONY: all deps build run test test-asan bench range fuzz soak demo screenshots mutate package install clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The Debian package, build/quorvel_<version>_amd64.deb.
package: build
	@cd $(BUILD) && cpack -G DEB >/dev/null && ls quorvel_*_amd64.deb

# make install PREFIX=/some/where: the same files as the package.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

run: build
	@$(BUILD)/bin/quorvel

# The analyser measuring the demo recording the build makes.
demo: build
	@echo "Demo recording $(BUILD)/share/quorvel/demo-recording.wav, settings $(BUILD)/bin/settings.ini:"
	@$(BUILD)/bin/quorvel-analyze $(BUILD)/share/quorvel/demo-recording.wav

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	@$(BUILD)/bin/quorvel-bench
	@QUORVEL_MONITOR_LATENCY_MS=100 xvfb-run -a tests/platform/with-sound-server pulseaudio $(BUILD)/bin/quorvel-recording-load 30

# Both detection methods over simulated shooting sessions with known flight
# times (garages, halls, outdoor ranges, neighbours), side by side.
range: build
	@$(BUILD)/bin/quorvel-range

fuzz: deps
	@CXX=clang++ CC=clang cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzzers $(FUZZ_BUILD)/bin $(FUZZ_SECONDS) $(FUZZ_RUNS)

# Plants faults in the measuring core one at a time and counts those the tests catch.
mutate: deps
	@scripts/mutate --count $(MUTANTS) --seed $(MUTATE_SEED) --jobs $(JOBS)

# The real program recording a shot every 3 s for SOAK_MINUTES on the tests'
# sound server under Xvfb; read over the accessibility bus at the end.
soak: build
	@scripts/install-deps soak
	@tests/platform/with-sound-server pulseaudio dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
	    sh -c '/usr/libexec/at-spi-bus-launcher --launch-immediately & sleep 1; scripts/soak $(SOAK_MINUTES) $(BUILD)/bin'

screenshots: build
	@scripts/screenshots

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) build-mutate
