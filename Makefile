# make run: install what is missing, build, open the window.
# make test: install what is missing, build, run every test headless.
# make package: the Debian package, build/metatags_VERSION_ARCH.deb.

BUILD := build
SANITIZED_BUILD := build-sanitized
FUZZ_BUILD := build-fuzz
JOBS := $(shell nproc)
PACKAGES := cmake make g++ clang libclang-rt-14-dev qt6-base-dev libgl-dev libgtest-dev \
	libbenchmark-dev python3 python3-lxml fonts-wine fonts-liberation2 fonts-dejavu-core \
	dpkg-dev desktop-file-utils appstream xvfb xdotool x11-utils

# A sanitizer report fails the run.
SANITIZE := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
FUZZ_SECONDS ?= 600

.PHONY: run test build sanitized fuzz fuzz-build fuzz-run bench packages picture package

run: build
	./$(BUILD)/metatags

# Every test, then the same tests with AddressSanitizer and UndefinedBehaviorSanitizer,
# a short fuzz run of the scan, and the Debian package built, installed and removed.
test: build sanitized fuzz-build
	$(MAKE) --no-print-directory fuzz-run FUZZ_SECONDS=60
	cd $(SANITIZED_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure
	cd $(BUILD) && ctest --output-on-failure
	tests/package/check-package.sh

sanitized: packages
	cmake -S . -B $(SANITIZED_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)"
	cmake --build $(SANITIZED_BUILD) --parallel $(JOBS)

# make fuzz FUZZ_SECONDS=3600: a longer run; what it finds stays in fuzz-corpus/.
fuzz: fuzz-build
	$(MAKE) --no-print-directory fuzz-run

fuzz-build: packages
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DMETATAGS_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
	cmake --build $(FUZZ_BUILD) --parallel $(JOBS) --target fuzz_scan

fuzz-run:
	mkdir -p fuzz-corpus
	./$(FUZZ_BUILD)/fuzz_scan -max_total_time=$(FUZZ_SECONDS) -dict=tests/fuzz/scan.dict \
	  -print_final_stats=1 fuzz-corpus tests/pages

# Loading, scanning and showing pages of 100 KB to 100 MB, each beside its floor.
bench: packages
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DMETATAGS_BENCH=ON
	cmake --build build-bench --parallel $(JOBS) --target metatags_bench
	/usr/bin/python3 bench/report.py build-bench/bench/metatags_bench

# The picture of the window in the README, after a Search of the sample page.
picture: build
	cmake --build $(BUILD) --target window_picture
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/tests/window_picture tests/pages/sample.html docs/window.png

build: packages
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) --parallel $(JOBS)

# Installs with its dependencies: apt-get install ./build/metatags_*.deb
package: build
	cd $(BUILD) && cpack

# Debian packages: installed with apt-get, through sudo when not root.
packages:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	missing=$$(echo $$missing); \
	[ -z "$$missing" ] && exit 0; \
	if [ "$$(id -u)" = 0 ]; then sudo=; \
	elif command -v sudo >/dev/null; then sudo=sudo; \
	else echo "Missing packages. Install them with: sudo apt-get install -y $$missing"; exit 1; fi; \
	echo "Installing $$missing"; \
	$$sudo apt-get update -qq && $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing \
	  || { echo "Could not install them. Run: sudo apt-get install -y $$missing"; exit 1; }
