#!/usr/bin/env bash
# Installs what the console's browser test needs, and only what is missing: Debian's Chromium,
# Node.js with npm, and playwright-core (pinned in tests/browser/package-lock.json) through npm ci.
# Playwright is pointed at /usr/bin/chromium and never downloads a browser of its own.
# Packages are installed as root or through sudo that asks for no password; otherwise the script
# names them and goes on: the browser test then says it is skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
[[ -x /usr/bin/chromium ]] || missing+=(chromium fonts-dejavu-core)
command -v node > /dev/null || missing+=(nodejs)
command -v npm > /dev/null || missing+=(npm)

if [[ ${#missing[@]} -gt 0 ]]; then
  as_root=()
  if [[ $(id -u) -ne 0 ]]; then
    if sudo -n true 2>/dev/null; then as_root=(sudo); else as_root=(false); fi
  fi
  if [[ "${as_root[*]}" == false ]]; then
    echo "Missing for the browser test: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get update && sudo apt-get install ${missing[*]}" >&2
    exit 0
  fi
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if command -v npm > /dev/null && [[ ! -f tests/browser/node_modules/playwright-core/package.json ]]; then
  # No browser download happens: playwright-core carries none and fetches none on install.
  (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
