# A local SMTP server for the tests: keeps each message's recipients, subject, text and PDF
# attachment as files in a folder, and refuses every recipient whose address starts with
# "rifiutato". Usage: smtp_sink.py PORT FOLDER; prints "ready" once listening, stops when its
# standard input closes.
import email
import os
import sys
from email import policy

from aiosmtpd.controller import Controller


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
        return "250 Message accepted"


controller = Controller(Sink(sys.argv[2]), hostname="127.0.0.1", port=int(sys.argv[1]))
controller.start()
print("ready", flush=True)
sys.stdin.read()
controller.stop()
