#!/usr/bin/env bash
# Services the tests need, sourced by run-tests.sh: a throw-away PostgreSQL server on
# loopback, reached through psqlODBC with a DSN-less string exported as TARNWELL_TEST_PG.
# Nothing is registered globally; the data directory lives in a temporary directory.
#
#   start_test_services   start the server (again a no-op while it runs)
#   stop_test_services    stop it and remove its directory

TARNWELL_PG_PORT=${TARNWELL_PG_PORT:-55432}
TARNWELL_PG_USER=tarnwell
TARNWELL_PG_PASSWORD=tarnwell-test
TARNWELL_PG_DB=tarnwell

_tw_pg_bindir() {
  local d
  if command -v pg_config >/dev/null 2>&1 && [ -x "$(pg_config --bindir)/initdb" ]; then
    pg_config --bindir
    return
  fi
  for d in /usr/lib/postgresql/*/bin; do
    if [ -x "$d/initdb" ]; then echo "$d"; return 0; fi
  done
  if command -v initdb >/dev/null 2>&1; then dirname "$(command -v initdb)"; fi
  return 0
}

# Runs a server program as the unprivileged owner of the data directory.
_tw_pg_run() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

_tw_port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start_test_services() {
  if [ -n "${TARNWELL_PG_DIR:-}" ] && [ -f "$TARNWELL_PG_DIR/data/postmaster.pid" ]; then
    return 0
  fi
  local bin
  bin=$(_tw_pg_bindir || true)
  if [ -z "$bin" ]; then
    echo "test-services: PostgreSQL not installed; PostgreSQL tests will not run" >&2
    return 0
  fi
  if ! grep -q '^\[PostgreSQL Unicode\]' /etc/odbcinst.ini 2>/dev/null; then
    echo "test-services: psqlODBC driver 'PostgreSQL Unicode' not registered; PostgreSQL tests will not run" >&2
    return 0
  fi

  local port=$TARNWELL_PG_PORT
  while ! _tw_port_free "$port"; do
    port=$((port + 1))
    [ "$port" -gt $((TARNWELL_PG_PORT + 50)) ] && { echo "test-services: no free port" >&2; return 1; }
  done

  TARNWELL_PG_DIR=$(mktemp -d /tmp/tarnwell-pg.XXXXXX)
  export TARNWELL_PG_DIR
  mkdir -p "$TARNWELL_PG_DIR/data" "$TARNWELL_PG_DIR/run"
  printf '%s\n' "$TARNWELL_PG_PASSWORD" >"$TARNWELL_PG_DIR/pwfile"
  chmod 755 "$TARNWELL_PG_DIR"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R postgres "$TARNWELL_PG_DIR"
  fi

  # The superuser is the test role, with a password, so logins through ODBC are checked.
  if ! _tw_pg_run "$bin/initdb" -D "$TARNWELL_PG_DIR/data" -U "$TARNWELL_PG_USER" \
      --pwfile="$TARNWELL_PG_DIR/pwfile" --auth=scram-sha-256 -E UTF8 --locale=C.UTF-8 \
      >"$TARNWELL_PG_DIR/initdb.log" 2>&1; then
    echo "test-services: initdb failed:" >&2
    cat "$TARNWELL_PG_DIR/initdb.log" >&2
    return 1
  fi
  if ! _tw_pg_run "$bin/pg_ctl" -D "$TARNWELL_PG_DIR/data" -l "$TARNWELL_PG_DIR/server.log" -w -t 30 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $TARNWELL_PG_DIR/run -c fsync=off" \
      start >/dev/null; then
    echo "test-services: the PostgreSQL server did not start:" >&2
    cat "$TARNWELL_PG_DIR/server.log" >&2
    return 1
  fi
  PGPASSWORD=$TARNWELL_PG_PASSWORD psql -q -h 127.0.0.1 -p "$port" -U "$TARNWELL_PG_USER" \
    -d postgres -c "CREATE DATABASE $TARNWELL_PG_DB" >/dev/null

  export TARNWELL_PG_BIN=$bin
  # A caller that set no exit trap still gets the server stopped.
  if [ -z "$(trap -p EXIT)" ]; then
    trap stop_test_services EXIT
  fi
  export TARNWELL_TEST_PG="DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=$port;DATABASE=$TARNWELL_PG_DB;UID=$TARNWELL_PG_USER;PWD=$TARNWELL_PG_PASSWORD"
}

stop_test_services() {
  if [ -n "${TARNWELL_PG_DIR:-}" ] && [ -d "$TARNWELL_PG_DIR" ]; then
    if [ -f "$TARNWELL_PG_DIR/data/postmaster.pid" ]; then
      _tw_pg_run "${TARNWELL_PG_BIN:-$(_tw_pg_bindir)}/pg_ctl" -D "$TARNWELL_PG_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$TARNWELL_PG_DIR"
  fi
  unset TARNWELL_PG_DIR TARNWELL_TEST_PG
}
