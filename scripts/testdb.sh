# Private PostgreSQL and MariaDB servers for the test suite; sourced by scripts/test.sh.
#   testdb_start  starts both on 127.0.0.1 and free ports, loads tests/datasource/pg_schema.sql
#                 and tests/datasource/mariadb_schema.sql, and exports RG_TEST_PG and
#                 RG_TEST_MARIADB with the ODBC connection strings of their databases
#   testdb_stop   stops both and removes their folder
# initdb and postgres refuse to run as root, so as root they run as the postgres user, and
# the MariaDB server as the mysql user.

TESTDB_BIN=${TESTDB_BIN:-/usr/lib/postgresql/15/bin}
MARIADB_BIN=${MARIADB_BIN:-/usr/sbin/mariadbd}
TESTDB_DIR=
TESTDB_PORT=
TESTDB_MARIADB_PORT=

_testdb_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

_testdb_free_port() {
  python3 - <<'PY'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

testdb_start() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  TESTDB_DIR=$(mktemp -d /tmp/rg-testdb.XXXXXX)
  chmod 755 "$TESTDB_DIR"
  if [ "$(id -u)" -eq 0 ]; then chown postgres:postgres "$TESTDB_DIR"; fi
  local user=rgtest password=rgtest db=rgtest
  printf '%s\n' "$password" >"$TESTDB_DIR/pwfile"
  if [ "$(id -u)" -eq 0 ]; then chown postgres:postgres "$TESTDB_DIR/pwfile"; fi
  if ! _testdb_as_owner "$TESTDB_BIN/initdb" -D "$TESTDB_DIR/data" -U "$user" --pwfile="$TESTDB_DIR/pwfile" \
      -E UTF8 --locale=C.UTF-8 --auth-local=trust --auth-host=scram-sha-256 >"$TESTDB_DIR/initdb.log" 2>&1; then
    echo "testdb: initdb failed:" >&2
    cat "$TESTDB_DIR/initdb.log" >&2
    return 1
  fi
  local tries
  for tries in 1 2 3 4 5; do
    TESTDB_PORT=$(_testdb_free_port)
    _testdb_as_owner "$TESTDB_BIN/pg_ctl" -D "$TESTDB_DIR/data" -l "$TESTDB_DIR/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -p $TESTDB_PORT -c unix_socket_directories=$TESTDB_DIR -c fsync=off" \
      start >/dev/null 2>&1 && break
    TESTDB_PORT=
  done
  if [ -z "$TESTDB_PORT" ]; then
    echo "testdb: the server did not start:" >&2
    cat "$TESTDB_DIR/server.log" >&2
    return 1
  fi
  local n
  for n in $(seq 1 60); do
    "$TESTDB_BIN/pg_isready" -q -h 127.0.0.1 -p "$TESTDB_PORT" && break
    sleep 0.5
  done
  export PGPASSWORD=$password
  if ! "$TESTDB_BIN/psql" -q -X -h 127.0.0.1 -p "$TESTDB_PORT" -U "$user" -d postgres \
      -c "CREATE DATABASE $db ENCODING 'UTF8' TEMPLATE template0" </dev/null >/dev/null ||
     ! "$TESTDB_BIN/psql" -q -X -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$TESTDB_PORT" -U "$user" -d "$db" \
      -f "$root/tests/datasource/pg_schema.sql" </dev/null >"$TESTDB_DIR/schema.log" 2>&1; then
    echo "testdb: loading the schema failed:" >&2
    cat "$TESTDB_DIR/schema.log" >&2
    unset PGPASSWORD
    return 1
  fi
  unset PGPASSWORD
  export RG_TEST_PG="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$TESTDB_PORT;Database=$db;Uid=$user;Pwd=$password"
  echo "testdb: PostgreSQL on 127.0.0.1:$TESTDB_PORT"
  _testdb_mariadb_start "$root" || return 1
}

_testdb_mariadb_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u mysql -- "$@"
  else
    "$@"
  fi
}

