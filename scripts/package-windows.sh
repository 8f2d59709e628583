#!/usr/bin/env bash
# Cross-builds the Windows build (scripts/build-windows.sh) and packs
# out/medley-<version>-win64.zip: bin\medley.dll, bin\GIPSVoiceEngineDLL.dll,
# bin\medley.tlb, bin\medley.exe, include\medley\ and REGISTER.txt (regsvr32).
# Prints the zip's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh >/dev/null
mkdir -p out
(cd build-win && cpack -G ZIP -B "$PWD/../out" >/dev/null)
rm -rf out/_CPack_Packages
ls "$PWD"/out/medley-*-win64.zip | tail -n1
