# make run: install what is missing, build, open the window.
# make test: install what is missing, build, run every test headless.
# make package: the Debian package, build/metatags_VERSION_ARCH.deb.

# The builds are CMake's presets (CMakePresets.json): dev, sanitizers, fuzz and bench.
JOBS := $(shell nproc)
PACKAGES := cmake make g++ clang libclang-rt-14-dev qt6-base-dev libicu-dev libgl-dev libgtest-dev \
	libbenchmark-dev python3 python3-lxml fonts-liberation2 fonts-dejavu-core \
	fonts-droid-fallback fonts-noto-core fonts-noto-color-emoji \
	dpkg-dev file desktop-file-utils appstream xvfb xauth xdotool x11-utils \
	python3-pyatspi at-spi2-core dbus-daemon
# A real screen reader for the tests, without what its packages recommend (a sound server, a
# braille daemon): it speaks into a null sound device.
SPEECH_PACKAGES := orca speech-dispatcher speech-dispatcher-espeak-ng espeak-ng openbox
FUZZ_SECONDS ?= 600

.PHONY: run test build sanitized fuzz fuzz-build fuzz-run bench packages picture package

run: build
	./build/metatags

# Every test, then the same tests with AddressSanitizer and UndefinedBehaviorSanitizer,
# a short fuzz run of the scan, the window read through AT-SPI as a screen reader reads it and
# heard through a real one, and the Debian package built, installed and removed.
test: build sanitized fuzz-build
	$(MAKE) --no-print-directory fuzz-run FUZZ_SECONDS=60
	ctest --preset sanitizers
	ctest --preset dev
	tests/accessibility/check-accessibility.sh
	tests/accessibility/check-speech.sh
	tests/package/check-package.sh

# A sanitizer report fails the run.
sanitized: packages
	cmake --preset sanitizers
	cmake --build --preset sanitizers --parallel $(JOBS)

# make fuzz FUZZ_SECONDS=3600: a longer run; what it finds stays in fuzz-corpus/.
fuzz: fuzz-build
	$(MAKE) --no-print-directory fuzz-run

fuzz-build: packages
	cmake --preset fuzz
	cmake --build --preset fuzz --parallel $(JOBS)

fuzz-run:
	mkdir -p fuzz-corpus
	./build-fuzz/tests/fuzz/fuzz_scan -max_total_time=$(FUZZ_SECONDS) -dict=tests/fuzz/scan.dict \
	  -print_final_stats=1 fuzz-corpus tests/pages

# Loading, scanning and showing pages of 100 KB to 100 MB, each beside its floor, and what every
# interaction with the page box takes on pages of up to 256 MiB.
bench: packages
	cmake --preset bench
	cmake --build --preset bench --parallel $(JOBS)
	/usr/bin/python3 bench/report.py build-bench/bench/metatags_bench

# The picture of the window in the README, after a Search of the sample page.
picture: build
	cmake --build --preset dev --target window_picture
	QT_QPA_PLATFORM=offscreen ./build/tests/window_picture tests/pages/sample.html docs/window.png

build: packages
	cmake --preset dev
	cmake --build --preset dev --parallel $(JOBS)

# Installs with its dependencies: apt-get install ./build/metatags_*.deb
package: build
	cd build && cpack

# Debian packages: installed with apt-get, through sudo when not root.
packages:
	@missing() { for p in "$$@"; do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done; }; \
	missing=$$(echo $$(missing $(PACKAGES))); \
	speech=$$(echo $$(missing $(SPEECH_PACKAGES))); \
	[ -z "$$missing$$speech" ] && exit 0; \
	if [ "$$(id -u)" = 0 ]; then sudo=; \
	elif command -v sudo >/dev/null; then sudo=sudo; \
	else echo "Missing packages. Install them with: sudo apt-get install -y $$missing; sudo apt-get install -y --no-install-recommends $$speech"; exit 1; fi; \
	echo "Installing $$missing $$speech"; \
	$$sudo apt-get update -qq && \
	{ [ -z "$$missing" ] || $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; } && \
	{ [ -z "$$speech" ] || $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$speech; } \
	  || { echo "Could not install them. Run: sudo apt-get install -y $$missing; sudo apt-get install -y --no-install-recommends $$speech"; exit 1; }
