# Entry points for people and CI. The build lives in build/ (Ninja).
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build test demo bench clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DTARNWELL_BUILD_TESTS=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/run-tests.sh $(BUILD)

bench: deps
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWELL_BUILD_TESTS=OFF -DTARNWELL_BUILD_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)

# The bundled demo setup, exported into $(BUILD)/demo-run.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target tarnwell
	bash demo/run-demo.sh $(BUILD)/src/tarnwell $(BUILD)/demo-run

clean:
	rm -rf $(BUILD) $(BUILD)-bench
