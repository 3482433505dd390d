# Entry points: `make run` starts the developer host with the plug-in, `make test` builds and tests.
PRESETS := default asan m32
PORT ?= 8090

.PHONY: deps build test run ci ci-win32 ci-tsan bench bench-m32 win32 fuzz fuzz-smoke format tidy clean $(addprefix ci-,$(PRESETS))

deps:
	@scripts/install-deps.sh
	@scripts/install-browser-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

test: build
	ctest --preset default

URL := http://127.0.0.1:$(PORT)
run: build
	@echo "orb-host: the plug-in at $(URL) with devhost/scenarios/demo.yaml; Ctrl-C stops it."
	@echo "Open $(URL)/ in a browser for the console, or try:"
	@echo "  curl -s $(URL)/ark-simple-dialog-messages/v1/messages"
	@echo "  curl -sN $(URL)/events    # in a second terminal, then:"
	@echo "  curl -s -X DELETE $(URL)/ark-simple-dialog-messages/v1/messages/0"
	build/default/devhost/orb-host serve \
	  --plugin build/default/plugins/ark-simple-dialog-messages/orb-be-ark-simple-dialog-messages.so \
	  --listen 127.0.0.1:$(PORT) --scenario devhost/scenarios/demo.yaml

# Each program runs every benchmark three times; the ratio tables at their ends take the best of
# the three, as this machine is shared. BENCH_ARGS=... passes other Google Benchmark flags.
BENCH_ARGS ?= --benchmark_repetitions=3

bench: deps
	scripts/install-deps.sh --bench-peers
	cmake --preset default
	cmake --build --preset default
	@for b in build/default/bench/*_bench; do echo "== $$b"; $$b $(BENCH_ARGS); done

# The same programs built for 32-bit x86 (the 32-bit Google Benchmark comes with --bench-peers).
bench-m32: deps
	scripts/install-deps.sh --bench-peers
	cmake --preset m32-bench
	cmake --build --preset m32-bench
	@for b in build/m32-bench/bench/*_bench; do echo "== $$b"; $$b $(BENCH_ARGS); done

# Each configuration's time is printed, so a slow one shows.
ci: deps $(addprefix ci-,$(PRESETS)) ci-tsan ci-win32 fuzz-smoke

# ThreadSanitizer over the code that threads share: the logger and its targets, the registry, the
# page allocator, the host loop and event stream, the platform's lock, and the HTTP server.
TSAN_TARGETS := logger_threads_test binding_registry_test page_allocator_test host_loop_test platform_test \
                orb_host_serve_test
TSAN_TESTS := ^(LoggerThreads|BindingRegistry|PageAllocator|HostLoop|EventStream|Platform|OrbHostServe)\.
ci-tsan:
	@start=$$(date +%s); \
	cmake --preset tsan && cmake --build --preset tsan --target $(TSAN_TARGETS) && \
	ctest --preset tsan -R '$(TSAN_TESTS)' && \
	echo "ci-tsan: built and tested in $$(( $$(date +%s) - start )) s"

# The 32-bit Windows DLL, cross-built with MinGW-w64, and its tests under Wine. One Wine server
# serves the whole run (starting Wine for each test costs seconds); its services are started here
# with no output attached, since a service that inherits a test's output holds ctest until timeout.
WINE_ENV := WINEDEBUG=-all WINEPREFIX=$(CURDIR)/build/win32/wineprefix
win32 ci-win32:
	scripts/install-deps.sh --win32
	@start=$$(date +%s); \
	cmake --preset win32 && cmake --build --preset win32 || exit 1; \
	mkdir -p build/win32/wineprefix; \
	$(WINE_ENV) wineserver -p; \
	$(WINE_ENV) wineboot </dev/null >/dev/null 2>&1; \
	$(WINE_ENV) ctest --preset win32; status=$$?; \
	$(WINE_ENV) wineserver -k; \
	echo "win32: built and tested in $$(( $$(date +%s) - start )) s"; exit $$status

$(addprefix ci-,$(PRESETS)): ci-%:
	@start=$$(date +%s); \
	cmake --preset $* && cmake --build --preset $* && ctest --preset $* && \
	echo "ci-$*: built and tested in $$(( $$(date +%s) - start )) s"

# Every fuzz target for FUZZ_SECONDS each (clang, libFuzzer, ASan and UBSan: the fuzz preset),
# then a table of executions, executions per second and coverage. fuzz-smoke is the bounded run
# for CI. The corpora also run as ordinary tests (FuzzReplay.<target>) in every configuration.
FUZZ_SECONDS ?= 60
fuzz:
	scripts/install-deps.sh --fuzz
	@start=$$(date +%s); \
	cmake --preset fuzz && cmake --build --preset fuzz && FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh && \
	echo "fuzz: built and run in $$(( $$(date +%s) - start )) s"

fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=20

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: build
	run-clang-tidy -p build/default -quiet -j 2 'sdk/|devhost/|plugins/|tests/|bench/'

clean:
	rm -rf build
