# Front door: `make demo` and `make test` do all the set-up they need first.
PRESETS := linux-x64 linux-x86 windows-x86
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: setup demo test build lint clean $(addprefix test-,$(PRESETS)) $(addprefix build-,$(PRESETS))

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
	build/linux-x64/bin/dcsdemo

test: $(addprefix test-,$(PRESETS))

lint: build-linux-x64
	scripts/lint.sh

clean:
	rm -rf build
