#!/usr/bin/python3
"""One-account FTP server for the tests and the demo, with switches that inject faults.

Run it with Debian's /usr/bin/python3 (it needs python3-pyftpdlib). Names travel on the wire as
Windows-1252 bytes, the way the program sends them, and are stored on disk under their UTF-8 names.
Once the server listens it prints exactly one line "PORT <n>" on stdout; SIGTERM stops it cleanly.

In ASCII mode pyftpdlib turns CR LF into LF on upload and LF into CR LF on download, so text files
on its disk hold LF line ends.
"""

import argparse
import fnmatch
import os
import signal
import sys
import time

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import ActiveDTP, DTPHandler, FTPHandler
from pyftpdlib.log import logger

try:
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
except ImportError:  # without python3-openssl the server offers no TLS
    TLS_DTPHandler = TLS_FTPHandler = None
from pyftpdlib.servers import FTPServer

WIRE_ENCODING = "cp1252"

# Commands whose argument is a remote name; --fail-name and --stall-name look at these.
NAMED_COMMANDS = {
    "RETR", "STOR", "STOU", "APPE", "DELE", "RNFR", "RNTO", "SIZE", "MDTM", "LIST", "NLST",
    "MLST", "MLSD", "STAT", "CWD", "XCWD", "MKD", "XMKD", "RMD", "XRMD",
}


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder served as the account's home")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--user", default="vimo")
    parser.add_argument("--password", default="vimo")
    parser.add_argument("--refuse-login", action="store_true", help="answer every login with 530")
    parser.add_argument("--fail-name", action="append", default=[],
                        help="answer 550 to any command naming a file that matches this pattern (repeatable)")
    parser.add_argument("--drop-after-bytes", type=int, default=None,
                        help="drop the whole connection once this many data bytes have moved")
    parser.add_argument("--drop-name", default=None,
                        help="only drop transfers of file names matching this pattern")
    parser.add_argument("--stall-name", action="append", default=[],
                        help="accept the transfer of this name, then never move data or answer")
    parser.add_argument("--disk-full-after-bytes", type=int, default=None,
                        help="keep at most this many bytes of each upload, then answer 452 like a full disk")
    parser.add_argument("--no-rename-over", action="store_true",
                        help="answer 550 to a rename onto a name that exists, as many Windows hosts do")
    parser.add_argument("--silent-quit", action="store_true",
                        help="never answer QUIT, like a server that has gone quiet")
    parser.add_argument("--remove-after-stor", action="append", default=[],
                        help="remove an upload matching this pattern right after its STOR, as another "
                             "copy cleaning up would (repeatable)")
    parser.add_argument("--list-zone", default=None,
                        help="list local times of this zone (a TZ text such as 'CET-1') instead of UTC")
    parser.add_argument("--tls-cert", default=None,
                        help="PEM file with certificate and key: offer explicit TLS (AUTH TLS)")
    return parser.parse_args()


def base_name(argument):
    return os.path.basename(argument.rstrip("/")) if argument else ""


def to_wire(text_bytes_utf8):
    return text_bytes_utf8.decode("utf8", "replace").encode(WIRE_ENCODING, "replace")


class WireEncodedFS(AbstractedFS):
    """Listings leave pyftpdlib as UTF-8; the wire wants Windows-1252."""

    def format_list(self, basedir, listing, ignore_err=True):
        for line in super().format_list(basedir, listing, ignore_err):
            yield to_wire(line)

    def format_mlsx(self, basedir, listing, perms, facts, ignore_err=True):
        for line in super().format_mlsx(basedir, listing, perms, facts, ignore_err):
            yield to_wire(line)


class HandingOverActiveDTP(ActiveDTP):
    """Active data connector that lets go of its socket once the data handler has it.

    pyftpdlib keeps the connector after the hand-over and closes it again when the session closes or
    asks for its next data connection. By then its descriptor number may belong to another client's
    control connection, which the second close would silently take out of the poller: that client
    never hears another reply.
    """

    def handle_connect(self):
        super().handle_connect()
        handler = self.cmd_channel.data_channel
        if handler is not None and handler.socket is self.socket:
            self._fileno = None
            self.socket = None


class RefusingAuthorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("Login refused.")


