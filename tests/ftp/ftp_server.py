"""The FTP server the tests and the benchmark talk to: pyftpdlib on a free
port of 127.0.0.1 or ::1, one user with full rights on a root directory, in
one of the modes a client meets in the wild. Prints the port, then serves."""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("root")
parser.add_argument("user")
parser.add_argument("password")
parser.add_argument("--host", default="127.0.0.1")
parser.add_argument("--mode", choices=["plain", "passive-only", "active-only"], default="plain")
parser.add_argument("--tls", metavar="PEM", help="certificate and key: explicit FTPS")
parser.add_argument("--tls-required", action="store_true")
args = parser.parse_args()

handler = FTPHandler
if args.tls:
    from pyftpdlib.handlers import TLS_FTPHandler

    class Handler(TLS_FTPHandler):
        certfile = args.tls
        tls_control_required = args.tls_required
        tls_data_required = args.tls_required

    handler = Handler
else:
    class Handler(FTPHandler):
        pass

    handler = Handler

auth = DummyAuthorizer()
auth.add_user(args.user, args.password, args.root, perm="elradfmwMT")
handler.authorizer = auth
handler.auth_failed_timeout = 0.1
# Hide the commands a mode does not have, as servers behind NAT or strict
# firewalls do.
hidden = {"passive-only": ("PORT", "EPRT"), "active-only": ("PASV", "EPSV")}.get(args.mode, ())
handler.proto_cmds = {k: v for k, v in handler.proto_cmds.items() if k not in hidden}

server = FTPServer((args.host, 0), handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
