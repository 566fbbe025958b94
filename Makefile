# Convenience wrapper around CMake. `make run` and `make test` are all most people need.

BUILD ?= build
WERROR ?= OFF
CMAKE_BUILD_TYPE ?= RelWithDebInfo

# Configured every time so that a changed WERROR or build type takes effect.
define cmake_build
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(CMAKE_BUILD_TYPE) -DQUILLBOX_WERROR=$(WERROR)
	cmake --build $(BUILD)
endef

.PHONY: all build run test bench format clean

all: build

build:
	bash tools/deps.sh run
	$(cmake_build)

run:
	bash tools/deps.sh run
	$(cmake_build)
	@if [ ! -e $(BUILD)/run/senha.scc ]; then \
		mkdir -p $(BUILD)/run && \
		echo "$(BUILD)/bin/quillbox-db create $(BUILD)/run/senha.scc --contacts 12 --seed 1" && \
		$(BUILD)/bin/quillbox-db create $(BUILD)/run/senha.scc --contacts 12 --seed 1; \
	fi
	cd $(BUILD)/run && ../bin/quillbox

test:
	bash tools/deps.sh test
	$(cmake_build)
	ctest --test-dir $(BUILD) --output-on-failure -j2

bench:
	bash tools/deps.sh run
	$(cmake_build)
	cmake --build $(BUILD) --target run-bench

format:
	@command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
	find src tests tools bench -name '*.cpp' -o -name '*.h' | xargs -r clang-format -i

# Keeps $(BUILD)/run: its senha.scc may hold contacts someone typed in.
clean:
	@if [ -d $(BUILD) ]; then \
		find $(BUILD) -mindepth 1 -maxdepth 1 ! -name run -exec rm -rf {} +; \
	fi
