#!/usr/bin/env python3
"""A stand-in for the calendar service, for tests.

Speaks the service's protocol over HTTPS on 127.0.0.1: ClientLogin, the
calendar list feed, public holiday feeds, event feeds with paging and
updated-min, POST of new entries and PUT to edit links, each first answered
by a 302 to a "?gsessionid=" address as the real service did. Tests seed it
and arm faults through JSON requests under /_control/ (see
docs/standin-service.md).

Usage: standin.py --dir FOLDER [--certs CERTS] [--detach]
  Listens on a free port of 127.0.0.1 and then writes the port number to
  FOLDER/port (and its process id to FOLDER/pid). Runs until
  /_control/shutdown or SIGTERM, and takes the port file away when it ends.
  The server certificate comes from CERTS (ca.pem is the file a client
  trusts, server.pem and server.key the server's); a throw-away CA and
  certificate are made there when it has none. CERTS is FOLDER unless given.
  --detach: runs in the background as a session of its own, returning once
  the port file is there (a stand-in shared by the cases of one test program).
standin.py --make-certificates CERTS
  Makes the CA and the server certificate in CERTS (once per build).
standin.py --stop FOLDER
  Ends the detached stand-in of FOLDER and waits until it is gone.
"""

import argparse
import datetime
import hashlib
import json
import os
import random
import signal
import ssl
import string
import subprocess
import sys
import threading
import time
import urllib.parse
import xml.etree.ElementTree as ET
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ATOM = "http://www.w3.org/2005/Atom"
GD = "http://schemas.google.com/g/2005"
GCAL = "http://schemas.google.com/gCal/2005"
APP = "http://www.w3.org/2007/app"
OPENSEARCH_V2 = "http://a9.com/-/spec/opensearch/1.1/"
OPENSEARCH_V1 = "http://a9.com/-/spec/opensearchrss/1.0/"
ID_HOST = "http://www.google.com"

ACCESS_LEVELS = ("none", "read", "freebusy", "editor", "owner", "root")
FLAG_NAMES = (  # bit, element
    (1, "anyoneCanAddSelf"),
    (2, "guestsCanInviteOthers"),
    (4, "guestsCanModify"),
    (8, "guestsCanSeeGuests"),
)

HTML_302 = """<HTML>
<HEAD>
<TITLE>Moved Temporarily</TITLE>
</HEAD>
<BODY BGCOLOR="#FFFFFF" TEXT="#000000">
<H1>Moved Temporarily</H1>
The document has moved <A HREF="{href}">here</A>.
</BODY>
</HTML>
"""

HTML_ERROR = """<HTML>
<HEAD>
<TITLE>{title}</TITLE>
</HEAD>
<BODY BGCOLOR="#FFFFFF" TEXT="#000000">
<H1>{title}</H1>
<H2>Error {code}</H2>
</BODY>
</HTML>
"""


# ---------------------------------------------------------------------------
# Text helpers


