#!/usr/bin/env bash
# The main job: installs the packages the build needs, builds the library, vornsql and the
# bundled sample database, installs them into build/stage, and runs the installed vornsql on
# a copy of the sample, showing its tables and rows.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)" --target vornoledb vornoledb_static vornsql sample_database
stage="$PWD/build/stage"
cmake --install build --prefix "$stage" > /dev/null
vornsql="$stage/bin/vornsql"

# The sample is copied to a folder of its own: vornsql writes beside the database it opens.
work="$PWD/build/sample"
mkdir -p "$work"
cp "$stage/share/vornoledb/sample.db" "$work/plant.db"

# Shows the command line, then runs it in the sample's folder.
run() {
  printf '\n$ vornsql'
  for arg in "$@"; do
    if [[ "$arg" =~ [[:space:]] ]]; then printf ' "%s"' "$arg"; else printf ' %s' "$arg"; fi
  done
  printf '\n'
  (cd "$work" && "$vornsql" "$@")
}
"$vornsql" --version
run --format table plant.db tables
run --format table plant.db "SELECT p.PartNo, p.Description, s.Name AS Supplier, p.UnitPrice, p.InStock FROM Parts AS p INNER JOIN Suppliers AS s ON s.SupplierID = p.SupplierID WHERE p.UnitPrice > 20 ORDER BY p.UnitPrice DESC"
run --format table plant.db "SELECT * FROM OrderTotals ORDER BY Total DESC"
echo
echo "vornsql is installed in $stage/bin; the sample copy is $work/plant.db"
echo "try: $vornsql $work/plant.db"
