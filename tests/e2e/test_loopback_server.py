"""The loopback server's faults behave as the end-to-end tests expect."""
import http.client
import os
import tempfile
import threading
import unittest

from loopback_server import Fault, LoopbackServer, RequestTiming, most_at_once


class LoopbackServerTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp()
        os.makedirs(os.path.join(self.root, "Data"))
        with open(os.path.join(self.root, "Data", "a.bin"), "wb") as f:
            f.write(b"x" * 5000)
        self.server = LoopbackServer(self.root, lifetime=60)
        self.server.start()
        self.addCleanup(self.server.stop)

    def get(self, path):
        connection = http.client.HTTPConnection("127.0.0.1", self.server._server.server_address[1], timeout=10)
        connection.request("GET", path)
        response = connection.getresponse()
        try:
            body = response.read()
        except http.client.IncompleteRead as cut:
            body = cut.partial
        return response.status, response.getheader("Content-Length"), body

    def test_files_documents_and_faults(self):
        self.server.documents["/api/return.php?token=abc"] = b"{}"
        self.server.faults["/Data/cut.bin"] = Fault(cut_after=1000)
        self.server.faults["/gone"] = Fault(status=404)
        cases = [
            ("/Data/a.bin", 200, "5000", 5000),
            ("/api/return.php?token=abc", 200, "2", 2),
            ("/missing", 404, None, None),
            ("/gone", 404, None, None),
            ("/../etc/passwd", 404, None, None),
        ]
        for path, status, length, body_length in cases:
            with self.subTest(path=path):
                got_status, got_length, body = self.get(path)
                self.assertEqual(got_status, status)
                if length is not None:
                    self.assertEqual((got_length, len(body)), (length, body_length))

    def test_cut_and_overlong_bodies(self):
        self.server.faults["/Data/a.bin"] = Fault(cut_after=1000)
        self.assertEqual(self.get("/Data/a.bin")[1:], ("5000", b"x" * 1000))
        self.server.faults["/Data/a.bin"] = Fault(extra_length=100)
        self.assertEqual(self.get("/Data/a.bin")[1:], ("5100", b"x" * 5000))
        self.assertEqual(self.server.requests, ["/Data/a.bin", "/Data/a.bin"])

    def test_answer_delay_and_request_timings(self):
        self.server.answer_delay = 0.3
        fetches = [threading.Thread(target=self.get, args=("/Data/a.bin",)) for _ in range(3)]
        for fetch in fetches:
            fetch.start()
        for fetch in fetches:
            fetch.join()
        self.assertEqual(len(self.server.timings), 3)
        for timing in self.server.timings:
            self.assertGreaterEqual(timing.end - timing.start, 0.3)
        self.assertEqual(most_at_once(self.server.timings), 3, "the delays run side by side")

    def test_most_at_once(self):
        cases = [
            ([], 0),
            ([(0, 1), (2, 3)], 1),
            ([(0, 1), (1, 2)], 1),  # one ends as the next starts
            ([(0, 3), (1, 2), (1.5, 4)], 3),
            ([(0, None), (5, 6)], 2),  # still being answered
        ]
        for spans, most in cases:
            with self.subTest(spans=spans):
                self.assertEqual(most_at_once([RequestTiming("/", start, end) for start, end in spans]), most)


if __name__ == "__main__":
    unittest.main()
