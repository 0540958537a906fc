"""Loopback FTP server for the tests: a temporary root and one account.

Prints "listening 127.0.0.1:PORT" once bound; end of stdin stops it. --size-offset makes SIZE
report the real size plus the offset, so a size check can be made to fail.
"""
import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--size-offset", type=int, default=0)
    args = p.parse_args()
    logging.basicConfig(level=logging.WARNING)

    class Handler(FTPHandler):
        size_offset = args.size_offset

        def ftp_SIZE(self, path):
            if self.size_offset and os.path.isfile(path):
                self.respond("213 %d" % (os.path.getsize(path) + self.size_offset))
                return
            return FTPHandler.ftp_SIZE(self, path)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.passive_ports = None
    Handler.auth_failed_timeout = 0.1  # a refused login answers at once
    server = FTPServer(("127.0.0.1", args.port), Handler)
    print("listening 127.0.0.1:%d" % server.address[1], flush=True)

    def watch_stdin():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
