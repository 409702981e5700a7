#!/usr/bin/env bash
# Writes expected/libreoffice/<folder>/<xls|xlsx>/<book>-<sheet>.csv: every sheet of every workbook
# here as LibreOffice Calc's CSV export gives it (UTF-8, every sheet), the expected cells of
# tests/provider/stores/workbook_read_test.cpp. Made with libreoffice-calc-nogui 7.4 (Debian
# 12); run again only when a workbook is added.
set -euo pipefail
cd "$(dirname "$0")/.."
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
for folder in calamine csvkit excelize tealeg; do
  for ext in xls xlsx; do
    ls "$folder"/*."$ext" > /dev/null 2>&1 || continue
    mkdir -p "expected/libreoffice/$folder/$ext"
    HOME="$profile" soffice --headless \
      --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,false,false,false,-1' \
      --outdir "expected/libreoffice/$folder/$ext" "$folder"/*."$ext" > /dev/null 2>&1 || true
  done
done
