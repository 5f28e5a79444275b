import { test, describe, before, after } from "node:test";
import assert from "node:assert/strict";
import { createServer } from "node:http";
import { once } from "node:events";
import { openScripts } from "./page_harness.mjs";

describe("Ext.Ajax with a real XMLHttpRequest and server", () => {
  let server;
  let origin;
  const received = [];

  before(async () => {
    server = createServer((req, res) => {
      let body = "";
      req.setEncoding("utf8");
      req.on("data", (chunk) => { body += chunk; });
      req.on("end", () => {
        received.push({ method: req.method, url: req.url, type: req.headers["content-type"], body });
        if (req.url.startsWith("/fail")) {
          res.writeHead(500, { "Content-Type": "text/plain" });
          res.end("broken");
        } else {
          res.writeHead(200, { "Content-Type": "application/json; charset=utf-8" });
          res.end(JSON.stringify({ rows: [{ seq: 1, nm: "종목" }] }));
        }
      });
    });
    server.listen(0, "127.0.0.1");
    await once(server, "listening");
    origin = `http://127.0.0.1:${server.address().port}`;
  });

  after(() => {
    server.close();
  });

  function request(page, options) {
    return new Promise((resolve) => {
      page.window.Ext.Ajax.request({
        ...options,
        success: (response, opts) => resolve({ ok: true, status: response.status, text: response.responseText, opts }),
        failure: (response, opts) => resolve({ ok: false, status: response.status, text: response.responseText, opts }),
      });
    });
  }

  test("params go as a form POST to Ext.Ajax.url and success gets the answer", async () => {
    const page = await openScripts({ url: `${origin}/page`, realXhr: true });
    page.window.Ext.Ajax.url = `${origin}/V2.aspx`;
    received.length = 0;
    const result = await request(page, { params: { ps: "cat_lst", flag: "1", nm: "삼성 & 전자" } });
    assert.equal(result.ok, true);
    assert.equal(result.status, 200);
    assert.equal(page.window.Ext.decode(result.text).rows[0].nm, "종목");
    assert.equal(received.length, 1);
    assert.equal(received[0].method, "POST");
    assert.equal(received[0].url, "/V2.aspx");
    assert.match(received[0].type, /^application\/x-www-form-urlencoded/);
    assert.deepEqual(Object.fromEntries(new URLSearchParams(received[0].body)), { ps: "cat_lst", flag: "1", nm: "삼성 & 전자" });
    page.close();
  });

  test("an error status calls failure with the response, in the given scope", async () => {
    const page = await openScripts({ url: `${origin}/page`, realXhr: true });
    const scope = { name: "list" };
    const seen = await new Promise((resolve) => {
      page.window.Ext.Ajax.request({
        url: `${origin}/fail`,
        params: "a=1",
        scope,
        success: () => resolve("success"),
        failure: function (response) { resolve([this.name, response.status, response.responseText]); },
      });
    });
    assert.deepEqual(seen, ["list", 500, "broken"]);
    page.close();
  });

  test("without params the request is a GET", async () => {
    const page = await openScripts({ url: `${origin}/page`, realXhr: true });
    received.length = 0;
    const result = await request(page, { url: `${origin}/get?x=1` });
    assert.equal(result.ok, true);
    assert.deepEqual(received.map((r) => [r.method, r.url, r.body]), [["GET", "/get?x=1", ""]]);
    page.close();
  });
});

describe("Ext.Ajax timeout", () => {
  test("a request not answered in time fails once; a late answer is dropped", async () => {
    const page = await openScripts();
    const seen = [];
    page.window.Ext.Ajax.request({
      url: "http://web.test/slow",
      params: { a: 1 },
      timeout: 5000,
      success: () => seen.push("success"),
      failure: (response) => seen.push(`failure ${response.status} ${response.isTimeout}`),
    });
    page.clock.tick(4999);
    assert.deepEqual(seen, []);
    page.clock.tick(1);
    assert.deepEqual(seen, ["failure -1 true"]);
    page.service.flush();
    assert.deepEqual(seen, ["failure -1 true"]);
    assert.equal(page.clock.pending(), 0);
  });

  test("an answer in time clears the timeout", async () => {
    const page = await openScripts();
    const seen = [];
    page.service.respond = () => ({ status: 200, text: "{}" });
    page.window.Ext.Ajax.request({ url: "http://web.test/x", params: { a: 1 }, success: () => seen.push("success"), failure: () => seen.push("failure") });
    page.service.flush();
    page.clock.tick(60000);
    assert.deepEqual(seen, ["success"]);
  });
});

