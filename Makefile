# make test   bootstrap (when needed), both builds, every test
# make run    the installer's main job against the project's local services
# make bench  every benchmark's figures
QL_DEPS_PREFIX ?= $(HOME)/.cache/quillorane/mingw64
export QL_DEPS_PREFIX

BUILD ?= build
WIN   := $(BUILD)/windows
HOST  := $(BUILD)/host
JOBS  ?= $(shell nproc)
# make run: "window" (the main window) or "silent"
MODE  ?= window

.PHONY: all bootstrap build build-windows build-host test bench run clean

all: build

bootstrap:
	@bash tools/bootstrap.sh

build: build-windows build-host

build-windows: bootstrap
	@[ -f $(WIN)/build.ninja ] || cmake -S . -B $(WIN) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake -DQL_DEPS_PREFIX=$(QL_DEPS_PREFIX) \
	  -DQL_HOST_BUILD_DIR=$(abspath $(HOST))
	cmake --build $(WIN) -j $(JOBS)

build-host: bootstrap
	@[ -f $(HOST)/build.ninja ] || cmake -S . -B $(HOST) -G Ninja
	cmake --build $(HOST) -j $(JOBS)

test: build
	@bash tools/run-tests.sh $(HOST) $(WIN) $(JOBS)

bench: build
	@bash tools/run-bench.sh $(HOST) $(WIN)

run: build
	@QL_RUN_MODE=$(MODE) bash tools/run-installer.sh $(HOST) $(WIN)

clean:
	rm -rf $(BUILD)
