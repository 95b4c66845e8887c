#!/usr/bin/env python3
"""A modern gallery in a real browser.

Writes a modern gallery (framzo --gallery --theme modern --originals) of
photo-like pictures, landscape and portrait, one turned by its EXIF
orientation, with EXIF dates, GPS positions and serial numbers; checks the
files (no published JPEG over 2048 pixels but the originals, no GPS position,
serial number or maker note in any published file, read back with exiv2),
then opens the pages in headless Chromium, driven through its DevTools
protocol over a pipe, at a phone's 390 x 844 and a desktop's 1366 x 768:
no page scrolls sideways, every image loads, the photo of each image page
fits the screen, the next links walk the whole gallery in order and the
previous links walk it back, the arrow keys (desktop) and a swipe (phone)
step too, and dark mode changes the colours; at 320 x 568 and 2560 x 1440
the index and the first image page fit too. Screenshots of the index and an
image page at the phone's and the desktop's width go into SHOTS.

Usage: e2e_gallery_browser.py FRAMZO [SHOTS]
Exit status: 0 passed, 1 failed, 77 skipped (no browser that runs).
"""
import base64
import fcntl
import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
VIEWPORTS = {
    # name: (width, height, device pixel ratio, mobile, walk every page)
    "phone": (390, 844, 2, True, True),
    "desktop": (1366, 768, 1, False, True),
    # The narrowest and the widest screens the pages are made for: the index
    # and the first image page.
    "small phone": (320, 568, 2, True, False),
    "large desktop": (2560, 1440, 1, False, False),
}
GPS_TEXT = ("GPS", "SerialNumber", "MakerNote")


class Failed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failed(message)


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kw)


# ---- the photos ---------------------------------------------------------------

PHOTOS = [
    # file name, width and height as stored, sky, hills, land, EXIF orientation
    ("Harbour at dusk.jpg", 3000, 2000, ("#2b5d9c", "#f6b26b"), "#4a5a7a", "#2f3f2a", 1),
    # Stored lying on its side, as cameras do: shows upright as 2000 x 3000.
    ("IMG_0002.JPG", 3000, 2000, ("#7fb2e5", "#e8f1fa"), "#6b7f5a", "#3d5a2a", 6),
    ("Tall pines.jpg", 1800, 2700, ("#0d1b3d", "#c0587e"), "#2a2440", "#141a12", 1),
    ("Ünïcødé & <b> жара.png", 1600, 1200, ("#f0c27b", "#4b1248"), "#5e3b52", "#2b2233", 1),
    ("small, with comma.jpg", 800, 600, ("#9fd3f0", "#ffffff"), "#8a9a7b", "#55703f", 1),
]
COPIES = 10  # further names for the same pictures: more thumbnails than a screen shows


def landscape(path, seed, w, h, sky, hills, land, turned):
    """A sky, a sun, hills and land with a film of texture: a picture that
    looks like a photo, made in a few seconds. turned: drawn upright for a
    photo stored lying on its side."""
    if turned:
        w, h = h, w
    def poly(points):
        return "polygon " + " ".join(f"{int(x * w)},{int(y * h)}" for x, y in points)
    args = ["convert", "-size", f"{w}x{h}", f"gradient:{sky[0]}-{sky[1]}",
            "-fill", "#fff4c2", "-draw", f"circle {int(0.7 * w)},{int(0.38 * h)} {int(0.7 * w)},{int(0.38 * h + 0.05 * min(w, h))}",
            "-fill", hills, "-draw", poly([(0, .62), (.17, .41), (.3, .55), (.5, .33), (.7, .57), (.87, .45), (1, .57),
                                          (1, 1), (0, 1)]),
            "-fill", land, "-draw", poly([(0, .75), (.23, .65), (.47, .72), (.73, .64), (1, .72), (1, 1), (0, 1)]),
            "(", "-seed", str(seed), "-size", f"{max(1, w // 4)}x{max(1, h // 4)}", "plasma:grey40-grey60",
            "-colorspace", "gray", "-resize", f"{w}x{h}!", ")", "-compose", "soft-light", "-composite"]
    if turned:
        args += ["-rotate", "-90"]  # stored on its side; orientation 6 turns it back
    r = run(args + ["-quality", "90", path])
    check(r.returncode == 0, f"convert failed: {r.stderr}")


