#!/usr/bin/env python3
"""A gate on 127.0.0.1 (plain HTTP) that lets a request through to a WebDAV
server only with HTTP Digest authentication (RFC 7616: MD5, qop=auth) of one
user; Basic is refused. Each request let through is sent on to the upstream
server (HTTPS, with the test CA) with Basic credentials of the same user, and
the answer is passed back. Tests use it to show that a client that offers
Basic and Digest answers a Digest challenge.

    digest_gate.py --port N --upstream https://127.0.0.1:M --ca ca.pem \
                   --user alice --password secret

Every Digest authorisation it accepted is counted on stderr ("digest ok").
"""
import argparse
import base64
import hashlib
import http.client
import os
import re
import ssl
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

REALM = "daymark-test"
HOP_BY_HOP = {"connection", "keep-alive", "transfer-encoding", "authorization", "host",
              "content-length", "www-authenticate", "proxy-authorization"}


def md5(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def parse_digest(header):
    if not header or not header.lower().startswith("digest "):
        return None
    fields = {}
    for key, quoted, bare in re.findall(r'(\w+)=(?:"([^"]*)"|([^,\s]*))', header[7:]):
        fields[key.lower()] = quoted or bare
    return fields


class Gate(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def authorised(self):
        d = parse_digest(self.headers.get("Authorization"))
        if not d or d.get("username") != self.server.user or d.get("realm") != REALM:
            return False
        if d.get("nonce") != self.server.nonce or d.get("qop") != "auth":
            return False
        ha1 = md5(f"{self.server.user}:{REALM}:{self.server.password}")
        ha2 = md5(f"{self.command}:{d.get('uri', '')}")
        expected = md5(f"{ha1}:{d['nonce']}:{d.get('nc', '')}:{d.get('cnonce', '')}:auth:{ha2}")
        return d.get("response") == expected

    def challenge(self):
        self.send_response(401)
        self.send_header("WWW-Authenticate",
                         f'Digest realm="{REALM}", nonce="{self.server.nonce}", '
                         'qop="auth", algorithm=MD5')
        self.send_header("Content-Length", "0")
        self.end_headers()

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        if not self.authorised():
            self.challenge()
            return
        print("digest ok", file=sys.stderr, flush=True)
        up = urllib.parse.urlsplit(self.server.upstream)
        connection = http.client.HTTPSConnection(up.hostname, up.port,
                                                 context=self.server.tls, timeout=30)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        token = base64.b64encode(f"{self.server.user}:{self.server.password}".encode()).decode()
        headers["Authorization"] = "Basic " + token
        connection.request(self.command, self.path, body=body, headers=headers)
        answer = connection.getresponse()
        data = answer.read()
        self.send_response(answer.status)
        for k, v in answer.getheaders():
            if k.lower() in HOP_BY_HOP:
                continue
            if k.lower() == "location" and v.startswith(self.server.upstream):
                v = v[len(self.server.upstream):] or "/"  # the client stays at the gate
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        connection.close()

    do_GET = do_PUT = do_DELETE = do_PROPFIND = do_REPORT = do_OPTIONS = handle_any


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--upstream", required=True)
    parser.add_argument("--ca", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Gate)
    server.daemon_threads = True
    server.upstream = args.upstream
    server.user = args.user
    server.password = args.password
    server.nonce = os.urandom(16).hex()
    server.tls = ssl.create_default_context(cafile=args.ca)
    server.serve_forever()


if __name__ == "__main__":
    main()
