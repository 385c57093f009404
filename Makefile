# Commands for a fresh Debian machine (as root):
#   make run   install what is missing, build, start the program; without a
#              display it runs on a virtual one (Xvfb) and blocks until stopped
#   make test  install what is missing, build, run every test, then build
#              each fuzz target and run it briefly
#   make demo  as make run, with the simulated instrument on a pseudo-terminal
#              named to the program by QUARNEL_SERIAL_PORT
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

.PHONY: deps build run test fuzz bench clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./scripts/run.sh $(BUILD)

.PHONY: demo
demo: build
	./scripts/demo.sh $(BUILD)

test:
	QUARNEL_TEST=1 ./scripts/install-deps.sh
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) fuzz

# A fuzz target that no longer builds, or an input that crashes one, fails
# the test run; skipped where clang has no libFuzzer.
fuzz:
	./fuzz/run-fuzz.sh receive $(FUZZ_SECONDS) $(BUILD)/fuzz
	./fuzz/run-fuzz.sh workbook $(FUZZ_SECONDS) $(BUILD)/fuzz

bench:
	QUARNEL_BENCH=1 ./scripts/install-deps.sh
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	./bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