def make_photos(folder):
    """The photos' names, in gallery order, and those of at most 1024 pixels
    (their pages have one copy, no srcset)."""
    names, small = [], set()
    for i, (name, w, h, sky, hills, land, orientation) in enumerate(PHOTOS):
        path = os.path.join(folder, name)
        landscape(path, 10 + i, w, h, sky, hills, land, orientation == 6)
        args = ["exiftool", "-q", "-overwrite_original", "-Make=Canon", "-Model=Canon EOS R6",
                f"-DateTimeOriginal=2024:05:0{i + 1} 14:0{i}:22", "-SerialNumber=0123456789",
                "-LensSerialNumber=987654", f"-GPSLatitude={48.85 + i / 100}", "-GPSLatitudeRef=N",
                "-GPSLongitude=2.29", "-GPSLongitudeRef=E", "-XMP-exif:GPSAltitude=35",
                f"-Orientation#={orientation}", path]
        r = run(args)
        check(r.returncode == 0, f"exiftool failed on {name}: {r.stderr}")
        check(any(t.startswith("exiv2") for t in private_tags(path)),
              f"the test photo {name} carries no GPS that exiv2 sees: the privacy check would test nothing")
        names.append(name)
        if max(w, h) <= 1024:
            small.add(name)
    for i in range(COPIES):
        src = PHOTOS[i % len(PHOTOS)][0]
        name = f"P{i + 1:02d}{os.path.splitext(src)[1]}"
        shutil.copyfile(os.path.join(folder, src), os.path.join(folder, name))
        names.append(name)
        if src in small:
            small.add(name)
    return names, small


def private_tags(path):
    """The private tags of a file as exiv2 reads them, and as exiftool does
    (which knows more places: a leak either finds counts)."""
    found = []
    for line in run(["exiv2", "-q", "-pa", path]).stdout.splitlines():
        key = line.split()[0] if line.split() else ""
        if any(t in key for t in GPS_TEXT):
            found.append("exiv2 " + key)
    for line in run(["exiftool", "-q", "-a", "-G0", "-s", path]).stdout.splitlines():
        m = re.match(r"\[(\w+)\]\s+(\S+)", line)
        if m and (m.group(1) == "MakerNotes" or any(t in m.group(2) for t in GPS_TEXT)):
            found.append(f"exiftool {m.group(1)}:{m.group(2)}")
    return found


