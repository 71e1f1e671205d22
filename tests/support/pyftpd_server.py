"""A real FTP server for the tests: Debian's pyftpdlib on 127.0.0.1.

Prints "PORT <n>" once it listens on the port the system picked, then serves
until it is killed or the test that started it is gone.
"""
import argparse
import logging
import os
import socket
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    def _on_dtp_connection(self):
        # pyftpdlib keeps the connector of a PORT transfer after it handed its
        # socket on, and closes it at the session's next PORT or PASV, taking
        # from the loop whatever socket holds that descriptor number by then:
        # often another session's control connection, which is never read
        # again.
        self._dtp_connector = None
        if self._pending_refusal is not None:
            # The refused store's data connection came: it is closed unused.
            refusal, self._pending_refusal = self._pending_refusal, None
            self._shutdown_connecting_dtp()
            if self.data_channel is not None:
                self.data_channel.close()
                self.data_channel = None
            self.respond(refusal)
            return
        super()._on_dtp_connection()

    # Folders listed as proftpd lists one it may enter but not read: LIST and
    # NLST as an empty folder, MLSD refused (set in main()).
    unreadable = ()

    def _unreadable(self, path):
        return os.path.realpath(path) in self.unreadable

    def ftp_LIST(self, path):
        if self._unreadable(path):
            self.push_dtp_data(b"", cmd="LIST")
            return path
        return super().ftp_LIST(path)

    def ftp_NLST(self, path):
        if self._unreadable(path):
            self.push_dtp_data(b"", cmd="NLST")
            return path
        return super().ftp_NLST(path)

    def ftp_MLSD(self, path):
        if self._unreadable(path):
            self.respond("550 %s: Permission denied" % self.fs.fs2ftp(path))
            return None
        return super().ftp_MLSD(path)

    # Stores refused as real servers' settings refuse them (set in main()).
    refuse_new_in = ()  # folders whose files may be written but where none may be made
    refuse_dot_names = False  # names beginning with "."
    # A passive store is refused only once its data connection came, which is
    # then closed (as where the system accepted it before the server refused).
    refuse_once_connected = False
    _pending_refusal = None

    def ftp_STOR(self, file, mode="w"):
        refusal = None
        if self.refuse_dot_names and os.path.basename(file).startswith("."):
            refusal = "553 Prohibited file name: %s" % self.fs.fs2ftp(file)
        elif os.path.realpath(os.path.dirname(file)) in self.refuse_new_in and not os.path.exists(file):
            refusal = "553 Could not create file."
        if refusal is None:
            return super().ftp_STOR(file, mode)
        if self.refuse_once_connected and self.data_channel is None and self._dtp_acceptor is not None:
            self._pending_refusal = refusal
            return
        self.respond(refusal)


class SlowReader(ThrottledDTPHandler):
    # A receive buffer of a set size: the server's system then holds no more
    # of an upload ahead of what the server read than that, whereas a buffer
    # the system sizes grows with each burst the throttle reads, to megabytes.
    def __init__(self, sock, cmd_channel):
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 64 * 1024)
        super().__init__(sock, cmd_channel)


class DotHidingFS(AbstractedFS):
    # As pure-ftpd's plain listing: names that begin with "." are left out,
    # though the folders and files are there when asked for by name.
    def listdir(self, path):
        return [name for name in super().listdir(path) if not name.startswith(".")]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="user")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--anonymous", action="store_true")
    # FOLDER=PERMS: the user's rights below a folder of the root (the tests
    # run as root, for whom the file system's own modes refuse nothing).
    parser.add_argument("--perm", action="append", default=[])
    parser.add_argument("--hide-dot-names", action="store_true")
    # FOLDER: stores of names the folder does not hold are refused.
    parser.add_argument("--refuse-new", action="append", default=[])
    parser.add_argument("--refuse-dot", action="store_true")
    parser.add_argument("--refuse-once-connected", action="store_true")
    # FOLDER: listed as proftpd lists a folder it may enter but not read.
    parser.add_argument("--unreadable", action="append", default=[])
    # BYTES: what the server reads of an upload a second at most.
    parser.add_argument("--read-limit", type=int, default=0)
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    for entry in args.perm:
        folder, perms = entry.split("=", 1)
        authorizer.override_perm(args.user, os.path.join(args.root, folder), perms, recursive=True)
    if args.anonymous:
        authorizer.add_anonymous(args.root)

    handler = Handler
    handler.authorizer = authorizer
    if args.hide_dot_names:
        handler.abstracted_fs = DotHidingFS
    handler.permit_foreign_addresses = True  # server-to-server copies
    handler.banner = "pyftpdlib test server ready."
    handler.refuse_new_in = tuple(os.path.realpath(os.path.join(args.root, folder)) for folder in args.refuse_new)
    handler.refuse_dot_names = args.refuse_dot
    handler.refuse_once_connected = args.refuse_once_connected
    handler.unreadable = tuple(os.path.realpath(os.path.join(args.root, folder)) for folder in args.unreadable)
    if args.read_limit > 0:
        handler.dtp_handler = SlowReader
        SlowReader.read_limit = args.read_limit

    server = FTPServer(("127.0.0.1", 0), handler)
    # A test that crashed or was killed never stops its server: leave with it
    # rather than live on as an orphan.
    parent = os.getppid()

    def leave_with_parent():
        if os.getppid() != parent:
            os._exit(0)

    server.ioloop.call_every(0.5, leave_with_parent)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
