"""nginx on loopback for the tests that need a production web server: one server block of the
test's own inside a configuration whose files all stay in the test's folder."""
import getpass
import os
import signal
import subprocess

from launcher_e2e import wait_until

NGINX_LIFETIME_SECONDS = 300

# Workers run as the user who starts the test (root in CI), so they can read a site kept
# anywhere, however private its parent folders are.
CONFIG = """
daemon off;
user {user};
worker_processes 1;
pid {root}/nginx.pid;
error_log {root}/error.log;
events {{ worker_connections 64; }}
http {{
    log_format with_tls '$ssl_protocol "$request" $status';
    access_log {root}/access.log {log_format};
    client_body_temp_path {root}/tmp;
    proxy_temp_path {root}/tmp;
    fastcgi_temp_path {root}/tmp;
    uwsgi_temp_path {root}/tmp;
    scgi_temp_path {root}/tmp;
    default_type application/octet-stream;
    server {{
{server}
    }}
}}
"""


def start_nginx(test, root, server, log_format="combined"):
    """Starts nginx with the given server block (its directives) and files under root; the test
    stops it when it ends, or earlier through the function returned."""
    os.makedirs(os.path.join(root, "tmp"), exist_ok=True)
    with open(os.path.join(root, "nginx.conf"), "w") as f:
        f.write(CONFIG.format(root=root, server=server, log_format=log_format, user=getpass.getuser()))
    for name in ("nginx.pid", "access.log"):
        if os.path.exists(os.path.join(root, name)):
            os.remove(os.path.join(root, name))
    # timeout ends nginx by itself should the test not.
    process = subprocess.Popen(["timeout", str(NGINX_LIFETIME_SECONDS), "nginx", "-c", os.path.join(root, "nginx.conf")],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop():
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            process.wait(timeout=30)
    test.addCleanup(stop)
    wait_until(lambda: os.path.exists(os.path.join(root, "nginx.pid")), message="nginx to start")
    return stop
