# Entry points: `make run` starts the developer host with the plug-in, `make test` builds and tests.
PRESETS := default asan m32
PORT ?= 8090

.PHONY: deps build test run ci bench clean $(addprefix ci-,$(PRESETS))

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

test: build
	ctest --preset default

run: build
	build/default/devhost/orb-host build/default/plugins/ark-simple-dialog-messages/orb-be-ark-simple-dialog-messages.so

bench: deps
	scripts/install-deps.sh --bench-peers
	cmake --preset default
	cmake --build --preset default
	@for b in build/default/bench/*_bench; do echo "== $$b"; $$b; done

ci: deps $(addprefix ci-,$(PRESETS))

$(addprefix ci-,$(PRESETS)): ci-%:
	cmake --preset $*
	cmake --build --preset $*
	ctest --preset $*

clean:
	rm -rf build