def esc_text(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def esc_attr(text):
    return esc_text(text).replace("'", "&#39;").replace('"', "&quot;")


def attrs(pairs, alphabetical):
    """Single-quoted attributes; order as given or sorted by name."""
    items = sorted(pairs, key=lambda p: p[0]) if alphabetical else list(pairs)
    return "".join(" %s='%s'" % (k, esc_attr(v)) for k, v in items)


def new_eid():
    alphabet = string.ascii_lowercase[:22] + string.digits
    return "".join(random.choice(alphabet) for _ in range(26))


def parse_time(text):
    """RFC 3339 time or date to an aware UTC datetime; None when unreadable."""
    text = text.strip()
    try:
        if len(text) == 10:
            d = datetime.date.fromisoformat(text)
            return datetime.datetime(d.year, d.month, d.day, tzinfo=datetime.timezone.utc)
        if text.endswith("Z"):
            text = text[:-1] + "+00:00"
        value = datetime.datetime.fromisoformat(text)
        if value.tzinfo is None:
            value = value.replace(tzinfo=datetime.timezone.utc)
        return value.astimezone(datetime.timezone.utc)
    except ValueError:
        return None


def format_utc(value):
    return value.strftime("%Y-%m-%dT%H:%M:%S.") + "%03dZ" % (value.microsecond // 1000)


# ---------------------------------------------------------------------------
# State


class Fault:
    def __init__(self, seed):
        self.kind = seed.get("kind", "500")
        self.count = int(seed.get("count", 1))  # -1: every request
        self.path = seed.get("path", "")
        self.method = seed.get("method", "")
        self.seconds = float(seed.get("seconds", 0))
        self.code = int(seed.get("code", 500))
        self.body = seed.get("body", "")
        self.body_file = seed.get("body_file", "")
        self.content_type = seed.get("content_type", "text/html; charset=UTF-8")
        self.chunked = bool(seed.get("chunked", False))  # status: no Content-Length

    def matches(self, method, path):
        if self.count == 0:
            return False
        if self.method and self.method != method:
            return False
        return self.path in path


class State:
    def __init__(self):
        self.lock = threading.RLock()
        self.stop = threading.Event()
        self.generation = 0
        self.interrupt = threading.Event()
        self.reset()

    def reset(self):
        with self.lock:
            # A request held back by a fault of the case before must not
            # reach the state of the next one: it wakes and answers nothing.
            self.generation += 1
            self.interrupt.set()
            self.interrupt = threading.Event()
            self.accounts = {}  # email -> password
            self.tokens = {}  # token -> email
            self.calendars = {}  # calendar id -> calendar dict (insertion order kept)
            self.faults = []
            self.requests = []
            self.redirect = True
            self.horizon = None  # updated-min earlier than this gives 410
            self.clock = None  # fixed server time, advanced by one second per use
            self.sessions = 0
            self.held = 0  # requests a slow or stall fault holds now

    def now(self):
        with self.lock:
            if self.clock is None:
                return datetime.datetime.now(datetime.timezone.utc)
            value = self.clock
            self.clock = self.clock + datetime.timedelta(seconds=1)
            return value

    def take_fault(self, method, path):
        with self.lock:
            for fault in self.faults:
                if fault.matches(method, path):
                    if fault.count > 0:
                        fault.count -= 1
                    return fault
        return None


STATE = State()


def make_calendar(seed):
    cal_id = seed["id"]
    return {
        "id": cal_id,
        "title": seed.get("title", cal_id),
        "summary": seed.get("summary", ""),
        "color": seed.get("color", "#2952A3"),
        "accesslevel": seed.get("accesslevel", "owner"),
        "selected": seed.get("selected", True),
        "hidden": seed.get("hidden", False),
        "timezone": seed.get("timezone", "Asia/Tokyo"),
        "where": seed.get("where", ""),
        "author": seed.get("author", cal_id),
        "version": int(seed.get("version", 2)),
        "public": bool(seed.get("public", "holiday" in cal_id)),
        "updated": seed.get("updated", "2011-04-01T00:00:00.000Z"),
        # The accounts whose calendar list shows it; empty: every account.
        "accounts": list(seed.get("accounts", [])),
        "events": {},  # eid -> event dict, in insertion order
    }


def exception_eid(seed):
    """The service names an exception after its series and the UTC start of
    the occurrence it replaces: <series eid>_YYYYMMDDTHHMMSSZ."""
    start = parse_time(seed.get("original_start", ""))
    if not seed.get("original_eid") or start is None:
        return ""
    if len(seed["original_start"].strip()) == 10:
        return "%s_%s" % (seed["original_eid"], start.strftime("%Y%m%d"))
    return "%s_%s" % (seed["original_eid"], start.strftime("%Y%m%dT%H%M%SZ"))


def event_from_seed(seed, cal, now):
    eid = seed.get("eid") or exception_eid(seed) or new_eid()
    ev = {
        "eid": eid,
        "uid": seed.get("uid", eid + "@google.com"),
        "title": seed.get("title", ""),
        "content": seed.get("content", ""),
        "where": seed.get("where", ""),
        "start": seed.get("start", ""),
        "end": seed.get("end", ""),
        "status": seed.get("status", "confirmed"),
        "transparency": seed.get("transparency", "opaque"),
        "visibility": seed.get("visibility", "default"),
        "flags": int(seed.get("flags", 0)),
        "sequence": int(seed.get("sequence", 0)),
        "recurrence": seed.get("recurrence", ""),
        "reminders": [(r[0], int(r[1])) for r in seed.get("reminders", [])],
        "original_eid": seed.get("original_eid", ""),
        "original_start": seed.get("original_start", ""),
        # How gd:originalEvent names the series: "https" (the feed's own
        # address), "http" (the same with the scheme the service wrote in
        # its ids), "id" (the id attribute alone) or a whole address.
        "original_href": seed.get("original_href", "https"),
        "published": seed.get("published", format_utc(now)),
        "updated": seed.get("updated", format_utc(now)),
        "author_name": seed.get("author_name", cal["author"]),
        "author_email": seed.get("author_email", cal["id"]),
        "edits": 0,
    }
    return ev


# ---------------------------------------------------------------------------
# Documents


class Renderer:
    def __init__(self, base):
        self.base = base

    def feed_url(self, cal, kind="private"):
        return "%s/calendar/feeds/%s/%s/full" % (
            self.base, urllib.parse.quote(cal["id"], safe=""), kind)

    def edit_url(self, cal, ev):
        url = self.feed_url(cal) + "/" + ev["eid"]
        if cal["version"] == 1:
            url += "/%d" % (63400000000 + ev["edits"])
        return url

    def event_entry(self, cal, ev, standalone=False, public=False):
        v2 = cal["version"] == 2
        # Entries alternate between the older attribute order and the
        # alphabetical one the service used later.
        alpha = int(hashlib.md5(ev["eid"].encode()).hexdigest(), 16) % 2 == 0
        out = []
        head = "<entry"
        if standalone:
            head += attrs([("xmlns", ATOM), ("xmlns:app", APP), ("xmlns:gCal", GCAL),
                           ("xmlns:gd", GD)], False)
        if v2:
            etag = '"%s"' % hashlib.md5((ev["eid"] + ev["updated"]).encode()).hexdigest()[:20]
            head += attrs([("gd:etag", etag), ("gd:kind", "calendar#event")], False)
        out.append(head + ">")
        if v2:
            out.append("<id>%s/calendar/feeds/default/events/%s</id>" % (ID_HOST, ev["eid"]))
        else:
            out.append("<id>%s/calendar/feeds/%s/private/full/%s</id>" % (
                ID_HOST, urllib.parse.quote(cal["id"], safe=""), ev["eid"]))
        out.append("<published>%s</published><updated>%s</updated>" % (ev["published"],
                                                                       ev["updated"]))
        if v2:
            out.append("<app:edited>%s</app:edited>" % ev["updated"])
        out.append("<category scheme='%s#kind' term='%s#event'/>" % (GD, GD))
        out.append("<title type='text'>%s</title>" % esc_text(ev["title"]))
        if ev["content"]:
            out.append("<content type='text'>%s</content>" % esc_text(ev["content"]))
        else:
            out.append("<content type='text'/>")
        out.append("<link rel='alternate' type='text/html' href='%s/calendar/event?eid=%s' "
                   "title='alternate'/>" % (ID_HOST, ev["eid"]))
        if not public:
            out.append("<link rel='self' type='application/atom+xml' href='%s'/>" %
                       esc_attr(self.feed_url(cal) + "/" + ev["eid"]))
            out.append("<link rel='edit' type='application/atom+xml' href='%s'/>" %
                       esc_attr(self.edit_url(cal, ev)))
        out.append("<author><name>%s</name><email>%s</email></author>" % (
            esc_text(ev["author_name"]), esc_text(ev["author_email"])))
        if ev["original_eid"]:
            form = ev.get("original_href", "https")
            href = self.feed_url(cal) + "/" + ev["original_eid"]
            if form == "http":
                href = "http" + href[len("https"):] if href.startswith("https") else href
            elif form not in ("https", "id"):
                href = form
            pairs = [("id", ev["original_eid"])]
            if form != "id":
                pairs.append(("href", href))
            out.append("<gd:originalEvent%s><gd:when startTime='%s'/></gd:originalEvent>" % (
                attrs(pairs, False), ev["original_start"]))
        out.append("<gd:eventStatus value='%s#event.%s'/>" % (GD, ev["status"]))
        if not public:
            out.append("<gd:where valueString='%s'/>" % esc_attr(ev["where"]))
            out.append("<gd:who email='%s' rel='%s#event.organizer' valueString='%s'/>" % (
                esc_attr(ev["author_email"]), GD, esc_attr(ev["author_name"])))
        reminders = "".join(
            "<gd:reminder%s/>" % attrs([("minutes", str(m)), ("method", meth)], alpha)
            for meth, m in ev["reminders"])
        if ev["recurrence"]:
            out.append("<gd:recurrence>%s</gd:recurrence>" % esc_text(ev["recurrence"]))
            out.append(reminders)
        elif ev["start"]:
            when = attrs([("startTime", ev["start"]), ("endTime", ev["end"])], alpha)
            if reminders:
                out.append("<gd:when%s>%s</gd:when>" % (when, reminders))
            else:
                out.append("<gd:when%s/>" % when)
        if not public:
            out.append("<gd:transparency value='%s#event.%s'/>" % (GD, ev["transparency"]))
            out.append("<gd:visibility value='%s#event.%s'/>" % (GD, ev["visibility"]))
            for bit, name in FLAG_NAMES:
                out.append("<gCal:%s value='%s'/>" % (name, "true" if ev["flags"] & bit else
                                                       "false"))
            out.append("<gCal:sequence value='%d'/>" % ev["sequence"])
        out.append("<gCal:uid value='%s'/>" % esc_attr(ev["uid"]))
        out.append("</entry>")
        return "".join(out)

    def feed_head(self, cal, title, self_url, opensearch_v2):
        ns_os = OPENSEARCH_V2 if opensearch_v2 else OPENSEARCH_V1
        head = "<?xml version='1.0' encoding='UTF-8'?><feed" + attrs(
            [("xmlns", ATOM), ("xmlns:openSearch", ns_os), ("xmlns:gCal", GCAL),
             ("xmlns:gd", GD), ("xmlns:app", APP)], False)
        if opensearch_v2:
            head += " gd:etag='W/&quot;CkYFQ3w-fip7ImA9WhZRF0g.&quot;'"
        head += ">"
        head += "<id>%s</id>" % esc_text(self_url)
        head += "<updated>%s</updated>" % format_utc(STATE.now())
        head += "<category scheme='%s#kind' term='%s#event'/>" % (GD, GD)
        head += "<title type='text'>%s</title>" % esc_text(title)
        return head

    def calendar_list(self, email):
        out = [self.feed_head(None, "%s's Calendar List" % email,
                              self.base + "/calendar/feeds/default/allcalendars/full", True)]
        out.append("<author><name>%s</name><email>%s</email></author>" % (esc_text(email),
                                                                          esc_text(email)))
        out.append("<openSearch:startIndex>1</openSearch:startIndex>")
        for cal in STATE.calendars.values():
            if cal["accounts"] and email not in cal["accounts"]:
                continue
            q = urllib.parse.quote(cal["id"], safe="")
            out.append("<entry gd:etag='W/&quot;CEEDRX47eCp7JGA9WhFWEk0.&quot;' "
                       "gd:kind='calendar#calendar'>")
            out.append("<id>%s/calendar/feeds/default/calendars/%s</id>" % (ID_HOST, q))
            out.append("<published>%s</published><updated>%s</updated>" % (cal["updated"],
                                                                           cal["updated"]))
            out.append("<app:edited>%s</app:edited>" % cal["updated"])
            out.append("<title type='text'>%s</title>" % esc_text(cal["title"]))
            if cal["summary"]:
                out.append("<summary type='text'>%s</summary>" % esc_text(cal["summary"]))
            out.append("<content type='application/atom+xml' src='%s'/>" %
                       esc_attr(self.feed_url(cal)))
            out.append("<link rel='edit' type='application/atom+xml' href='%s'/>" % esc_attr(
                self.base + "/calendar/feeds/default/allcalendars/full/" + q))
            out.append("<author><name>%s</name></author>" % esc_text(cal["author"]))
            out.append("<gCal:accesslevel value='%s'/>" % cal["accesslevel"])
            out.append("<gCal:color value='%s'/>" % esc_attr(cal["color"]))
            out.append("<gCal:hidden value='%s'/>" % ("true" if cal["hidden"] else "false"))
            out.append("<gCal:selected value='%s'/>" % ("true" if cal["selected"] else "false"))
            out.append("<gCal:timezone value='%s'/>" % esc_attr(cal["timezone"]))
            if cal["where"]:
                out.append("<gd:where valueString='%s'/>" % esc_attr(cal["where"]))
            out.append("</entry>")
        out.append("</feed>")
        return "".join(out)

    def event_feed(self, cal, entries, total, start, per_page, next_url, public):
        v2 = cal["version"] == 2
        out = [self.feed_head(cal, cal["title"], self.feed_url(cal, "public" if public else
                                                                "private"), v2)]
        out.append("<link rel='http://schemas.google.com/g/2005#feed' "
                   "type='application/atom+xml' href='%s'/>" % esc_attr(self.feed_url(cal)))
        if next_url:
            out.append("<link rel='next' type='application/atom+xml' href='%s'/>" %
                       esc_attr(next_url))
        out.append("<author><name>%s</name></author>" % esc_text(cal["author"]))
        out.append("<openSearch:totalResults>%d</openSearch:totalResults>" % total)
        out.append("<openSearch:startIndex>%d</openSearch:startIndex>" % start)
        out.append("<openSearch:itemsPerPage>%d</openSearch:itemsPerPage>" % per_page)
        out.append("<gCal:timezone value='%s'/>" % esc_attr(cal["timezone"]))
        for ev in entries:
            out.append(self.event_entry(cal, ev, public=public))
        out.append("</feed>")
        return "".join(out)


# ---------------------------------------------------------------------------
# Reading posted entries


def read_entry(body):
    """Fields of a posted or put Atom entry; raises ValueError when unreadable."""
    try:
        root = ET.fromstring(body)
    except ET.ParseError as e:
        raise ValueError(str(e))
    if root.tag != "{%s}entry" % ATOM:
        raise ValueError("not an entry: " + root.tag)
    fields = {"reminders": []}

    def value(el):
        return el.get("value", "")

    for child in root:
        tag = child.tag
        if tag == "{%s}title" % ATOM:
            fields["title"] = child.text or ""
        elif tag == "{%s}content" % ATOM:
            fields["content"] = child.text or ""
        elif tag == "{%s}where" % GD:
            fields["where"] = child.get("valueString", "")
        elif tag == "{%s}eventStatus" % GD:
            fields["status"] = value(child).rpartition("#event.")[2]
        elif tag == "{%s}transparency" % GD:
            fields["transparency"] = value(child).rpartition("#event.")[2]
        elif tag == "{%s}visibility" % GD:
            fields["visibility"] = value(child).rpartition("#event.")[2]
        elif tag == "{%s}when" % GD and "start" not in fields:
            fields["start"] = child.get("startTime", "")
            fields["end"] = child.get("endTime", "")
            for rem in child:
                if rem.tag == "{%s}reminder" % GD:
                    fields["reminders"].append(rem)
        elif tag == "{%s}reminder" % GD:
            fields["reminders"].append(child)
        elif tag == "{%s}recurrence" % GD:
            fields["recurrence"] = child.text or ""
        elif tag == "{%s}sequence" % GCAL:
            fields["sequence"] = int(value(child) or "0")
        else:
            for bit, name in FLAG_NAMES:
                if tag == "{%s}%s" % (GCAL, name):
                    fields.setdefault("flags", 0)
                    if value(child) == "true":
                        fields["flags"] |= bit
    reminders = []
    for rem in fields["reminders"]:
        method = rem.get("method")
        if method is None:  # the calendar's default reminders
            reminders.append(("alert", 10))
        elif method != "none":
            reminders.append((method, int(rem.get("minutes", "0") or "0")))
    fields["reminders"] = reminders
    return fields


# ---------------------------------------------------------------------------
# HTTP


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "GSE"
    sys_version = ""

    def log_message(self, fmt, *args):  # quiet
        pass

    # -- plumbing ----------------------------------------------------------

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = b""
            while True:
                size = int(self.rfile.readline().strip().split(b";")[0], 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        length = int(self.headers.get("Content-Length", "0") or "0")
        return self.rfile.read(length) if length else b""

    def reply(self, code, body, content_type="text/plain; charset=UTF-8", headers=()):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("GData-Version", "2.6")
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def reply_chunked(self, code, body, content_type):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        for at in range(0, len(data), 65536):
            chunk = data[at:at + 65536]
            self.wfile.write(b"%x\r\n" % len(chunk) + chunk + b"\r\n")
        self.wfile.write(b"0\r\n\r\n")

    def reply_json(self, value, code=200):
        self.reply(code, json.dumps(value), "application/json")

    def reply_html_error(self, code, title):
        self.reply(code, HTML_ERROR.format(code=code, title=title), "text/html; charset=UTF-8")

    def base(self):
        return "https://127.0.0.1:%d" % self.server.server_address[1]

    def handle_any(self):
        body = self.read_body()
        url = urllib.parse.urlsplit(self.path)
        if url.path.startswith("/_control/"):
            return self.control(url, body)
        with STATE.lock:
            STATE.requests.append({
                "method": self.command,
                "target": self.path,
                "headers": [[k, v] for k, v in self.headers.items()],
                "body": body.decode("utf-8", "replace"),
            })
        fault = STATE.take_fault(self.command, self.path)
        if fault is not None and self.apply_fault(fault):
            return
        self.service(url, body)

    do_GET = do_POST = do_PUT = do_DELETE = handle_any

    def hold(self, seconds):
        """Waits `seconds`, or less when the server stops or is reset; True
        when a reset came meanwhile."""
        with STATE.lock:
            generation = STATE.generation
            interrupt = STATE.interrupt
            STATE.held += 1
        deadline = time.monotonic() + seconds
        while not STATE.stop.is_set() and not interrupt.is_set():
            left = deadline - time.monotonic()
            if left <= 0:
                break
            interrupt.wait(min(left, 0.1))
        with STATE.lock:
            if STATE.generation == generation:
                STATE.held -= 1
            return STATE.generation != generation

    def apply_fault(self, fault):
        """Returns True when the fault answered the request itself."""
        if fault.kind == "slow":
            if self.hold(fault.seconds):
                self.close_connection = True
                return True
            return False
        if fault.kind == "401":
            self.reply_html_error(401, "Authorization required")
            return True
        if fault.kind == "expire":  # every token so far stops working
            with STATE.lock:
                STATE.tokens.clear()
            return False
        if fault.kind == "500":
            self.reply_html_error(500, "Internal Server Error")
            return True
        if fault.kind == "status":
            body = fault.body
            if fault.body_file:
                with open(fault.body_file, "rb") as f:
                    body = f.read()
            if fault.chunked:
                self.reply_chunked(fault.code, body, fault.content_type)
            else:
                self.reply(fault.code, body, fault.content_type)
            return True
        if fault.kind == "conflict":  # the entry changed on the service meanwhile
            if fault.code == 409:  # answered with the service's current entry
                parts = urllib.parse.urlsplit(self.path).path.split("/")
                with STATE.lock:
                    cal = STATE.calendars.get(urllib.parse.unquote(parts[3])) \
                        if len(parts) > 6 else None
                    ev = cal["events"].get(parts[6]) if cal else None
                    text = Renderer(self.base()).event_entry(cal, ev, standalone=True) \
                        if ev else ""
                self.reply(409, "<?xml version='1.0' encoding='UTF-8'?>" + text,
                           "application/atom+xml; charset=UTF-8; type=entry")
            else:
                self.reply(fault.code, "Precondition Failed: the entry has changed",
                           "text/plain")
            return True
        if fault.kind == "stall":  # headers and half a body, then silence
            data = ("<?xml version='1.0' encoding='UTF-8'?><feed xmlns='%s'>" % ATOM).encode()
            self.send_response(200)
            self.send_header("Content-Type", "application/atom+xml; charset=UTF-8")
            self.send_header("Content-Length", str(len(data) * 2))
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
            self.hold(fault.seconds)
            self.close_connection = True
            return True
        if fault.kind == "cut":
            data = ("<?xml version='1.0' encoding='UTF-8'?><feed xmlns='%s'>" % ATOM +
                    "<entry>" * 200).encode()
            self.send_response(200)
            self.send_header("Content-Type", "application/atom+xml; charset=UTF-8")
            self.send_header("Content-Length", str(len(data) * 4))
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
            self.close_connection = True
            self.connection.shutdown(2)
            return True
        return False

    # -- the service -------------------------------------------------------

    def authorised(self):
        value = self.headers.get("Authorization", "")
        prefix = "GoogleLogin auth="
        with STATE.lock:
            return value.startswith(prefix) and value[len(prefix):] in STATE.tokens

    def service(self, url, body):
        path = url.path
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        if path == "/accounts/ClientLogin" and self.command == "POST":
            return self.client_login(body)
        parts = path.split("/")
        # /calendar/feeds/<cal>/<visibility>/full[/<eid>[/<version>]]
        if len(parts) < 6 or parts[1] != "calendar" or parts[2] != "feeds" or parts[5] != "full":
            return self.reply_html_error(404, "Not Found")
        cal_key = urllib.parse.unquote(parts[3])
        visibility = parts[4]
        public = visibility == "public"
        if not public and not self.authorised():
            return self.reply_html_error(401, "Authorization required")
        if STATE.redirect and "gsessionid" not in query:
            with STATE.lock:
                STATE.sessions += 1
                session = "S%08dx%s" % (STATE.sessions, new_eid()[:10])
            location = self.base() + self.path + ("&" if url.query else "?") + \
                "gsessionid=" + session
            self.send_response(302, "Moved Temporarily")
            page = HTML_302.format(href=location).encode()
            self.send_header("Location", location)
            self.send_header("Content-Type", "text/html; charset=UTF-8")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
            return
        if cal_key == "default" and visibility == "allcalendars":
            if self.command != "GET":
                return self.reply_html_error(405, "Method Not Allowed")
            return self.calendar_list()
        with STATE.lock:
            cal = STATE.calendars.get(cal_key)
            if cal is None and cal_key == "default" and STATE.calendars:
                cal = next(iter(STATE.calendars.values()))
        if cal is None or (public and not cal["public"]):
            return self.reply(404, "Calendar not found", "text/plain")
        eid = parts[6] if len(parts) > 6 else ""
        if self.command == "GET" and not eid:
            return self.event_feed(cal, query, public)
        if public:
            return self.reply_html_error(403, "Forbidden")
        if self.command == "POST" and not eid:
            return self.insert_event(cal, body)
        if self.command == "PUT" and eid:
            return self.update_event(cal, eid, body)
        if self.command == "DELETE" and eid:
            return self.delete_event(cal, eid)
        if self.command == "GET" and eid:
            with STATE.lock:
                ev = cal["events"].get(eid)
                if ev is None:
                    return self.reply(404, "Not found", "text/plain")
                text = Renderer(self.base()).event_entry(cal, ev, standalone=True)
            return self.reply(200, "<?xml version='1.0' encoding='UTF-8'?>" + text,
                              "application/atom+xml; charset=UTF-8; type=entry")
        return self.reply_html_error(405, "Method Not Allowed")

    def client_login(self, body):
        form = urllib.parse.parse_qs(body.decode("utf-8", "replace"), keep_blank_values=True)
        email = form.get("Email", [""])[0]
        password = form.get("Passwd", [""])[0]
        service = form.get("service", [""])[0]
        with STATE.lock:
            ok = service == "cl" and email in STATE.accounts and \
                STATE.accounts[email] == password
            if ok:
                token = "DQAAA" + hashlib.sha1((email + new_eid()).encode()).hexdigest()
                STATE.tokens[token] = email
        if not ok:
            return self.reply(403, "Error=BadAuthentication\n", "text/plain")
        text = "SID=DQAAAsid%s\nLSID=DQAAAlsid%s\nAuth=%s\n" % (new_eid(), new_eid(), token)
        self.reply(200, text, "text/plain", [("Cache-control", "no-cache, no-store")])

    def calendar_list(self):
        value = self.headers.get("Authorization", "")[len("GoogleLogin auth="):]
        with STATE.lock:
            email = STATE.tokens.get(value, "")
            text = Renderer(self.base()).calendar_list(email)
        self.reply(200, text, "application/atom+xml; charset=UTF-8; type=feed")

    def event_feed(self, cal, query, public):
        def arg(name, default=""):
            return query.get(name, [default])[0]

        try:
            per_page = int(arg("max-results", "25"))
            start = int(arg("start-index", "1"))
        except ValueError:
            return self.reply(400, "Invalid value for max-results or start-index", "text/plain")
        show_deleted = arg("showdeleted") == "true"
        updated_min = parse_time(arg("updated-min")) if arg("updated-min") else None
        if arg("updated-min") and updated_min is None:
            return self.reply(400, "Invalid updated-min: " + arg("updated-min"), "text/plain")
        start_min = parse_time(arg("start-min")) if arg("start-min") else None
        start_max = parse_time(arg("start-max")) if arg("start-max") else None
        with STATE.lock:
            if updated_min is not None and STATE.horizon is not None and \
                    updated_min < STATE.horizon:
                return self.reply(410, "The value of updated-min is too far in the past.",
                                  "text/plain")
            chosen = []
            for ev in cal["events"].values():
                if ev["status"] == "canceled" and not show_deleted:
                    continue
                if updated_min is not None and parse_time(ev["updated"]) < updated_min:
                    continue
                if start_min is not None or start_max is not None:
                    begin = parse_time(ev["start"]) if ev["start"] else None
                    if begin is None:
                        continue
                    if len(ev["start"]) == 10:  # a date: compare dates in the query's zone
                        day = begin.date()
                        if start_min is not None and day < self.local_date(arg("start-min")):
                            continue
                        if start_max is not None and day >= self.local_date(arg("start-max")):
                            continue
                    else:
                        if start_min is not None and begin < start_min:
                            continue
                        if start_max is not None and begin >= start_max:
                            continue
                chosen.append(ev)
            total = len(chosen)
            page = chosen[start - 1:start - 1 + per_page]
            next_url = ""
            if start - 1 + per_page < total:
                params = [("start-index", str(start + per_page)), ("max-results", str(per_page))]
                params += [(k, v[0]) for k, v in query.items()
                           if k not in ("start-index", "max-results", "gsessionid")]
                renderer = Renderer(self.base())
                next_url = renderer.feed_url(cal, "public" if public else "private") + "?" + \
                    "&".join("%s=%s" % (k, urllib.parse.quote(v, safe=":")) for k, v in params)
            text = Renderer(self.base()).event_feed(cal, page, total, start, per_page, next_url,
                                                    public)
        self.reply(200, text, "application/atom+xml; charset=UTF-8; type=feed")

    @staticmethod
    def local_date(text):
        return datetime.date.fromisoformat(text.strip()[:10])

    def insert_event(self, cal, body):
        try:
            fields = read_entry(body.decode("utf-8"))
        except (ValueError, UnicodeDecodeError) as e:
            return self.reply(400, "[Line 1, Column 0, element entry] " + str(e), "text/plain")
        with STATE.lock:
            now = format_utc(STATE.now())
            fields.pop("sequence", None)
            seed = dict(fields, published=now, updated=now, sequence=0)
            ev = event_from_seed(seed, cal, STATE.now())
            ev["published"] = ev["updated"] = now
            cal["events"][ev["eid"]] = ev
            renderer = Renderer(self.base())
            text = renderer.event_entry(cal, ev, standalone=True)
            edit = renderer.edit_url(cal, ev)
        self.reply(201, "<?xml version='1.0' encoding='UTF-8'?>" + text,
                   "application/atom+xml; charset=UTF-8; type=entry",
                   [("Location", edit), ("Content-Location", edit)])

    def update_event(self, cal, eid, body):
        if "If-Match" not in self.headers:
            return self.reply(403, "If-Match or If-None-Match header or entry etag attribute "
                              "required", "text/plain")
        try:
            fields = read_entry(body.decode("utf-8"))
        except (ValueError, UnicodeDecodeError) as e:
            return self.reply(400, "[Line 1, Column 0, element entry] " + str(e), "text/plain")
        with STATE.lock:
            ev = cal["events"].get(eid)
            if ev is None:
                return self.reply(404, "Not found", "text/plain")
            sent_sequence = fields.pop("sequence", ev["sequence"])
            for key, val in fields.items():
                ev[key] = val
            if "recurrence" not in fields:
                ev["recurrence"] = ""
            ev["sequence"] = max(ev["sequence"], sent_sequence) + 1
            ev["updated"] = format_utc(STATE.now())
            ev["edits"] += 1
            text = Renderer(self.base()).event_entry(cal, ev, standalone=True)
        self.reply(200, "<?xml version='1.0' encoding='UTF-8'?>" + text,
                   "application/atom+xml; charset=UTF-8; type=entry")

    def delete_event(self, cal, eid):
        with STATE.lock:
            ev = cal["events"].get(eid)
            if ev is None:
                return self.reply(404, "Not found", "text/plain")
            ev["status"] = "canceled"
            ev["sequence"] += 1
            ev["updated"] = format_utc(STATE.now())
        self.reply(200, "", "text/plain")

    # -- control -----------------------------------------------------------

    def control(self, url, body):
        name = url.path[len("/_control/"):]
        query = urllib.parse.parse_qs(url.query)
        try:
            seed = json.loads(body.decode("utf-8")) if body else {}
        except ValueError:
            return self.reply(400, "bad json", "text/plain")
        with STATE.lock:
            if name == "ping":
                return self.reply(200, "ok")
            if name == "reset":
                STATE.reset()
                return self.reply_json({})
            if name == "account":
                STATE.accounts[seed["email"]] = seed["password"]
                return self.reply_json({})
            if name == "calendar":
                cal = make_calendar(seed)
                STATE.calendars[cal["id"]] = cal
                renderer = Renderer(self.base())
                return self.reply_json({"feed": renderer.feed_url(cal),
                                        "public": renderer.feed_url(cal, "public")})
            if name == "event":
                cal = STATE.calendars[seed["calendar"]]
                count = int(seed.get("count", 1))
                made = []
                for i in range(count):
                    one = dict(seed)
                    if count > 1:
                        one["title"] = "%s %d" % (seed.get("title", ""), i + 1)
                        one.pop("eid", None)
                    ev = event_from_seed(one, cal, STATE.now())
                    cal["events"][ev["eid"]] = ev
                    made.append(ev)
                renderer = Renderer(self.base())
                ev = made[-1]
                return self.reply_json({"eid": ev["eid"], "edit": renderer.edit_url(cal, ev),
                                        "id": "%s/calendar/feeds/default/events/%s" % (
                                            ID_HOST, ev["eid"])})
            if name == "events":
                cal = STATE.calendars[query["calendar"][0]]
                return self.reply_json(list(cal["events"].values()))
            if name == "fault":
                STATE.faults.append(Fault(seed))
                return self.reply_json({})
            if name == "clear-faults":
                STATE.faults = []
                return self.reply_json({})
            if name == "horizon":
                STATE.horizon = parse_time(seed["updated_min"]) if seed.get("updated_min") \
                    else None
                return self.reply_json({})
            if name == "redirect":
                STATE.redirect = bool(seed.get("enabled", True))
                return self.reply_json({})
            if name == "clock":
                STATE.clock = parse_time(seed["now"]) if seed.get("now") else None
                return self.reply_json({})
            if name == "requests":
                if self.command == "DELETE":
                    STATE.requests = []
                    return self.reply_json({})
                return self.reply_json(STATE.requests)
            if name == "request":
                # One recorded request as plain text: the request line, the
                # header lines in arrival order, a blank line, the body.
                index = int(query.get("index", ["-1"])[0])
                if not STATE.requests or index >= len(STATE.requests) or \
                        index < -len(STATE.requests):
                    return self.reply(404, "no such request", "text/plain")
                r = STATE.requests[index]
                text = "%s %s\n" % (r["method"], r["target"])
                text += "".join("%s: %s\n" % (k, v) for k, v in r["headers"])
                text += "\n" + r["body"]
                return self.reply(200, text)
            if name == "count":
                return self.reply(200, str(len(STATE.requests)))
            if name == "held":
                return self.reply(200, str(STATE.held))
            if name == "shutdown":
                STATE.stop.set()
                threading.Thread(target=self.server.shutdown, daemon=True).start()
                return self.reply_json({})
        return self.reply(404, "unknown control " + name, "text/plain")


# ---------------------------------------------------------------------------
# Certificates and start-up


CERT_FILES = ("ca.pem", "server.pem", "server.key")


def make_certificates(folder, days=2):
    """A CA and a certificate for 127.0.0.1 signed by it, made in a fresh
    folder beside `folder` and moved into place, so that a reader sees all of
    them or none."""
    os.makedirs(folder, exist_ok=True)
    work = os.path.join(folder, ".making-%d" % os.getpid())
    os.makedirs(work, exist_ok=True)
    make_certificates_in(work, days)
    for name in CERT_FILES:
        os.replace(os.path.join(work, name), os.path.join(folder, name))
    for name in os.listdir(work):
        os.remove(os.path.join(work, name))
    os.rmdir(work)


def have_certificates(folder):
    return all(os.path.exists(os.path.join(folder, name)) for name in CERT_FILES)


def make_certificates_in(folder, days):
    def run(*args):
        subprocess.run(["openssl"] + list(args), cwd=folder, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", str(days),
        "-subj", "/CN=Daymark Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(folder, "server.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
        "-CAcreateserial", "-out", "server.pem", "-days", str(days), "-extfile", "server.ext")


class TlsServer(ThreadingHTTPServer):
    """Plain accept; the TLS handshake runs in the connection's own thread so
    that a client that never finishes it cannot stall the others."""

    daemon_threads = True

    def __init__(self, address, handler, context):
        super().__init__(address, handler)
        self.context = context

    def finish_request(self, request, client_address):
        request.settimeout(30)
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        request.settimeout(None)
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):  # a client hung up: nothing to say
        pass


def stop_detached(folder):
    """SIGTERM to the stand-in whose process id FOLDER/pid holds, then waits
    (10 s at most) until it has taken its port file away."""
    pid_file = os.path.join(folder, "pid")
    port_file = os.path.join(folder, "port")
    try:
        with open(pid_file) as f:
            pid = int(f.read().strip() or "0")
    except (OSError, ValueError):
        return 0
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            ours = b"standin.py" in f.read()
    except OSError:
        ours = False
    if pid > 0 and ours:
        try:
            os.kill(pid, signal.SIGTERM)
        except OSError:
            pass
        deadline = time.monotonic() + 10
        while os.path.exists(port_file) and time.monotonic() < deadline:
            time.sleep(0.02)
    for name in ("port", "pid"):
        try:
            os.remove(os.path.join(folder, name))
        except OSError:
            pass
    return 0


def detach(folder):
    """Forks; the parent returns once the child has written the port file
    (exits 1 when the child ended first or 30 s passed), the child goes on
    as a session of its own with its output sent nowhere."""
    port_file = os.path.join(folder, "port")
    pid = os.fork()
    if pid > 0:
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file):
            if os.waitpid(pid, os.WNOHANG)[0] == pid or time.monotonic() > deadline:
                sys.exit(1)
            time.sleep(0.02)
        sys.exit(0)
    os.setsid()
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    os.close(null)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir")
    parser.add_argument("--certs")
    parser.add_argument("--detach", action="store_true")
    parser.add_argument("--make-certificates", metavar="CERTS")
    parser.add_argument("--stop", metavar="FOLDER")
    args = parser.parse_args()
    if args.make_certificates:
        # Kept by the build folder for as long as it lives.
        make_certificates(args.make_certificates, days=3650)
        return 0
    if args.stop:
        return stop_detached(args.stop)
    if not args.dir:
        parser.error("--dir is required")
    os.makedirs(args.dir, exist_ok=True)
    certs = args.certs or args.dir
    if not have_certificates(certs):
        make_certificates(certs)
    if args.detach:
        stop_detached(args.dir)  # one left behind by a run that was cut short
        detach(args.dir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(certs, "server.pem"),
                            os.path.join(certs, "server.key"))
    server = TlsServer(("127.0.0.1", 0), Handler, context)

    def stop(signum, frame):
        STATE.stop.set()
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    port_file = os.path.join(args.dir, "port")
    with open(os.path.join(args.dir, "pid"), "w") as f:
        f.write(str(os.getpid()))
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever(poll_interval=0.1)
    server.server_close()
    try:
        os.remove(port_file)
    except OSError:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
