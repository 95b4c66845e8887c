# The README's commands. Each installs what is missing, configures and builds.
BUILD ?= build
SANITIZE ?= 0
TEST_ENV := QT_QPA_PLATFORM=offscreen
ifeq ($(SANITIZE),1)
  BUILD := build-sanitize
  CMAKE_FLAGS += -DFRAMZO_SANITIZE=ON
  # Leaks of the toolkit's and the system libraries' own caches are not ours;
  # memory errors and undefined behaviour stop the test.
  TEST_ENV += ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
              UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
endif
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# The Debian package is built apart, as a release build without the tests.
DEB_BUILD ?= build-deb

.PHONY: all deps build run test bench fuzz deb check-deb clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash tools/run.sh $(BUILD)/framzo

test: build
	@cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS)

bench: build
	@bash tools/bench.sh $(BUILD)

# Not part of test: mutated images of every format through the decode helpers
# and the gallery, in the sanitizer build, for FUZZ_SECONDS; what went wrong
# is kept in build-sanitize/fuzz. FUZZ_SEED repeats a run's cases (CI uses a
# fixed one, so that it checks the same cases every time); without it each
# run draws its own. Leaks are not checked (as in the tests): libx265, which
# makes an HEIC seed, keeps an allocation of its own to the end.
FUZZ_SECONDS ?= 60
FUZZ_SEED ?=
fuzz: deps
	@cmake -S . -B build-sanitize -DFRAMZO_SANITIZE=ON >/dev/null
	@cmake --build build-sanitize -j $(JOBS) --target framzo_fuzz
	@ASAN_OPTIONS=detect_leaks=0 build-sanitize/framzo_fuzz --seconds $(FUZZ_SECONDS) --out build-sanitize/fuzz $(if $(FUZZ_SEED),--seed $(FUZZ_SEED))

deb:
	@bash tools/make-deb.sh $(DEB_BUILD)

# Not part of test: it installs the checkers (lintian among them) and takes
# minutes. CI runs it.
check-deb: deb
	@bash tools/check-deb.sh $(DEB_BUILD)

clean:
	rm -rf build build-sanitize $(DEB_BUILD)
