# The two set-up commands: `make run` and `make test`. Both install what a
# fresh Debian 12 machine is missing, then build with CMake.

FILE ?= examples/example.png
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

PACKAGES := cmake make g++ pkg-config python3 libpng-dev libturbojpeg0-dev zlib1g-dev libgtest-dev libgmock-dev \
            libbenchmark-dev libcli11-dev nlohmann-json3-dev qt6-base-dev \
            fonts-wqy-zenhei qt6-translations-l10n \
            pybind11-dev python3-dev python3-numpy python3-pil python3-pytest python3-dask python3-distributed help2man
FUZZ_PACKAGES := cmake make pkg-config libpng-dev libturbojpeg0-dev zlib1g-dev clang libclang-rt-14-dev
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := bmp_loader png_loader jpeg_loader decode_picture codeword_layer read_symbols

RELEASE_DIR := build/release
PACKAGE_DIR := build/package
TEST_DIR := build/asan
TSAN_DIR := build/tsan
# The Python module is built for, and tested with, Debian's interpreter, even
# where another python3 comes first on the PATH.
PYTHON ?= /usr/bin/python3
PYTHON_FLAGS := -DTERNWICK_PYTHON=ON -DPython3_EXECUTABLE=$(PYTHON)
BENCH_DIR := build/bench
FUZZ_DIR := build/fuzz

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test tsan deps build release bench trace-diff fuzz fuzz-deps fuzz-build fuzz-merge clean package-check

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
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DTERNWICK_TESTS=OFF -DTERNWICK_BENCH=OFF $(PYTHON_FLAGS)
	cmake --build $(RELEASE_DIR) -j $(JOBS)

build: release

run: release
	./$(RELEASE_DIR)/cli/ternwick "$(FILE)"

test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DTERNWICK_SANITIZE=ON -DTERNWICK_BENCH=OFF $(PYTHON_FLAGS)
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory package-check

# The library as a package: installed into a temporary prefix, then the
# example program built against it with find_package and with pkg-config,
# and run on the bundled picture.
package-check: deps
	rm -rf $(PACKAGE_DIR)
	cmake -S . -B $(PACKAGE_DIR)/build -DCMAKE_BUILD_TYPE=Release -DTERNWICK_TESTS=OFF -DTERNWICK_BENCH=OFF \
	  -DTERNWICK_GUI=OFF
	cmake --build $(PACKAGE_DIR)/build -j $(JOBS) --target ternwick_core
	cmake --install $(PACKAGE_DIR)/build --component library --prefix $(CURDIR)/$(PACKAGE_DIR)/prefix
	cmake -S examples/library -B $(PACKAGE_DIR)/example -DCMAKE_PREFIX_PATH=$(CURDIR)/$(PACKAGE_DIR)/prefix
	cmake --build $(PACKAGE_DIR)/example
	./$(PACKAGE_DIR)/example/read_symbols examples/example.png
	PKG_CONFIG_PATH=$$(dirname $$(find $(CURDIR)/$(PACKAGE_DIR)/prefix -name ternwick.pc)) && export PKG_CONFIG_PATH && \
	  g++ -std=c++20 examples/library/read_symbols.cpp $$(pkg-config --cflags ternwick) \
	    $$(pkg-config --libs --static ternwick) -o $(PACKAGE_DIR)/read_symbols_pkg_config
	./$(PACKAGE_DIR)/read_symbols_pkg_config examples/example.png

# The concurrency test under ThreadSanitizer, in a build of its own.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERNWICK_THREAD_SANITIZE=ON \
	  -DTERNWICK_GUI=OFF -DTERNWICK_BENCH=OFF
	cmake --build $(TSAN_DIR) -j $(JOBS) --target ternwick_concurrency_test
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ./$(TSAN_DIR)/tests/ternwick_concurrency_test

# The dialog's program test (the file-open dialog, Enter at start, the
# command-line file) GUI_REPEAT times in a row, in a release build and in the
# sanitizer build, on Qt's offscreen platform and on an X server (Xvfb).
GUI_REPEAT ?= 20
GUI_REPEAT_PACKAGES := xvfb xauth
GUI_RELEASE_DIR := build/gui-release
GUI_REPEAT_TARGET := ternwick_gui_decoder_app_test
.PHONY: test-gui-repeat
GUI_SANITIZER_ENV := \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:suppressions=$(CURDIR)/tests/gui/asan_suppressions.txt \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/gui/leak_suppressions.txt:print_suppressions=0

