# The README's commands. Each installs what is missing, configures and builds.
BUILD ?= build
SANITIZE ?= 0
ifeq ($(SANITIZE),1)
  BUILD := build-sanitize
  CMAKE_FLAGS += -DFRAMZO_SANITIZE=ON
endif
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test bench clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash tools/run.sh $(BUILD)/framzo

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@bash tools/bench.sh $(BUILD)

clean:
	rm -rf build build-sanitize
