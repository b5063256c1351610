#!/usr/bin/python3
"""A mail server on loopback for the tests: plain, STARTTLS or implicit TLS,
with LOGIN authentication, storing every accepted message byte for byte.

    smtp_server.py --mode plain|starttls|tls --mailbox DIR [--cert PEM --key PEM]
                   [--user U --password P] [--hold-data SECONDS] [--tls-1.0-only]

Prints the port it listens on (127.0.0.1, chosen by the system) as its first
line of output, then serves until it is terminated. Each accepted message is
written to DIR/N.eml (N = 1, 2, ...) as the client sent it between DATA and
the final "." (dot-stuffing removed), with the envelope beside it in N.env.
--hold-data waits that many seconds before answering the end of a message;
--close-on-data answers DATA with 354 and closes the connection at once.
--tls-1.0-only speaks TLS 1.0 and nothing newer, as an old server does.
"""
import argparse
import asyncio
import itertools
import logging
import os
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Mailbox:
    def __init__(self, folder, hold):
        self.folder = folder
        self.hold = hold
        self.count = itertools.count(1)

    async def handle_DATA(self, server, session, envelope):
        if self.hold:
            await asyncio.sleep(self.hold)
        n = next(self.count)
        path = os.path.join(self.folder, f"{n}.eml")
        with open(path + ".part", "wb") as f:
            f.write(envelope.original_content)
        with open(os.path.join(self.folder, f"{n}.env"), "w") as f:
            f.write(f"from {envelope.mail_from}\n")
            for r in envelope.rcpt_tos:
                f.write(f"to {r}\n")
            f.write(f"auth {session.authenticated}\n")
        os.rename(path + ".part", path)
        return "250 OK: queued"


class ClosingOnData(SMTP):
    async def smtp_DATA(self, arg):
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        self.transport.close()


def main():
    # aiosmtpd logs a warning about its own use of Session.login_data on
    # every login.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    p = argparse.ArgumentParser()
    p.add_argument("--mode", choices=["plain", "starttls", "tls"], required=True)
    p.add_argument("--mailbox", required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--user", default="quindra")
    p.add_argument("--password", default="segredo")
    p.add_argument("--hold-data", type=float, default=0)
    p.add_argument("--close-on-data", action="store_true")
    p.add_argument("--tls-1.0-only", dest="tls10", action="store_true")
    a = p.parse_args()

    context = None
    if a.mode != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(a.cert, a.key)
        if a.tls10:
            context.set_ciphers("DEFAULT:@SECLEVEL=0")
            # Python warns that TLS 1.0 is deprecated: that is the point here.
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", DeprecationWarning)
                context.minimum_version = ssl.TLSVersion.TLSv1
                context.maximum_version = ssl.TLSVersion.TLSv1

    def authenticate(server, session, envelope, mechanism, data):
        ok = (isinstance(data, LoginPassword) and data.login == a.user.encode()
              and data.password == a.password.encode())
        # handled=False: the server answers a refusal with its own 535.
        return AuthResult(success=ok, handled=False)

    handler = Mailbox(a.mailbox, a.hold_data)

    kind = ClosingOnData if a.close_on_data else SMTP

    def factory():
        return kind(handler,
                    hostname="teste.local",
                    authenticator=authenticate,
                    auth_require_tls=a.mode == "starttls",
                    tls_context=context if a.mode == "starttls" else None,
                    require_starttls=False)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(
        loop.create_server(factory, "127.0.0.1", 0,
                           ssl=context if a.mode == "tls" else None))
    print(server.sockets[0].getsockname()[1], flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    sys.exit(main())