# The MariaDB server in its own folder, with the suite's user, its database and a second
# database the user may read (listed as another schema).
_testdb_mariadb_start() {
  local root=$1 dir=$TESTDB_DIR/mariadb user=rgtest password=rgtest db=rgtest
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then chown mysql:mysql "$dir"; fi
  if ! _testdb_mariadb_as_owner mariadb-install-db --no-defaults --datadir="$dir/data" \
      --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1; then
    echo "testdb: mariadb-install-db failed:" >&2
    cat "$dir/install.log" >&2
    return 1
  fi
  local tries n
  for tries in 1 2 3 4 5; do
    TESTDB_MARIADB_PORT=$(_testdb_free_port)
    _testdb_mariadb_as_owner "$MARIADB_BIN" --no-defaults --datadir="$dir/data" --socket="$dir/socket" \
      --pid-file="$dir/server.pid" --log-error="$dir/server.log" --bind-address=127.0.0.1 \
      --port="$TESTDB_MARIADB_PORT" --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
      --innodb-buffer-pool-size=32M --skip-log-bin </dev/null >/dev/null 2>&1 &
    for n in $(seq 1 120); do
      mariadb-admin --no-defaults --socket="$dir/socket" -u root ping >/dev/null 2>&1 && break 2
      kill -0 $! 2>/dev/null || break
      sleep 0.5
    done
    # A server that never answered is not left behind on the next try.
    if [ -f "$dir/server.pid" ]; then kill "$(cat "$dir/server.pid")" 2>/dev/null || true; fi
    wait $! 2>/dev/null || true
    TESTDB_MARIADB_PORT=
  done
  if [ -z "$TESTDB_MARIADB_PORT" ]; then
    echo "testdb: the MariaDB server did not start:" >&2
    cat "$dir/server.log" >&2
    return 1
  fi
  if ! mariadb --no-defaults --socket="$dir/socket" -u root --default-character-set=utf8mb4 <<SQL >"$dir/schema.log" 2>&1 ||
CREATE DATABASE $db CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
CREATE DATABASE rgother CHARACTER SET utf8mb4;
CREATE USER '$user'@'127.0.0.1' IDENTIFIED BY '$password';
CREATE USER '$user'@'localhost' IDENTIFIED BY '$password';
GRANT ALL ON $db.* TO '$user'@'127.0.0.1', '$user'@'localhost';
GRANT ALL ON rgother.* TO '$user'@'127.0.0.1', '$user'@'localhost';
SQL
     ! mariadb --no-defaults --socket="$dir/socket" -u root --default-character-set=utf8mb4 $db \
      <"$root/tests/datasource/mariadb_schema.sql" >>"$dir/schema.log" 2>&1; then
    echo "testdb: loading the MariaDB schema failed:" >&2
    cat "$dir/schema.log" >&2
    return 1
  fi
  export RG_TEST_MARIADB="Driver={MariaDB Unicode};Server=127.0.0.1;Port=$TESTDB_MARIADB_PORT;Database=$db;Uid=$user;Pwd=$password"
  echo "testdb: MariaDB on 127.0.0.1:$TESTDB_MARIADB_PORT"
}

testdb_stop() {
  if [ -n "$TESTDB_DIR" ] && [ -d "$TESTDB_DIR/data" ]; then
    _testdb_as_owner "$TESTDB_BIN/pg_ctl" -D "$TESTDB_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
  fi
  if [ -n "$TESTDB_DIR" ] && [ -S "$TESTDB_DIR/mariadb/socket" ]; then
    mariadb-admin --no-defaults --socket="$TESTDB_DIR/mariadb/socket" -u root shutdown >/dev/null 2>&1 || true
  fi
  if [ -n "$TESTDB_DIR" ]; then rm -rf "$TESTDB_DIR"; fi
  TESTDB_DIR=
  unset RG_TEST_PG RG_TEST_MARIADB
}
