# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# The two commands a newcomer types: `make run` and `make test`.
# Both install the Debian packages that are missing, configure and build first.

# Packages the build, the program and the tests need on a fresh Debian 12 machine. The libraries
# and tools ZEB is built with are the Debian package's Build-Depends, read from debian/control so
# that the two lists are one; the compiler, make and GoogleTest (the package builds no tests) join.
# (One package a line there: each line's first word is taken.)
BUILD_DEPS := g++ make libgtest-dev $(shell sed -n '/^Build-Depends:/,/^[A-Z]/{s/^Build-Depends://; \
	/^[A-Z]/d; s/^ *//; s/[ ,].*//; /^debhelper-compat$$/d; p}' debian/control)
RUN_DEPS   := xterm
# make package: dpkg-buildpackage and debhelper build the Debian package, lintian judges it.
PACKAGE_DEPS := dpkg-dev debhelper lintian
# The tests also validate the licence headers, the desktop entry, the AppStream file and the fleet
# play without running it.
TEST_DEPS  := xvfb xauth x11-utils xdotool socat inetutils-telnetd sqlite3 imagemagick groff-base \
	reuse desktop-file-utils appstream ansible-core ansible-lint $(PACKAGE_DEPS)
# make fleet-check runs the fleet play on this machine: its apt task needs python3-apt, its become
# sudo.
FLEET_DEPS := ansible-core python3-apt sudo
# Optional: the Windows build of the registry contract suite, cross-built and run under Wine. When
# these cannot be installed, make test goes on and the test store_contract_wine reports a skip.
WINE_TEST_DEPS := wine64 g++-mingw-w64-x86-64-posix
# make fuzz only: clang and its libFuzzer runtime.
FUZZ_DEPS := clang libclang-rt-14-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)

BUILD_DIR ?= build
TEST_DIR  ?= build-test
FUZZ_DIR  ?= build-fuzz
PACKAGE_DIR ?= build-deb
# The machine-wide store that make fleet-check builds the package for: the fleet play's.
FLEET_STORE := $(shell sed -n 's/^ *zeb_store: //p' deploy/zeb-fleet.yml)
# make fuzz runs each fuzz target this long; FUZZ_TARGETS=<names> runs only those.
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?=

.PHONY: run test build build-test deps deps-test install-packages install package fleet-check \
	clean bench screenshots fuzz mutants

# Installs only the packages that are not installed yet, so a prepared machine pays nothing.
define install_missing
	@missing=$$(for p in $(1); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null \
		| grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing: $$missing"; \
		$(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(BUILD_DEPS) $(RUN_DEPS))

deps-test: deps
	$(call install_missing,$(TEST_DEPS))
	@$(MAKE) --no-print-directory install-packages PACKAGES="$(WINE_TEST_DEPS)" || \
		echo "NOTE: could not install $(WINE_TEST_DEPS); store_contract_wine will be skipped."

install-packages:
	$(call install_missing,$(PACKAGES))

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/zeb $(ARGS)

# The test build runs under AddressSanitizer and UndefinedBehaviorSanitizer.
$(TEST_DIR)/CMakeCache.txt: | deps-test
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DZEB_SANITIZE=ON

build-test: deps-test $(TEST_DIR)/CMakeCache.txt
	cmake --build $(TEST_DIR) -j $(JOBS)

test: build-test
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

# libFuzzer over the parsers (tests/fuzz): a clang build of its own, each target run FUZZ_SECONDS,
# new interesting inputs merged into tests/fuzz/corpus/ (commit them).
$(FUZZ_DIR)/CMakeCache.txt: | deps
	$(call install_missing,$(FUZZ_DEPS))
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEB_FUZZ=ON

fuzz: deps $(FUZZ_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_DIR) --target fuzz_targets -j $(JOBS)
	devtools/run_fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: build
	cmake --build $(BUILD_DIR) --target benches -j $(JOBS)
	@for b in $(BUILD_DIR)/bin/bench_*; do echo "== $$b"; $$b || exit 1; done

install: build
	cmake --install $(BUILD_DIR) $(if $(PREFIX),--prefix $(PREFIX))

# The Debian package a fleet installs (README: Provisioning a fleet), built by debhelper from
# debian/ into $(PACKAGE_DIR) (devtools/build_package.sh).
# `make package ZEB_DEFAULT_REGISTRY=/var/lib/zeb/registry.db` builds it for a machine-wide store;
# without it, each user has a store of their own.
package: deps
	$(call install_missing,$(PACKAGE_DEPS))
	ZEB_DEFAULT_REGISTRY=$(ZEB_DEFAULT_REGISTRY) JOBS=$(JOBS) devtools/build_package.sh $(PACKAGE_DIR)

# Runs the fleet play for real on this machine, as root: installs ZEB, makes the machine-wide store
# and imports the sample host list; then checks what a user may do and that a second run changes
# nothing (devtools/fleet_check.sh). The machine stays provisioned: apt purge zeb; rm -r /var/lib/zeb.
fleet-check:
	@$(MAKE) --no-print-directory package ZEB_DEFAULT_REGISTRY=$(FLEET_STORE)
	$(call install_missing,$(FLEET_DEPS))
	devtools/fleet_check.sh $(PACKAGE_DIR)/zeb_*.deb

# Renews the README's pictures from the real dialogs (docs/screenshots.sh).
screenshots: build
	$(call install_missing,xvfb xdotool imagemagick)
	docs/screenshots.sh $(BUILD_DIR)/bin docs/screenshots

# A seeded sample of mutants of the production sources against the suite (devtools/mutants.py);
# MUTANTS_ARGS passes --seed, --count or --only, e.g. make mutants MUTANTS_ARGS="--only store/".
mutants: deps-test
	python3 devtools/mutants.py $(MUTANTS_ARGS)

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) $(FUZZ_DIR) $(PACKAGE_DIR) build-mutants
