#!/usr/bin/env bash
# A throwaway PostgreSQL cluster on a loopback port for the server provider's tests and
# benchmarks: `start` makes and starts it (as the postgres user when run as root) and
# prints the export line that points the tests at it; `stop` stops it and deletes it.
#
#   eval "$(bash scripts/pg-test-server.sh start)"   # sets VORNOLEDB_PG_TEST
#   ctest --test-dir build -R Pg
#   bash scripts/pg-test-server.sh stop
#
# VORNOLEDB_PG_DIR (default /tmp/vornoledb-pg) and VORNOLEDB_PG_PORT (default: the first free
# port from 54329 on) move it.
set -euo pipefail
dir="${VORNOLEDB_PG_DIR:-/tmp/vornoledb-pg}"
port="${VORNOLEDB_PG_PORT:-}"
if [ -z "$port" ]; then
  # The first port from 54329 on that nothing listens on, so that a second cluster (another
  # checkout's test run) can start beside a running one.
  port=54329
  while (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null; do port=$((port + 1)); done
fi
password="vorn-test-pw"
database="vorntest"

bindir=""
for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
  if [ -x "$candidate/initdb" ]; then bindir="$candidate"; break; fi
done
if [ -z "$bindir" ]; then
  echo "pg-test-server: no PostgreSQL server found under /usr/lib/postgresql (apt-get install postgresql)" >&2
  exit 1
fi

# As root the cluster belongs to the postgres user, which initdb and the server require.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "${1:-}" in
  start)
    if [ -f "$dir/data/postmaster.pid" ]; then
      echo "pg-test-server: a cluster is running in $dir already; stop it first" >&2
      exit 1
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    printf '%s\n' "$password" > "$dir/pwfile"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir/pwfile"
    as_owner "$bindir/initdb" -D "$dir/data" -U postgres --pwfile="$dir/pwfile" \
      --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 > "$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start > /dev/null \
      || { cat "$dir/server.log" >&2; exit 1; }
    as_owner "$bindir/psql" -h "$dir" -p "$port" -U postgres -d postgres -q -v ON_ERROR_STOP=1 \
      -c "CREATE DATABASE $database" > /dev/null
    echo "export VORNOLEDB_PG_TEST='Data Source=127.0.0.1:$port;Initial Catalog=$database;User ID=postgres;Password=$password'"
    echo "export VORNOLEDB_PG_PSQL='$bindir/psql'"
    ;;
  stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop > /dev/null || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