describe("elements", () => {
  test("update, setStyle, classes", async () => {
    const page = await openScripts({ body: "<div id='a' class='x'></div>" });
    const { Ext } = page.window;
    const el = Ext.get("a");
    assert.equal(el.update("<b>hi</b>"), el);
    assert.equal(page.$("a").innerHTML, "<b>hi</b>");
    el.update(null);
    assert.equal(page.$("a").innerHTML, "");
    el.setStyle("background-color", "red").setStyle({ height: "80px", "font-weight": "bold" });
    assert.deepEqual([page.$("a").style.backgroundColor, page.$("a").style.height, page.$("a").style.fontWeight], ["red", "80px", "bold"]);
    el.addClass("on  big").removeClass("x");
    assert.equal(page.$("a").className, "on big");
    Ext.fly("a").removeClass("on big");
    assert.equal(page.$("a").className, "");
    assert.equal(Ext.get("missing"), null);
    assert.equal(Ext.fly("missing"), null);
    assert.equal(Ext.get(page.$("a")).dom, page.$("a"));
    assert.equal(Ext.getDom(el), page.$("a"));
  });

  test("on passes event and target with the scope; un removes through another wrapper", async () => {
    const page = await openScripts({ body: "<div id='a'><span id='b'>x</span></div>" });
    const { Ext } = page.window;
    const seen = [];
    const scope = { name: "scope" };
    const handler = function (e, target) { seen.push([this.name ?? this.id, e.type, target.id]); };
    Ext.get("a").on("click", handler, scope);
    Ext.get("a").on("click", handler);
    page.$("b").click();
    Ext.fly("a").un("click", handler, scope);
    page.$("b").click();
    Ext.fly("a").un("click", handler);
    page.$("b").click();
    assert.deepEqual(seen, [["scope", "click", "b"], ["a", "click", "b"], ["a", "click", "b"]]);
  });
});

describe("DomHelper", () => {
  test("append builds configs with attributes, classes, styles and children and returns the first node", async () => {
    const page = await openScripts({ body: "<div id='box'><i>old</i></div>" });
    const { Ext } = page.window;
    const node = Ext.DomHelper.append("box", {
      cls: "mnu", catSeq: 3, title: "a \"q\" <b>", style: { height: "41px" },
      cn: [{ tag: "img", src: "res:/IMG/#347" }, { tag: "span", html: "<b>nm</b>" }],
    });
    const box = page.$("box");
    assert.equal(box.children.length, 2);
    assert.equal(node, box.children[1]);
    assert.equal(node.className, "mnu");
    assert.equal(node.getAttribute("catSeq"), "3");
    assert.equal(node.getAttribute("title"), "a \"q\" <b>");
    assert.equal(node.style.height, "41px");
    assert.equal(node.querySelector("img").getAttribute("src"), "res:/IMG/#347");
    assert.equal(node.querySelector("span b").textContent, "nm");
    const wrapped = Ext.DomHelper.append(box, "<p>text</p>", true);
    assert.equal(wrapped.dom.tagName, "P");
    assert.ok(wrapped instanceof Ext.Element);
  });

  test("overwrite replaces the content", async () => {
    const page = await openScripts({ body: "<div id='box'><i>old</i></div>" });
    const { Ext } = page.window;
    const frame = Ext.DomHelper.overwrite("box", { tag: "iframe", frameborder: "0", src: "http://x.test/?a=1&b=2" });
    assert.equal(page.$("box").children.length, 1);
    assert.equal(frame.getAttribute("src"), "http://x.test/?a=1&b=2");
    assert.equal(Ext.DomHelper.overwrite("box", [{ tag: "b", html: "1" }, { tag: "b", html: "2" }]).textContent, "1");
    assert.equal(page.$("box").textContent, "12");
  });
});

