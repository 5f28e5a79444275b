// Loads a real Tacklet resource page, with its real scripts, into jsdom, and
// gives it the surroundings the program gives it: window.external recording the
// jscommand calls, a list service answering cat_lst and msg_lst, and a clock the
// test moves forward by hand.

import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";
import { JSDOM, ResourceLoader } from "jsdom";

export const RESOURCES = fileURLToPath(new URL("../../../tacklet/resources/", import.meta.url));
export const WEB_HOST = "web.test";
export const IMG_HOST = "img.test";
export const LIST_URL = `http://${WEB_HOST}/V2.aspx`;

const PAGE_FILES = {
  311: "pages/main_list.html",
  326: "pages/note_view.html",
  327: "pages/alarm_box.html",
  345: "pages/alarm_strip.html",
  346: "pages/page_window.html",
};
const SCRIPT_FILES = { 313: "js/ext_core.js", 320: "js/tacklet.js" };

// The build fills in the deployment hosts; the tests use their own.
export function readResource(file) {
  return readFileSync(RESOURCES + file, "utf8")
    .replaceAll("@TACKLET_WEB_HOST@", WEB_HOST)
    .replaceAll("@TACKLET_IMG_HOST@", IMG_HOST);
}

export function pageSource(id) {
  return readResource(PAGE_FILES[id]);
}

// Serves "res:/JS/#n" from the script files. Nothing else is fetched: images,
// frames and the like stay unloaded, so no test reaches out to the network.
class ResLoader extends ResourceLoader {
  constructor(loaded) {
    super();
    this.loaded = loaded;
  }

  fetch(url) {
    const m = /^res:\/JS\/#(\d+)$/.exec(url);
    if (m && SCRIPT_FILES[m[1]]) {
      this.loaded.push(url);
      return Promise.resolve(Buffer.from(readResource(SCRIPT_FILES[m[1]])));
    }
    return null;
  }
}

/*
 * Timers and "now" under the test's control. tick(ms) runs every timer due
 * within ms, in deadline order (then in the order they were set), with now
 * set to each deadline while it runs.
 */
export class FakeClock {
  constructor(now) {
    this.now = now;
    this.timers = new Map();
    this.nextId = 1;
    this.errors = [];
  }

  set(fn, ms, repeat) {
    const id = this.nextId++;
    const delay = Math.max(0, Number(ms) || 0);
    this.timers.set(id, { fn, due: this.now + delay, interval: repeat ? Math.max(1, delay) : 0 });
    return id;
  }

  clear(id) {
    this.timers.delete(id);
  }

  pending() {
    return this.timers.size;
  }

  tick(ms) {
    const end = this.now + ms;
    for (;;) {
      let nextId = null;
      let next = null;
      for (const [id, t] of this.timers) {
        if (t.due <= end && (next === null || t.due < next.due)) {
          nextId = id;
          next = t;
        }
      }
      if (next === null) {
        break;
      }
      this.now = next.due;
      if (next.interval) {
        next.due += next.interval;
      } else {
        this.timers.delete(nextId);
      }
      try {
        next.fn();
      } catch (e) {
        this.errors.push(e);
      }
    }
    this.now = end;
  }

  install(window) {
    const clock = this;
    window.setTimeout = (fn, ms) => clock.set(fn, ms, false);
    window.setInterval = (fn, ms) => clock.set(fn, ms, true);
    window.clearTimeout = (id) => clock.clear(id);
    window.clearInterval = (id) => clock.clear(id);
    const RealDate = window.Date;
    window.Date = class extends RealDate {
      constructor(...args) {
        if (args.length === 0) {
          super(clock.now);
        } else {
          super(...args);
        }
      }

      static now() {
        return clock.now;
      }
    };
  }
}

/*
 * The list service: every XMLHttpRequest of the page lands here and waits
 * until flush() answers it. categories is the cat_lst rows; messages maps a
 * category number to all its rows, of which msg_lst answers one page.
 */
export class ListService {
  constructor({ categories = [], messages = {} } = {}) {
    this.categories = categories;
    this.messages = messages;
    this.requests = [];
    this.pending = [];
    this.errors = [];
    // Set to (request) => ({ status, text }) to answer differently.
    this.respond = null;
  }

  answer(request) {
    if (this.respond) {
      return this.respond(request);
    }
    const p = request.params;
    if (p.ps === "cat_lst") {
      return { status: 200, text: JSON.stringify({ rows: this.categories }) };
    }
    if (p.ps === "msg_lst") {
      const all = this.messages[p.catSeq] || [];
      const size = Number(p.pgSz);
      const from = (Number(p.pg) - 1) * size;
      return { status: 200, text: JSON.stringify({ totalCount: all.length, rows: all.slice(from, from + size) }) };
    }
    return { status: 404, text: "" };
  }

