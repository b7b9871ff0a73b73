# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing (scripts/install-deps.sh) before they build.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench sanitize sanitize-thread stress fuzz clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/zelvora

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
		ctest --output-on-failure -j $(JOBS) -LE stress

# The core's tests under AddressSanitizer + UndefinedBehaviorSanitizer, and
# under ThreadSanitizer, each in a build folder of its own.
sanitize:
	JOBS=$(JOBS) bash scripts/sanitize-core.sh address

sanitize-thread:
	JOBS=$(JOBS) bash scripts/sanitize-core.sh thread

# The job manager's stress run (STRESS_ROUNDS rounds of four tasks, two at a
# time, paused, resumed and stopped) under ASan + UBSan, in build-asan.
STRESS_ROUNDS ?= 200
stress:
	STRESS_ROUNDS=$(STRESS_ROUNDS) JOBS=$(JOBS) bash scripts/sanitize-core.sh stress

# Each libFuzzer target of fuzz/ for FUZZ_SECONDS from its seed corpus,
# built by clang in build-fuzz (FUZZ_TARGETS="probe convert" for some).
FUZZ_SECONDS ?= 60
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash scripts/fuzz.sh

# Every benchmark of bench/, then one table of all figures with their goals.
bench: build
	cmake --build $(BUILD) --target benchmarks
	BUILD=$(BUILD) bash scripts/bench.sh

clean:
	rm -rf $(BUILD)

# Pictures of the windows for looking at: main.png, options.png, about.png,
# skins.png, previewer.png (a conversion's previewer on the screen),
# preview.png, snapshot.png, player.png and spectrum.png (the preview panel
# showing a clip, the snapshot it saved, the clip playing, an audio file's
# spectrum), converting.png (two clips under way) and finished.png in
# $(BUILD)/screenshots, from a fresh settings file and a home of their own,
# under a virtual X server.
.PHONY: screenshots
screenshots: build
	rm -rf $(BUILD)/screenshots
	mkdir -p $(BUILD)/screenshots/home
	HOME=$(abspath $(BUILD))/screenshots/home xvfb-run -a $(BUILD)/bin/zelvora --screenshot-dir $(BUILD)/screenshots
