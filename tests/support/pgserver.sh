#!/usr/bin/env bash
# A PostgreSQL server of its own, from Debian's postgresql package, for the tests
# and the benchmark (and for trying a shared register by hand):
#
#   pgserver.sh start DIR SCHEMA [tcp]   initdb and pg_ctl in the empty folder DIR,
#                                        the socket in DIR, a free port (printed);
#                                        with tcp also on 127.0.0.1. SCHEMA is loaded
#                                        into the database lumivox_template.
#   pgserver.sh createdb DIR NAME        a new database NAME from that template
#   pgserver.sh stop DIR                 stops the server
#
# The user is "lumivox", logins are trusted. Run as root, the server runs as
# nobody (PostgreSQL refuses root), who then owns DIR; the clients run as root.
set -euo pipefail
command=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
  else
    "$@"
  fi
}
client() {
  "$bin/$1" -h "$dir" -p "$(cat "$dir/port")" -U lumivox "${@:2}"
}

cd "$dir"
case $command in
  start)
    [ "$(id -u)" -eq 0 ] && chown 65534:65534 "$dir"
    listen=""
    [ "${4:-}" = tcp ] && listen=127.0.0.1
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
      > "$dir/port"
    as_server "$bin/initdb" -D "$dir/data" -U lumivox --auth=trust -E UTF8 --locale=C.UTF-8 \
      --no-sync > "$dir/initdb.log"
    options="-p $(cat "$dir/port") -c unix_socket_directories=$dir -c listen_addresses=$listen"
    options+=" -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c shared_buffers=16MB"
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 -o "$options" start > /dev/null
    client createdb lumivox_template
    client psql -X -q -v ON_ERROR_STOP=1 -1 -d lumivox_template -f "$3"
    # What the tests write as on SQLite: group_concat, and a write refused by a trigger.
    client psql -X -q -v ON_ERROR_STOP=1 -d lumivox_template -c "
      create function lumivox_concat(list text, item text) returns text language sql immutable
        return case when item is null then list when list is null then item else list || ',' || item end;
      create aggregate group_concat(text) (sfunc = lumivox_concat, stype = text);
      create function lumivox_refuse() returns trigger language plpgsql
        as \$\$ begin raise exception '%', tg_argv[0]; end \$\$;"
    cat "$dir/port"
    ;;
  createdb)
    client createdb -T lumivox_template "$3"
    ;;
  stop)
    as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop > /dev/null
    ;;
esac
