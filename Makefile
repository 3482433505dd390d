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

URL := http://127.0.0.1:$(PORT)
run: build
	@echo "orb-host: the plug-in at $(URL) with devhost/scenarios/demo.yaml; Ctrl-C stops it. Try:"
	@echo "  curl -s $(URL)/ark-simple-dialog-messages/v1/messages"
	@echo "  curl -sN $(URL)/events    # in a second terminal, then:"
	@echo "  curl -s -X DELETE $(URL)/ark-simple-dialog-messages/v1/messages/0"
	build/default/devhost/orb-host serve \
	  --plugin build/default/plugins/ark-simple-dialog-messages/orb-be-ark-simple-dialog-messages.so \
	  --listen 127.0.0.1:$(PORT) --scenario devhost/scenarios/demo.yaml

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