  // Answers waiting requests, and those their answers cause, until none waits.
  flush() {
    while (this.pending.length) {
      const xhr = this.pending.shift();
      const { status, text } = this.answer(xhr.request);
      try {
        xhr.complete(status, text);
      } catch (e) {
        this.errors.push(e);
      }
    }
  }

  // The form parameters of the requests so far, optionally of one ps only.
  posted(ps) {
    return this.requests.map((r) => r.params).filter((p) => ps === undefined || p.ps === ps);
  }

  xhrClass() {
    const service = this;
    return class FakeXMLHttpRequest {
      constructor() {
        this.readyState = 0;
        this.status = 0;
        this.statusText = "";
        this.responseText = "";
        this.headers = {};
        this.onreadystatechange = null;
      }

      open(method, url) {
        this.method = method;
        this.url = url;
        this.readyState = 1;
      }

      setRequestHeader(name, value) {
        this.headers[name.toLowerCase()] = value;
      }

      send(body) {
        const params = Object.fromEntries(new URLSearchParams(body || ""));
        this.request = { method: this.method, url: this.url, headers: this.headers, body, params };
        service.requests.push(this.request);
        service.pending.push(this);
      }

      abort() {
        service.pending = service.pending.filter((x) => x !== this);
        this.readyState = 0;
      }

      complete(status, text) {
        this.status = status;
        this.statusText = status === 200 ? "OK" : "Error";
        this.responseText = text;
        this.readyState = 4;
        if (this.onreadystatechange) {
          this.onreadystatechange();
        }
      }
    };
  }
}

/*
 * Opens page id (311, 326, ...) the way the program shows it. Options:
 *   now        the clock's start, a Date or ms (default 2024-03-05 10:00 local time)
 *   screen     { width, height } of the screen
 *   service    options of the ListService
 *   html, url  a document of the test's own instead of a page
 *   realXhr    keep jsdom's own XMLHttpRequest (for a real local server)
 *   beforeReady(window)  runs once the scripts have run, before the page's
 *              own DOMContentLoaded handlers
 * Resolves once the document has loaded.
 */
export async function openPage(id, options = {}) {
  const start = options.now ?? new Date(2024, 2, 5, 10, 0, 0);
  const clock = new FakeClock(start instanceof Date ? start.getTime() : start);
  const service = new ListService(options.service);
  const calls = [];
  const scripts = [];
  const screen = options.screen ?? { width: 1280, height: 1024 };

  const dom = new JSDOM(options.html ?? pageSource(id), {
    url: options.url ?? `res://tacklet/${id}`,
    runScripts: "dangerously",
    resources: new ResLoader(scripts),
    beforeParse(window) {
      clock.install(window);
      if (!options.realXhr) {
        window.XMLHttpRequest = service.xhrClass();
      }
      Object.defineProperty(window, "external", {
        configurable: true,
        value: { jscommand: (...args) => calls.push(args) },
      });
      Object.defineProperty(window.screen, "width", { value: screen.width });
      Object.defineProperty(window.screen, "height", { value: screen.height });
      if (options.beforeReady) {
        window.document.addEventListener("DOMContentLoaded", () => options.beforeReady(window));
      }
    },
  });
  const { window } = dom;
  await new Promise((resolve) => {
    if (window.document.readyState === "complete") {
      resolve();
    } else {
      window.addEventListener("load", resolve);
    }
  });
  return {
    window,
    document: window.document,
    clock,
    service,
    calls,
    scripts,
    $: (elementId) => window.document.getElementById(elementId),
    // Calls a page function as the program does: by name, with texts.
    call: (name, ...args) => window[name](...args),
    close: () => window.close(),
  };
}

// A bare document with only the two script libraries, for testing them alone.
export function openScripts(options = {}) {
  const html = `<html><head><script src="res:/JS/#313"></script><script src="res:/JS/#320"></script></head>` +
    `<body>${options.body ?? ""}</body></html>`;
  return openPage(0, { ...options, html });
}

// A stored message row as the list service sends it.
export function row(title, { dt = "2024-03-04 08:00:00", pdt = "3월 4일 08:00", gongji = "0", cat = "1" } = {}) {
  return {
    pkt: `<PKT><GBN>3</GBN><P-TIT>${title}</P-TIT><P-DT>${pdt}</P-DT><P-CAT>${cat}</P-CAT><P-MSG>${title}</P-MSG></PKT>`,
    dt,
    gongji,
  };
}

export function rows(n, category = "1") {
  return Array.from({ length: n }, (_, i) => row(`message ${i + 1}`, { cat: category }));
}
