"""Checks one soak run from what it left behind; prints the findings, exits 1 on a fault.
   python3 check.py IMAGES SERVERLOG POSTING CLILOG HISTORY [KILLS]
IMAGES the folder of pictures (list order is name order), SERVERLOG the flaky host's log,
POSTING lumar-cli's stdout, CLILOG its stderr, HISTORY the history.sqlite, KILLS a file with
one line per kill: the number of images the host had taken by then that the history lacked."""
import collections
import hashlib
import os
import re
import sqlite3
import sys

images_dir, server_log, posting_file, cli_log, history_file = sys.argv[1:6]
kills_file = sys.argv[6] if len(sys.argv) > 6 else None
faults = []

names = sorted(n for n in os.listdir(images_dir) if n.endswith(".jpg"))
digest_of = {}
for n in names:
    with open(os.path.join(images_dir, n), "rb") as f:
        digest_of[n] = hashlib.sha256(f.read()).hexdigest()

requests = collections.defaultdict(list)  # name -> outcomes in order
taken = collections.Counter()             # digest -> answers "ok"
for line in open(server_log):
    number, outcome, digest, name = line.split(" ", 3)
    requests[name.strip()].append(outcome)
    if outcome == "ok":
        taken[digest] += 1

posting = open(posting_file, encoding="utf-8", errors="replace").read()
posted = re.findall(r"https://i\.soak\.test/[0-9a-f]{16}/([^\[\]\"<>\s)]+)", posting)
# A linked thumbnail names the image twice; a posting lists each image once in its order.
ordered = []
for n in posted:
    if not ordered or ordered[-1] != n:
        ordered.append(n)
uploaded = set(ordered)
expected_order = [n for n in names if n in uploaded]
if ordered != expected_order:
    faults.append("the posting is not in list order or names an image twice")
if uploaded - set(names):
    faults.append("the posting names %d images that do not exist" % len(uploaded - set(names)))

log_lines = open(cli_log, encoding="utf-8", errors="replace").read().splitlines()
last_line = {}
for line in log_lines:
    for match in re.finditer(r"(img\d+\.jpg)", line):
        last_line[match.group(1)] = line
failed = [n for n in names if n not in uploaded]
without_reason = [n for n in failed if not re.search(r"\.\.\..*\(.+\)", last_line.get(n, ""))]
if without_reason:
    faults.append("%d images neither uploaded nor failed with a reason, e.g. %s"
                  % (len(without_reason), without_reason[:3]))
refused = [n for n in names if int(digest_of[n], 16) % 100 == 0]
if set(refused) & uploaded:
    faults.append("an image the host always refuses is in the posting")
lost = [n for n in failed if taken[digest_of[n]] and n not in refused]
if lost:
    faults.append("%d images the host took ended failed (e.g. %s)" % (len(lost), lost[:3]))

history = collections.Counter()
if os.path.exists(history_file):
    db = sqlite3.connect("file:%s?mode=ro" % history_file, uri=True)
    table, column = None, None
    for (t,) in db.execute("SELECT name FROM sqlite_master WHERE type='table'"):
        cols = [c[1] for c in db.execute("PRAGMA table_info(%s)" % t)]
        sha = [c for c in cols if "original" in c.lower() and "sha" in c.lower()] or \
              [c for c in cols if "sha" in c.lower()]
        if sha:
            table, column = t, sha[0]
            break
    if table:
        for (d,) in db.execute("SELECT %s FROM %s" % (column, table)):
            history[d] += 1
    else:
        faults.append("the history has no table with a file hash")
else:
    faults.append("there is no history file")
twice = [n for n in uploaded if history[digest_of[n]] != 1]
if twice:
    faults.append("%d uploaded images are not in the history exactly once" % len(twice))

transient = sum(1 for o in requests.values() for x in o if x in ("reset", "502", "429"))
sent_again = sum(c - 1 for c in taken.values() if c > 1)
print("images %d: uploaded %d, failed %d (refused by the host for good %d, other %d)"
      % (len(names), len(uploaded), len(failed), len(refused), len(failed) - len(refused)))
print("requests %d, passing failures served %d, images taken twice by the host %d"
      % (sum(len(o) for o in requests.values()), transient, sent_again))
if kills_file:
    in_flight = [int(x) for x in open(kills_file).read().split()]
    print("kills %d, images taken but not yet in the history at each kill %s (sum %d)"
          % (len(in_flight), in_flight, sum(in_flight)))
    if sent_again > sum(in_flight):
        faults.append("%d images were sent again, more than the %d in flight at the kills"
                      % (sent_again, sum(in_flight)))
elif sent_again:
    faults.append("%d images were taken twice by the host without a kill" % sent_again)
for fault in faults:
    print("FAULT: " + fault)
sys.exit(1 if faults else 0)
