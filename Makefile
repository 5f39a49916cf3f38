# make run: install what is missing, build, open the window.
# make test: install what is missing, build, run every test headless.

BUILD := build
PACKAGES := cmake make g++ qt6-base-dev libgl-dev libgtest-dev fonts-wine fonts-liberation2

.PHONY: run test build packages picture

run: build
	./$(BUILD)/metatags

test: build
	cd $(BUILD) && ctest --output-on-failure

# The picture of the window in the README, after a Search of the sample page.
picture: build
	cmake --build $(BUILD) --target window_picture
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/tests/window_picture tests/pages/sample.html docs/window.png

build: packages
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) --parallel

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
