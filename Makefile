# Front door: `make demo` and `make test` do all the set-up they need first.
PRESETS := linux-x64 linux-x86 windows-x86
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: setup demo test build lint clean reliability soak bench $(addprefix test-,$(PRESETS)) $(addprefix build-,$(PRESETS))

setup:
	@scripts/setup.sh

define PRESET_RULES
build-$(1): setup
	cmake --preset $(1) >/dev/null
	cmake --build --preset $(1) -j $(JOBS)

test-$(1): build-$(1)
	ctest --preset $(1)
endef
$(foreach p,$(PRESETS),$(eval $(call PRESET_RULES,$(p))))

build: $(addprefix build-,$(PRESETS))

demo: build-linux-x64
	cd build/linux-x64 && bin/dcshost

test: $(addprefix test-,$(PRESETS))

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
	rm -rf build
