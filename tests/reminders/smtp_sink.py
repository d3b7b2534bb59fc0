# A local SMTP server for the tests: keeps each message's recipients, subject, text and PDF
# attachment as files in a folder, and refuses every recipient whose address starts with
# "rifiutato". Usage: smtp_sink.py PORT FOLDER [login USER PASSWORD | starttls CERT KEY];
# "login" makes the server accept mail only after that login, "starttls" makes it require
# STARTTLS, with that certificate and key, before any mail. Prints "ready" once listening, stops
# when its standard input closes.
import email
import os
import ssl
import sys
from email import policy

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("rifiutato"):
            return "550 5.1.1 Casella rifiutato inesistente"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%03d" % self.count)
        message = email.message_from_bytes(envelope.content, policy=policy.default)
        for part in message.iter_attachments():
            with open(base + ".pdf", "wb") as f:
                f.write(part.get_payload(decode=True))
        body = message.get_body(("plain",))
        with open(base + ".txt", "w", encoding="utf-8") as f:
            f.write(body.get_content() if body else "")
        with open(base + ".subject", "w", encoding="utf-8") as f:
            f.write(str(message["subject"]))
        with open(base + ".to", "w", encoding="utf-8") as f:
            f.write("\n".join(envelope.rcpt_tos))
        with open(base + ".from", "w", encoding="utf-8") as f:
            f.write(envelope.mail_from)
        if session.authenticated:
            with open(base + ".login", "w", encoding="utf-8") as f:
                f.write(session.auth_data.login.decode())
        return "250 Message accepted"


def login_checker(user, password):
    def check(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user
              and auth_data.password.decode() == password)
        # Not "handled": the server itself answers 535 to a refused login.
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)
    return check


options = {}
mode = sys.argv[3] if len(sys.argv) > 3 else ""
if mode == "login":
    options = dict(authenticator=login_checker(sys.argv[4], sys.argv[5]), auth_required=True,
                   auth_require_tls=False)
elif mode == "starttls":
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(sys.argv[4], sys.argv[5])
    options = dict(tls_context=context, require_starttls=True)

controller = Controller(Sink(sys.argv[2]), hostname="127.0.0.1", port=int(sys.argv[1]), **options)
controller.start()
print("ready", flush=True)
sys.stdin.read()
controller.stop()