def jpeg_size(path):
    """Width and height from a JPEG's frame header; None for another file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        return None
    i = 2
    while i + 9 < len(data):
        if data[i] != 0xFF:
            return None
        marker = data[i + 1]
        if marker in (0xD8, 0x01) or 0xD0 <= marker <= 0xD7:
            i += 2
            continue
        length = int.from_bytes(data[i + 2:i + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF):
            h = int.from_bytes(data[i + 5:i + 7], "big")
            w = int.from_bytes(data[i + 7:i + 9], "big")
            return w, h
        i += 2 + length
    return None


def check_files(gallery):
    """Every published file: JPEGs within 2048 pixels but the originals; no
    private metadata anywhere. Returns how many files were looked at."""
    files = 0
    for folder, _, names in os.walk(gallery):
        for name in names:
            path = os.path.join(folder, name)
            files += 1
            rel = os.path.relpath(path, gallery)
            if name.endswith((".html", ".css")):
                continue
            size = jpeg_size(path)
            if not rel.startswith("originals" + os.sep):
                check(size is not None, f"{rel} is not a JPEG")
                check(max(size) <= 2048, f"{rel} is {size[0]} x {size[1]}, over 2048 pixels")
            leaked = private_tags(path)
            check(not leaked, f"{rel} gives away {', '.join(leaked)}")
    return files


# ---- the browser ------------------------------------------------------------------

def find_browser():
    for name in ("chromium", "chromium-browser", "google-chrome", "google-chrome-stable"):
        path = shutil.which(name)
        if path:
            return path
    return None


class Browser:
    """Chromium over --remote-debugging-pipe: JSON messages, each ended by a
    NUL byte, on the browser's file descriptors 3 (in) and 4 (out)."""

    def __init__(self, exe, scratch, log):
        self.user_dir = tempfile.mkdtemp(prefix="profile-", dir=scratch)
        # The browser's ends go to numbers above 4 first: the shell below
        # must not close what it has just put at 3 or 4.
        def high(fd):
            moved = fcntl.fcntl(fd, fcntl.F_DUPFD, 10)
            os.close(fd)
            return moved
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        to_browser_r, from_browser_w = high(to_browser_r), high(from_browser_w)
        flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--hide-scrollbars", "--remote-debugging-pipe", f"--user-data-dir={self.user_dir}"]
        # bash puts the pipe ends where the browser looks for them (dash takes
        # no descriptor above 9).
        script = f'exec "$0" "$@" 3<&{to_browser_r} 4>&{from_browser_w} {to_browser_r}<&- {from_browser_w}>&-'
        self.proc = subprocess.Popen(["/bin/bash", "-c", script, exe] + flags + ["about:blank"],
                                     pass_fds=(to_browser_r, from_browser_w), stdout=log, stderr=log)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def close(self):
        try:
            self.send("Browser.close", session=False, timeout=10)
        except Exception:
            pass
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for fd in (self.to_browser, self.from_browser):
            try:
                os.close(fd)
            except OSError:
                pass

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise Failed("the browser did not answer in time")
            ready, _, _ = select.select([self.from_browser], [], [], left)
            if ready:
                chunk = os.read(self.from_browser, 1 << 20)
                if not chunk:
                    raise Failed("the browser closed its pipe")
                self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=True, timeout=30):
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            msg["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(msg).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            reply = self._read_message(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise Failed(f"{method}: {reply['error']}")
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def wait_event(self, name, timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            for i, e in enumerate(self.events):
                if e["method"] == name:
                    del self.events[i]
                    return e
            self.events.append(self._read_message(deadline))

    def open_page(self):
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 session=False)["sessionId"]
        self.send("Page.enable")
        self.send("Runtime.enable")

    def evaluate(self, expression, timeout=60):
        result = self.send("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, timeout=timeout)
        if "exceptionDetails" in result:
            raise Failed(f"script failed: {result['exceptionDetails']}")
        return result["result"].get("value")

    def load(self, action, changes=True, timeout=30):
        """Runs action (which navigates to another page) and waits until that
        page has loaded. A load event alone is not enough: on a busy machine
        one of the page before can arrive late, so the address must have
        changed and the document be complete."""
        self.events = [e for e in self.events if e["method"] != "Page.loadEventFired"]
        before = self.evaluate("location.href")
        action()
        deadline = time.monotonic() + timeout
        while True:
            self.wait_event("Page.loadEventFired", max(0.1, deadline - time.monotonic()))
            try:
                href, ready = self.evaluate("[location.href, document.readyState]")
            except Failed:
                continue  # the page went away while asked: the next one is loading
            if ((href != before or not changes) and ready == "complete") or time.monotonic() >= deadline:
                return href

    def navigate(self, url):
        return self.load(lambda: self.send("Page.navigate", {"url": url}), changes=False)

    def click(self, selector):
        return self.load(lambda: self.evaluate(f"document.querySelector({json.dumps(selector)}).click()"))

    def screenshot(self, path):
        data = self.send("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))


# Brings every image into view in turn, so that lazy ones load, waits until
# each has loaded or failed (a deadline, not a pause), and reports the page.
PAGE_STATE = """
(async () => {
  const images = Array.from(document.images);
  for (const img of images) {
    img.scrollIntoView({block: 'center'});
    const deadline = Date.now() + 15000;
    while (!img.complete && Date.now() < deadline)
      await new Promise(r => requestAnimationFrame(r));
  }
  window.scrollTo(0, 0);
  await new Promise(r => requestAnimationFrame(r));
  const photo = document.querySelector('main figure img');
  const box = photo ? photo.getBoundingClientRect() : null;
  return {
    title: document.title,
    scrollWidth: document.documentElement.scrollWidth,
    innerWidth: window.innerWidth,
    innerHeight: window.innerHeight,
    images: images.map(i => ({src: i.getAttribute('src'), current: i.currentSrc, natural: i.naturalWidth,
                              lazy: i.loading === 'lazy', srcset: i.hasAttribute('srcset'),
                              sized: i.hasAttribute('width') && i.hasAttribute('height'), alt: i.alt})),
    photo: box && {left: box.left, right: box.right, width: box.width, height: box.height,
                   current: photo.currentSrc},
    background: getComputedStyle(document.body).backgroundColor,
    next: (document.querySelector('a[rel="next"]') || {}).href || null,
    prev: (document.querySelector('a[rel="prev"]') || {}).href || null,
  };
})()
"""


def check_page(state, where, photo_page):
    check(state["scrollWidth"] <= state["innerWidth"],
          f"{where}: scrolls sideways ({state['scrollWidth']} px of content in {state['innerWidth']})")
    for img in state["images"]:
        check(img["natural"] > 0, f"{where}: {img['src']} did not load")
        check(img["sized"], f"{where}: {img['src']} has no width and height")
        check(img["alt"], f"{where}: {img['src']} has no alt text")
    if photo_page:
        photo = state["photo"]
        check(photo is not None, f"{where}: no photo")
        check(photo["left"] >= 0 and photo["right"] <= state["innerWidth"] + 0.5,
              f"{where}: the photo ({photo['left']:.0f} to {photo['right']:.0f}) is wider than the screen")
        check(photo["height"] <= state["innerHeight"] + 0.5,
              f"{where}: the photo is {photo['height']:.0f} px high on a screen of {state['innerHeight']}")


def browse(browser, index_url, names, small, viewport, shots):
    width, height, ratio, mobile, walk = VIEWPORTS[viewport]
    browser.send("Emulation.setDeviceMetricsOverride",
                 {"width": width, "height": height, "deviceScaleFactor": ratio, "mobile": mobile})
    browser.send("Emulation.setTouchEmulationEnabled", {"enabled": mobile, "maxTouchPoints": 5 if mobile else 1})
    browser.send("Emulation.setFocusEmulationEnabled", {"enabled": True})
    browser.send("Emulation.setEmulatedMedia", {"features": [{"name": "prefers-color-scheme", "value": "light"}]})

    browser.navigate(index_url)
    index = browser.evaluate(PAGE_STATE)
    check_page(index, f"{viewport} index", False)
    check(len(index["images"]) == len(names), f"{viewport} index: {len(index['images'])} thumbnails")
    check(all(i["srcset"] for i in index["images"]), f"{viewport} index: a thumbnail without srcset")
    check(any(i["lazy"] for i in index["images"]) and not index["images"][0]["lazy"],
          f"{viewport} index: the first thumbnails should load at once, the later ones lazily")
    if ratio >= 2:
        dense = [i for i in index["images"] if "thumbs-2x/" in i["current"]]
        check(dense, f"{viewport} index: a screen of {ratio}x took no 2x thumbnails")
    if shots and walk:
        browser.screenshot(os.path.join(shots, f"gallery-modern-index-{viewport}.png"))
    if not walk:
        browser.click("main a.thumb")
        state = browser.evaluate(PAGE_STATE)
        check_page(state, f"{viewport} {state['title']}", True)
        return 1

    # Dark mode: the same page in other colours.
    browser.send("Emulation.setEmulatedMedia", {"features": [{"name": "prefers-color-scheme", "value": "dark"}]})
    dark = browser.evaluate("getComputedStyle(document.body).backgroundColor")
    check(dark != index["background"], f"{viewport} index: no dark colours ({dark})")
    browser.send("Emulation.setEmulatedMedia", {"features": [{"name": "prefers-color-scheme", "value": "light"}]})

    # Forward through the next links, from the first thumbnail's page.
    url = browser.click("main a.thumb")
    seen = []
    while True:
        state = browser.evaluate(PAGE_STATE)
        check_page(state, f"{viewport} {state['title']}", True)
        check(state["images"][0]["srcset"] != (state["title"] in small),
              f"{viewport} {state['title']}: srcset {state['images'][0]['srcset']}")
        seen.append(state["title"])
        # A portrait photo on the phone, a landscape one on the desktop.
        if shots and len(seen) == (2 if mobile else 1):
            browser.screenshot(os.path.join(shots, f"gallery-modern-photo-{viewport}.png"))
        if not state["next"]:
            break
        check(len(seen) <= len(names), f"{viewport}: the next links go round in a circle")
        url = browser.click('a[rel="next"]')
    check(seen == names, f"{viewport}: the next links walked {seen}, not {names}")

    # And back through the previous links.
    back = [seen[-1]]
    while True:
        prev = browser.evaluate("(document.querySelector('a[rel=\"prev\"]') || {}).href || null")
        if not prev:
            break
        check(len(back) <= len(names), f"{viewport}: the previous links go round in a circle")
        browser.click('a[rel="prev"]')
        back.append(browser.evaluate("document.title"))
    check(back == names[::-1], f"{viewport}: the previous links walked {back}")

    # The optional script: arrow keys on a desktop, a swipe on a phone.
    if mobile:
        def swipe(x0, x1):
            def go():
                for kind, x in (("touchStart", x0), ("touchMove", (x0 + x1) / 2), ("touchEnd", x1)):
                    points = [] if kind == "touchEnd" else [{"x": x, "y": height / 2}]
                    browser.send("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})
            return go
        browser.load(swipe(width - 40, 40))
        check(browser.evaluate("document.title") == names[1], f"{viewport}: a swipe to the left did not step on")
        browser.load(swipe(40, width - 40))
        check(browser.evaluate("document.title") == names[0], f"{viewport}: a swipe to the right did not step back")
    else:
        def key(name, code):
            def go():
                for kind in ("rawKeyDown", "keyUp"):
                    browser.send("Input.dispatchKeyEvent", {"type": kind, "key": name, "code": name,
                                                            "windowsVirtualKeyCode": code})
            return go
        browser.load(key("ArrowRight", 39))
        check(browser.evaluate("document.title") == names[1], f"{viewport}: the right arrow did not step on")
        browser.load(key("ArrowLeft", 37))
        check(browser.evaluate("document.title") == names[0], f"{viewport}: the left arrow did not step back")

    # Back to the index through its link.
    url = browser.click('nav a[href$=".html"]:not([rel])')
    check(url == index_url, f"{viewport}: the index link leads to {url}")
    return len(seen)


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    framzo = os.path.abspath(argv[1])
    shots = os.path.abspath(argv[2]) if len(argv) > 2 else None
    exe = find_browser()
    if not exe:
        print("SKIP: no Chromium on this machine (tools/install-deps.sh installs the Debian package chromium)")
        return SKIP
    for tool in ("convert", "exiftool", "exiv2"):
        check(shutil.which(tool), f"{tool} is missing (tools/install-deps.sh installs it)")
    if shots:
        os.makedirs(shots, exist_ok=True)

    scratch = tempfile.mkdtemp(prefix="framzo-browser-")
    log_path = os.path.join(scratch, "chromium.log")
    try:
        photos = os.path.join(scratch, "photos")
        out = os.path.join(scratch, "web")
        os.makedirs(photos)
        os.makedirs(out)
        names, small = make_photos(photos)
        env = dict(os.environ, HOME=scratch, XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                   QT_QPA_PLATFORM="offscreen")
        base = "Summer 2024"
        r = run([framzo, "--gallery", out, "--name", base, "--theme", "modern", "--originals", "--"]
                + [os.path.join(photos, n) for n in names], env=env)
        check(r.returncode == 0, f"framzo --gallery failed ({r.returncode}): {r.stderr}")
        files = check_files(os.path.join(out, base))
        print(f"{files} published files: no JPEG over 2048 pixels but the originals, no private metadata")

        with open(log_path, "w") as log:
            browser = Browser(exe, scratch, log)
            try:
                try:
                    browser.send("Browser.getVersion", session=False, timeout=60)
                except Failed as e:
                    print(f"SKIP: Chromium ({exe}) does not run here: {e}")
                    return SKIP
                browser.open_page()
                index_url = "file://" + os.path.join(out, base + ".html").replace(" ", "%20")
                for viewport in VIEWPORTS:
                    pages = browse(browser, index_url, names, small, viewport, shots)
                    print(f"{viewport}: index and {pages} image page(s) fit, every image loaded"
                          + (", next and previous walk the gallery" if pages > 1 else ""))
            finally:
                browser.close()
        return 0
    except Failed as e:
        print(f"FAIL: {e}")
        if os.path.exists(log_path):
            with open(log_path, errors="replace") as f:
                # Not the complaints about a missing session bus.
                tail = "".join(line for line in f if "dbus" not in line)[-2000:]
            if tail.strip():
                print("chromium said:\n" + tail)
        return 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
