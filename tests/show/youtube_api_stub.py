#!/usr/bin/env python3
"""A local stand-in for the YouTube Data API v3 over HTTPS, for the chat source's test: one live
video whose chat pages come in order (the messages already there, then new ones, a quota
refusal, then the chat's end). Listens on loopback only, writes its port to PORT_FILE, and stops
by itself after a minute.

usage: youtube_api_stub.py CERT KEY PORT_FILE
"""
import http.server
import json
import ssl
import sys
import threading
import urllib.parse

KEY = "test-key"


def message(kind, channel, name, **snippet):
    return {"snippet": {"type": kind, **snippet},
            "authorDetails": {"channelId": channel, "displayName": name}}


PAGES = {
    "": {"nextPageToken": "p1", "pollingIntervalMillis": 50, "items": [
        message("textMessageEvent", "UCold", "Old", textMessageDetails={"messageText": "before"})]},
    "p1": {"nextPageToken": "p2", "pollingIntervalMillis": 50, "items": [
        message("textMessageEvent", "UCann", "Ann", textMessageDetails={"messageText": "B"}),
        message("superChatEvent", "UCbo", "Bo",
                superChatDetails={"amountMicros": "5000000", "currency": "EUR"}),
        message("superStickerEvent", "UCcy", "Cy",
                superStickerDetails={"amountMicros": "2000000", "currency": "JPY"}),
        {"snippet": {"type": "textMessageEvent"}},
        message("newSponsorEvent", "UCdd", "Dd")]},
    "p2": {"nextPageToken": "p3", "pollingIntervalMillis": 50, "items": [
        message("textMessageEvent", "UCann", "Ann", displayMessage="after the quota"),
        {"snippet": {"type": "chatEndedEvent"}}]},
}
refused_once = set()


class Api(http.server.BaseHTTPRequestHandler):
    def answer(self, status, body):
        data = json.dumps(body).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if query.get("key") != KEY:
            return self.answer(400, {"error": {"errors": [{"reason": "keyInvalid"}]}})
        if url.path == "/youtube/v3/videos":
            details = {"activeLiveChatId": "chat/1+="} if query.get("id") == "live1" else {}
            return self.answer(200, {"items": [{"liveStreamingDetails": details}]})
        if url.path == "/youtube/v3/liveChat/messages" and query.get("liveChatId") == "chat/1+=":
            token = query.get("pageToken", "")
            if token == "p2" and token not in refused_once:
                refused_once.add(token)
                return self.answer(403, {"error": {"errors": [{"reason": "quotaExceeded"}]}})
            if token in PAGES:
                return self.answer(200, PAGES[token])
        self.answer(404, {"error": {"errors": [{"reason": "liveChatNotFound"}]}})

    def log_message(self, *args):
        pass


def main():
    cert, key, port_file = sys.argv[1:4]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Api)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Timer(60, server.shutdown).start()
    with open(port_file + ".tmp", "w") as out:
        out.write(str(server.server_address[1]))
    import os
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