describe("helpers", async () => {
  const page = await openScripts();
  const { Ext } = page.window;

  test("each visits in order, stops on false and tells where", () => {
    const seen = [];
    assert.equal(Ext.each([1, 2, 3, 4], (v, i) => { seen.push([v, i]); return v !== 2; }), 1);
    assert.deepEqual(seen, [[1, 0], [2, 1]]);
    const all = [];
    assert.equal(Ext.each({ length: 2, 0: "a", 1: "b" }, (v) => { all.push(v); }), undefined);
    Ext.each("single", (v) => { all.push(v); });
    Ext.each(null, () => { all.push("never"); });
    Ext.each([], () => { all.push("never"); });
    assert.deepEqual(all, ["a", "b", "single"]);
  });

  const empties = [
    [null, false, true], [undefined, false, true], ["", false, true], ["", true, false],
    [[], false, true], [0, false, false], ["0", false, false], [[0], false, false], [{}, false, false],
  ];
  for (const [value, allowBlank, empty] of empties) {
    test(`isEmpty(${JSON.stringify(value)}, ${allowBlank}) is ${empty}`, () => {
      assert.equal(Ext.isEmpty(value, allowBlank), empty);
    });
  }

  test("encode and decode are JSON; decode throws on other text", () => {
    assert.equal(Ext.encode({ a: [1, "둘"] }), '{"a":[1,"둘"]}');
    assert.deepEqual({ ...Ext.decode('{"totalCount":3}') }, { totalCount: 3 });
    assert.throws(() => Ext.decode("<html>"));
  });

  test("urlEncode", () => {
    assert.equal(Ext.urlEncode({ ps: "msg_lst", nm: "가 &=", list: ["1", "2"], none: null }),
      "ps=msg_lst&nm=%EA%B0%80%20%26%3D&list=1&list=2&none=");
  });

  test("htmlEncode", () => {
    assert.equal(Ext.util.Format.htmlEncode("<a href=\"x\">&</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
  });

});

describe("tasks", () => {
  test("a task runs at once, then every interval, with the run count, until stopped", async () => {
    const page = await openScripts();
    const { Ext } = page.window;
    const counts = [];
    const task = Ext.TaskMgr.start({ run: (n) => { counts.push([page.clock.now % 100000, n]); }, interval: 500 });
    page.clock.tick(1200);
    Ext.TaskMgr.stop(task);
    page.clock.tick(5000);
    const t0 = counts[0][0];
    assert.deepEqual(counts.map(([t, n]) => [t - t0, n]), [[0, 1], [500, 2], [1000, 3]]);
    assert.equal(page.clock.pending(), 0);
  });

  test("a task stops when run returns false; runners are independent", async () => {
    const page = await openScripts();
    const { Ext } = page.window;
    let a = 0;
    let b = 0;
    Ext.TaskMgr.start({ run: () => { a++; return a < 3; }, interval: 100 });
    const runner = new Ext.util.TaskRunner();
    const task = { run: function () { b++; assert.equal(this, task); }, interval: 100 };
    runner.start(task);
    page.clock.tick(1000);
    Ext.TaskMgr.stop(task);
    page.clock.tick(100);
    runner.stop(task);
    page.clock.tick(1000);
    assert.deepEqual([a, b], [3, 12]);
    assert.equal(page.clock.pending(), 0);
  });
});

describe("onReady", () => {
  test("handlers queued before the document is ready run in order when it is; later ones at once", async () => {
    const order = [];
    const page = await openScripts({
      beforeReady: (window) => {
        window.Ext.onReady(() => order.push(["first", window.Ext.isReady]));
        window.Ext.onReady(function () { order.push([this.name, true]); }, { name: "second" });
        order.push(["queued", window.Ext.isReady]);
      },
    });
    page.window.Ext.onReady(() => order.push(["late", true]));
    assert.deepEqual(order, [["queued", false], ["first", true], ["second", true], ["late", true]]);
  });
});