def make_handler(options):
    fail_names = set(options.fail_name)
    stall_names = set(options.stall_name)

    tls = options.tls_cert is not None
    if tls and TLS_FTPHandler is None:
        sys.exit("--tls-cert needs python3-openssl")

    class FaultyDTPHandler(TLS_DTPHandler if tls else DTPHandler):
        """Data channel that can cut the whole session after a number of bytes."""

        def _drop_applies(self):
            if options.drop_after_bytes is None:
                return False
            if options.drop_name is None:
                return True
            name = getattr(self.file_obj, "name", None)
            # A pattern, so that a name with a random part (an upload in progress) can be aimed at.
            return name is not None and fnmatch.fnmatchcase(os.path.basename(name), options.drop_name)

        def _moved(self):
            return self.tot_bytes_sent + self.tot_bytes_received

        def _drop(self):
            # Closing the control channel closes this data channel too; no reply is sent.
            self.cmd_channel._vimo_dropped = True
            self.cmd_channel.close()

        def send(self, data):
            if self._drop_applies():
                room = options.drop_after_bytes - self._moved()
                if room <= 0:
                    self._drop()
                    return 0
                data = data[:room]
            sent = super().send(data)
            if self._drop_applies() and self._moved() >= options.drop_after_bytes:
                self._drop()
            return sent

        def _fill_disk(self):
            """Keeps what still fits, then fails the upload the way a full disk does."""
            room = options.disk_full_after_bytes - self.tot_bytes_received
            try:
                chunk = self.recv(self.ac_in_buffer_size)
            except OSError:
                self.handle_error()
                return
            if not chunk:
                self.transfer_finished = True
                return
            self.tot_bytes_received += len(chunk)
            if self._data_wrapper is not None:
                chunk = self._data_wrapper(chunk)
            self.file_obj.write(chunk[:max(room, 0)])
            if len(chunk) > room:
                self._resp = ("452 Insufficient storage space.", logger.debug)
                self.close()

        def handle_read(self):
            if options.disk_full_after_bytes is not None and self.receive:
                self._fill_disk()
                return
            if self._drop_applies():
                room = options.drop_after_bytes - self._moved()
                if room <= 0:
                    self._drop()
                    return
                try:
                    chunk = self.recv(min(room, self.ac_in_buffer_size))
                except OSError:
                    self.handle_error()
                    return
                self.tot_bytes_received += len(chunk)
                if not chunk:
                    self.transfer_finished = True
                    return
                if self._data_wrapper is not None:
                    chunk = self._data_wrapper(chunk)
                self.file_obj.write(chunk)
                self.file_obj.flush()
                if self._moved() >= options.drop_after_bytes:
                    self._drop()
                return
            super().handle_read()

        if tls:
            def readable(self):
                # Clients such as libcurl start TLS on a passive data connection as soon as it is
                # open, before the transfer command; pyftpdlib would take that early hello for a
                # hang-up and close the connection.
                if not self.receive and not self._initialized:
                    return self._ssl_accepting or self._ssl_want_read
                return super().readable()
        else:  # the TLS handler's own read event runs the handshake first
            handle_read_event = handle_read

    class FaultyHandler(TLS_FTPHandler if tls else FTPHandler):
        abstracted_fs = WireEncodedFS
        dtp_handler = FaultyDTPHandler
        active_dtp = HandingOverActiveDTP
        # sendfile() would bypass the byte counting of the drop switch.
        use_sendfile = options.drop_after_bytes is None and not tls
        banner = "Vimo test server ready."
        # Answer a failed login at once; tests wait for it with short bounds.
        auth_failed_timeout = 0

        def decode(self, raw):
            return raw.decode(WIRE_ENCODING, self.unicode_errors)

        def push(self, s):
            self.push_raw(s.encode(WIRE_ENCODING, "replace"))

        def push_raw(self, data):
            if not getattr(self, "_vimo_dropped", False):
                super(FTPHandler, self).push(data)

        def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
            if cmd == "NLST" and isinstance(data, bytes):
                data = to_wire(data)
            super().push_dtp_data(data, isproducer, file, cmd)

        def on_file_received(self, file):
            if any(fnmatch.fnmatchcase(os.path.basename(file), name) for name in options.remove_after_stor):
                os.remove(file)

        def pre_process_command(self, line, cmd, arg):
            if getattr(self, "_vimo_stalled", False):
                return  # a stalled session never answers again
            if cmd == "QUIT" and options.silent_quit:
                self.logline("<- %s" % line)
                return
            if cmd in NAMED_COMMANDS and any(fnmatch.fnmatchcase(base_name(arg), name) for name in fail_names):
                self.logline("<- %s" % line)
                self.respond("550 %s: refused by the test server." % arg)
                return
            if cmd == "RNTO" and options.no_rename_over and os.path.exists(self.fs.ftp2fs(arg)):
                self.logline("<- %s" % line)
                self.respond("550 %s: the name exists; this server does not rename onto it." % arg)
                return
            if cmd in ("RETR", "STOR") and base_name(arg) in stall_names:
                self.logline("<- %s" % line)
                self._vimo_stalled = True
                self.respond("150 File status okay. About to open data connection.")
                return
            super().pre_process_command(line, cmd, arg)

    return FaultyHandler


def main():
    options = parse_arguments()
    root = os.path.abspath(options.root)
    os.makedirs(root, exist_ok=True)
    authorizer = RefusingAuthorizer() if options.refuse_login else DummyAuthorizer()
    authorizer.add_user(options.user, options.password, root, perm="elradfmwMT")
    if options.list_zone is not None:
        os.environ["TZ"] = options.list_zone
        time.tzset()
    handler = make_handler(options)
    handler.use_gmt_times = options.list_zone is None
    handler.authorizer = authorizer
    handler.passive_ports = None
    if options.tls_cert is not None:
        handler.certfile = options.tls_cert
    server = FTPServer((options.host, options.port), handler)
    server.max_cons = 64

    def stop(_signum, _frame):
        server.close_all()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
