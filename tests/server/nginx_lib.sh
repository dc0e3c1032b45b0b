# Sourced: runs the shipped nginx site in a private folder, on loopback ports
# of its own, in front of the given ranking servers, with a self-signed
# certificate. nginx_stop ends it (the caller's EXIT trap should call it).
#   nginx_start DIR SITE_FILE SERVER_PORT...   sets nginx_pid, nginx_http, nginx_https
nginx_pid=
# Below the ephemeral range; a port in use makes nginx fail and another is tried.
free_port() { echo $((10000 + RANDOM % 22000)); }
nginx_stop() {
  if [ -n "$nginx_pid" ]; then
    kill -QUIT "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=
  fi
}
nginx_start() {
  local dir=$1 site=$2
  shift 2
  command -v nginx >/dev/null || { echo "nginx not found (package nginx)" >&2; return 1; }
  mkdir -p "$dir/tmp" "$dir/logs"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1 || { echo "openssl failed" >&2; return 1; }
  local servers="" p
  for p in "$@"; do servers+="    server 127.0.0.1:$p;\n"; done
  local user="" try
  # As root the workers drop to nobody, who must write the temporary folders.
  if [ "$(id -u)" -eq 0 ]; then
    user="user nobody nogroup;"
    chown -R nobody "$dir/tmp"
    chmod a+x "$dir" "$(dirname "$dir")"
  fi
  for try in 1 2 3 4 5; do
    nginx_http=$(free_port) nginx_https=$(free_port)
    # The shipped site with the test's ports, certificate and servers; IPv6 left out.
    sed -e '/^ *listen \[::\]/d' \
        -e "s/listen 80 /listen 127.0.0.1:$nginx_http /" \
        -e "s/listen 443 /listen 127.0.0.1:$nginx_https /" \
        -e "s|ssl_certificate .*|ssl_certificate $dir/cert.pem;|" \
        -e "s|ssl_certificate_key .*|ssl_certificate_key $dir/key.pem;|" \
        -e '/^ *server 127\.0\.0\.1:808[0-9];/d' \
        -e "s/^\( *zone quadrel_ranking .*\)$/\1\n${servers%\\n}/" \
        "$site" >"$dir/site.conf"
    cat >"$dir/nginx.conf" <<CONF
$user
daemon off;
worker_processes 2;
pid $dir/nginx.pid;
error_log $dir/logs/error.log;
events { worker_connections 256; }
http {
  access_log $dir/logs/access.log;
  client_body_temp_path $dir/tmp/body;
  proxy_temp_path $dir/tmp/proxy;
  fastcgi_temp_path $dir/tmp/fastcgi;
  uwsgi_temp_path $dir/tmp/uwsgi;
  scgi_temp_path $dir/tmp/scgi;
  include $dir/site.conf;
}
CONF
    nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/logs/error.log" &
    nginx_pid=$!
    # Up once port 80's redirect answers (every port is open by then, and no
    # probe reaches a server); a port taken meanwhile ends nginx: try others.
    local i
    for i in $(seq 100); do
      if ! kill -0 "$nginx_pid" 2>/dev/null; then break; fi
      if curl -s -o /dev/null "http://127.0.0.1:$nginx_http/"; then return 0; fi
      sleep 0.05
    done
    nginx_stop
  done
  echo "nginx did not start:" >&2
  cat "$dir/logs/error.log" >&2
  return 1
}