test-gui-repeat: deps
	$(call install_missing,$(GUI_REPEAT_PACKAGES))
	cmake -S . -B $(GUI_RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DTERNWICK_BENCH=OFF
	cmake --build $(GUI_RELEASE_DIR) -j $(JOBS) --target $(GUI_REPEAT_TARGET)
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DTERNWICK_SANITIZE=ON -DTERNWICK_BENCH=OFF $(PYTHON_FLAGS)
	cmake --build $(TEST_DIR) -j $(JOBS) --target $(GUI_REPEAT_TARGET)
	@status=0; for dir in $(GUI_RELEASE_DIR) $(TEST_DIR); do \
	  program=$$dir/tests/gui/$(GUI_REPEAT_TARGET); \
	  env $(GUI_SANITIZER_ENV) QT_QPA_PLATFORM=offscreen \
	    tests/gui/repeat_test.sh $$program $(GUI_REPEAT) "$$dir, offscreen" || status=1; \
	  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" env $(GUI_SANITIZER_ENV) QT_QPA_PLATFORM=xcb \
	    tests/gui/repeat_test.sh $$program $(GUI_REPEAT) "$$dir, Xvfb" || status=1; \
	done; exit $$status

# Benchmarks and the decode-rate program, in a release build of their own.
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DTERNWICK_TESTS=OFF -DTERNWICK_GUI=OFF -DTERNWICK_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)

# The trace-diff check over the whole generated picture set (the tests run a
# slice): every decoded result and traced value against the recorded reference.
trace-diff: deps
	cmake -S . -B build/trace-diff -DCMAKE_BUILD_TYPE=Release -DTERNWICK_GUI=OFF -DTERNWICK_BENCH=OFF
	cmake --build build/trace-diff -j $(JOBS) --target trace_diff
	./build/trace-diff/tests/trace_diff

# Fuzzing with libFuzzer (clang, AddressSanitizer, UndefinedBehaviorSanitizer):
# every target runs FUZZ_SECONDS seconds from the committed corpus and
# reproducers; what it adds to the corpus stays in build/fuzz/corpus, what it
# finds goes to build/fuzz/findings/<target>/, and make fails if it found
# anything.
fuzz-deps:
	$(call install_missing,$(FUZZ_PACKAGES))

fuzz-build: fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERNWICK_FUZZ=ON \
	  -DTERNWICK_SANITIZE=ON -DTERNWICK_TESTS=OFF -DTERNWICK_BENCH=OFF -DTERNWICK_GUI=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)

fuzz_options_bmp_loader := -dict=fuzz/ternwick.dict -max_len=16384
# PNG inputs up to 1 MB, so that compressed data far beyond the picture is
# reached, and a second per input at most: a slow input is a finding.
fuzz_options_png_loader := -dict=fuzz/ternwick.dict -max_len=1048576 -timeout=1
fuzz_options_jpeg_loader := -dict=fuzz/ternwick.dict -max_len=16384 -rss_limit_mb=4096
fuzz_options_decode_picture := -max_len=16386
fuzz_options_codeword_layer := -max_len=4096
fuzz_options_read_symbols := -max_len=65540

fuzz: fuzz-build
	@status=0; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/findings/$$t; \
	  case $$t in \
	    bmp_loader) options="$(fuzz_options_bmp_loader)";; \
	    png_loader) options="$(fuzz_options_png_loader)";; \
	    jpeg_loader) options="$(fuzz_options_jpeg_loader)";; \
	    decode_picture) options="$(fuzz_options_decode_picture)";; \
	    codeword_layer) options="$(fuzz_options_codeword_layer)";; \
	    read_symbols) options="$(fuzz_options_read_symbols)";; \
	  esac; \
	  reproducers=""; [ -d fuzz/reproducers/$$t ] && reproducers=fuzz/reproducers/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_DIR)/fuzz/fuzz_$$t -timeout=30 $$options -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/findings/$$t/ $(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t $$reproducers \
	    || status=1; \
	done; \
	if [ $$status -ne 0 ]; then echo "fuzzing found something: see $(FUZZ_DIR)/findings"; fi; exit $$status

# Folds what fuzzing added into the committed corpora, keeping the fewest and
# smallest inputs that together reach every branch reached so far (hit counts
# are not told apart, which keeps the committed corpora small).
fuzz-merge: fuzz-build
	@for t in $(FUZZ_TARGETS); do \
	  rm -rf fuzz/corpus/$$t.merged && mkdir -p fuzz/corpus/$$t.merged $(FUZZ_DIR)/corpus/$$t && \
	  $(FUZZ_DIR)/fuzz/fuzz_$$t -merge=1 -use_counters=0 \
	    fuzz/corpus/$$t.merged fuzz/corpus/$$t $(FUZZ_DIR)/corpus/$$t && \
	  rm -rf fuzz/corpus/$$t && mv fuzz/corpus/$$t.merged fuzz/corpus/$$t; \
	done

clean:
	rm -rf build
