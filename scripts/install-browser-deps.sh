#!/usr/bin/env bash
# Installs what the console's browser test needs, and only what is missing: Debian's Chromium,
# Node.js with npm, and playwright-core (pinned in tests/browser/package-lock.json) through npm ci.
# Playwright is pointed at /usr/bin/chromium and never downloads a browser of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
[[ -x /usr/bin/chromium ]] || missing+=(chromium fonts-dejavu-core)
command -v node > /dev/null || missing+=(nodejs)
command -v npm > /dev/null || missing+=(npm)

if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [[ ! -f tests/browser/node_modules/playwright-core/package.json ]]; then
  # No browser download happens: playwright-core carries none and fetches none on install.
  (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
