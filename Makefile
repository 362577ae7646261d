# Front door: `make demo` and `make test` do all the set-up they need first.
PRESETS := linux-x64 linux-x86 windows-x86
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: setup demo test build lint clean reliability soak bench package $(addprefix test-,$(PRESETS)) $(addprefix build-,$(PRESETS))

setup:
	@scripts/setup.sh

# Builds are quiet: their output goes to build/PRESET/build.log and is shown
# only when a build fails.
define PRESET_RULES
build-$(1): setup
	@JOBS=$(JOBS) scripts/build.sh $(1)

test-$(1): setup
	@JOBS=$(JOBS) scripts/test.sh $(1)
endef
$(foreach p,$(PRESETS),$(eval $(call PRESET_RULES,$(p))))

build: $(addprefix build-,$(PRESETS))

demo: build-linux-x64
	@cd build/linux-x64 && bin/dcshost

# Every target built and tested, then one summary line per target.
test: setup
	@JOBS=$(JOBS) scripts/test.sh $(PRESETS)

# Release packages of the three targets in dist/, with SHA256SUMS.
package: setup
	@JOBS=$(JOBS) scripts/package.sh

lint: build-linux-x64
	scripts/lint.sh

# The sanitizer suite, valgrind, the fuzz corpus replay and a bounded fuzz
# run, and the coverage report.
reliability: setup
	scripts/reliability.sh

# The million-step soak test at full capacity (long; not part of `make test`).
soak: setup
	scripts/soak.sh

# The benchmarks and the instruction counts of one step.
bench: setup
	scripts/bench.sh

clean:
	rm -rf build dist
