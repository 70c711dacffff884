# The two set-up commands: `make run` and `make test`. Both install what a
# fresh Debian 12 machine is missing, then build with CMake.

FILE ?= examples/example.png
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

PACKAGES := cmake make g++ pkg-config libpng-dev libgtest-dev libgmock-dev \
            libbenchmark-dev libcli11-dev nlohmann-json3-dev qt6-base-dev \
            fonts-wqy-zenhei qt6-translations-l10n
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_SECONDS ?= 60

RELEASE_DIR := build/release
TEST_DIR := build/asan
BENCH_DIR := build/bench
FUZZ_DIR := build/fuzz

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test deps build release bench fuzz fuzz-deps clean

# Installs, without recommended extras, only the packages dpkg does not have.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

release: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DTERNWICK_TESTS=OFF -DTERNWICK_BENCH=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

build: release

run: release
	./$(RELEASE_DIR)/cli/ternwick "$(FILE)"

test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DTERNWICK_SANITIZE=ON -DTERNWICK_BENCH=OFF
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS)

# Benchmarks and the decode-rate program, in a release build of their own.
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DTERNWICK_TESTS=OFF -DTERNWICK_GUI=OFF -DTERNWICK_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)

clean:
	rm -rf build
