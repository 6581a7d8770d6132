# Entry points for people and CI. The build lives in build/ (Ninja).
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build test check-sanitize demo bench bench-export fuzz clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DTARNWELL_BUILD_TESTS=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/run-tests.sh $(BUILD)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in its own folder.
check-sanitize: deps
	cmake -S . -B $(BUILD)-sanitize -G Ninja -DTARNWELL_BUILD_TESTS=ON -DTARNWELL_SANITIZE=ON
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	bash scripts/run-sanitized-tests.sh $(BUILD)-sanitize

bench: deps
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWELL_BUILD_TESTS=OFF -DTARNWELL_BUILD_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)

# The export end to end on a generated month of 1,000 and 10,000 bills, with a profile.
bench-export: bench
	bash scripts/bench-export.sh $(BUILD)-bench

# The bundled demo setup, exported into $(BUILD)/demo-run.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target tarnwell
	bash demo/run-demo.sh $(BUILD)/src/tarnwell $(BUILD)/demo-run

# libFuzzer targets (clang), each run for FUZZ_SECONDS on the seeds in fuzz/corpus/;
# stops at the first finding with the path of its input.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -G Ninja -DTARNWELL_FUZZ=ON -DTARNWELL_BUILD_TESTS=OFF
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzz_targets
	bash scripts/run-fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-sanitize $(BUILD)-fuzz
