# Convenience wrapper around CMake. `make run` and `make test` are all most people need.

BUILD ?= build
WERROR ?= OFF
CMAKE_BUILD_TYPE ?= RelWithDebInfo
# Where `make install` puts Quillbox; DESTDIR=dir stages it below another root.
PREFIX ?= /usr/local

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
	bash tools/deps.sh bench
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

.PHONY: install package screenshots

install:
	bash tools/deps.sh run
	$(cmake_build)
	# Folders 0755 whatever the caller's umask; the files' modes are set by the install rules.
	umask 022 && cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD), e.g. $(BUILD)/quillbox_3.1_amd64.deb.
package:
	bash tools/deps.sh package
	$(cmake_build)
	cd $(BUILD) && cpack -G DEB

# The real program on a private X server, photographed into docs/.
screenshots:
	bash tools/deps.sh screenshots
	$(cmake_build)
	bash tools/make-screenshots.sh $(BUILD) docs

.PHONY: test-sanitizers fuzz

SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 300
# Any report aborts its process. AddressSanitizer's and LeakSanitizer's also go to files, so that
# one from a helper process whose status no test looks at still fails the run (UBSan next to
# ASan writes to standard error whatever it is told).
SANITIZER_ENV = \
	ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:print_stacktrace=1:log_path=$(CURDIR)/$(1)/report \
	UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
# Shows the reports under $(1) and fails when there is any.
check_reports = if ls $(1)/report* >/dev/null 2>&1; then cat $(1)/report* >&2; \
	echo "sanitizer reports: $$(ls $(1)/report* | wc -l), shown above" >&2; exit 1; fi

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer (Qt itself is
# not instrumented); any report fails.
test-sanitizers:
	bash tools/deps.sh sanitize
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUILLBOX_SANITIZE=ON -DQUILLBOX_BENCH=OFF
	cmake --build $(SANITIZE_BUILD)
	rm -rf $(SANITIZE_BUILD)/reports && mkdir -p $(SANITIZE_BUILD)/reports
	status=0; $(call SANITIZER_ENV,$(SANITIZE_BUILD)/reports) \
		ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j2 || status=$$?; \
		$(call check_reports,$(SANITIZE_BUILD)/reports); exit $$status

# libFuzzer on each target for its share of FUZZ_SECONDS: the load steps, the vCard and CSV
# readers, export followed by import, a server's multistatus answer, and the card edit. Each
# starts from its seeds in fuzz/corpus/<target> and every input that once found a fault
# (fuzz/regressions); new inputs collect in $(FUZZ_BUILD)/corpus/<target>. A crash is written
# to $(FUZZ_BUILD)/crashes and fails the run.
FUZZ_TARGETS = loadsteps vcard csv roundtrip multistatus cardedit
fuzz:
	bash tools/deps.sh fuzz
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DQUILLBOX_FUZZ=ON -DQUILLBOX_TESTS=OFF -DQUILLBOX_BENCH=OFF
	cmake --build $(FUZZ_BUILD) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	rm -rf $(FUZZ_BUILD)/reports && mkdir -p $(FUZZ_BUILD)/crashes $(FUZZ_BUILD)/reports
	status=0; for target in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_BUILD)/corpus/$$target; \
		dict=fuzz/$$target.dict; [ -f $$dict ] || dict=; \
		regressions=fuzz/regressions; [ $$target = loadsteps ] || regressions=$$regressions/$$target; \
		[ -d $$regressions ] || regressions=; \
		echo "fuzzing $$target for $$(( $(FUZZ_SECONDS) / $(words $(FUZZ_TARGETS)) )) s"; \
		$(call SANITIZER_ENV,$(FUZZ_BUILD)/reports) $(FUZZ_BUILD)/bin/fuzz_$$target \
			-max_total_time=$$(( $(FUZZ_SECONDS) / $(words $(FUZZ_TARGETS)) )) -max_len=16384 \
			-timeout=30 -rss_limit_mb=4096 $${dict:+-dict=$$dict} -print_final_stats=1 \
			-artifact_prefix=$(CURDIR)/$(FUZZ_BUILD)/crashes/$$target- \
			$(FUZZ_BUILD)/corpus/$$target fuzz/corpus/$$target $$regressions || status=1; \
	done; $(call check_reports,$(FUZZ_BUILD)/reports); exit $$status
