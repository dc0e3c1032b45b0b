# Sourced: starts a private PostgreSQL cluster in a temporary folder, reachable
# only through a Unix socket in that folder (no TCP port to collide with other
# runs), and stops and removes it when the sourcing script exits. PostgreSQL
# refuses to run as root, so under root it runs as the unprivileged "nobody".
# Sets PG_URL.
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/initdb" ]; then
  echo "PostgreSQL server programs not found (package postgresql)" >&2
  exit 1
fi
pg_dir=$(mktemp -d /tmp/quadrel-pg.XXXXXX)
pg_as=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$pg_dir"
  pg_as=(runuser -u nobody --)
fi
pg_stop() {
  "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$pg_dir"
}
trap pg_stop EXIT
"${pg_as[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -A trust -U quadrel -E UTF8 --no-sync >"$pg_dir/initdb.log" 2>&1 \
  || { cat "$pg_dir/initdb.log" >&2; exit 1; }
"${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 60 \
  -o "-c listen_addresses='' -c unix_socket_directories='$pg_dir' ${PG_EXTRA_OPTIONS:-}" start >/dev/null \
  || { cat "$pg_dir/server.log" >&2; exit 1; }
PG_URL="postgresql://quadrel@/postgres?host=$pg_dir"
