import { test, describe } from "node:test";
import assert from "node:assert/strict";
import { openPage } from "./page_harness.mjs";

function packet(fields) {
  return "<PKT><GBN>3</GBN>" + Object.entries(fields).map(([k, v]) => `<${k}>${v}</${k}>`).join("") + "</PKT>";
}

const NOTE = packet({ "P-WND": "1", "P-CAT": "4", "P-TIT": "첫 메모", "P-MSG": "<p class='msg'>첫 번째</p>" });
const OTHER = packet({ "P-WND": "1", "P-CAT": "4", "P-MSG": "<p class='msg'>두 번째</p>" });
const FRAMED = packet({ "P-TYPE": "2", "P-MSG": "http://web.test/page.aspx?a=1&b=2" });

function shownText(page) {
  return page.$("m_bdy").textContent;
}

describe("note view (326)", () => {
  test("P-MSG becomes the content as HTML", async () => {
    const page = await openPage(326);
    page.call("setPacket", NOTE, "3");
    assert.equal(page.document.querySelector("#m_bdy p.msg").textContent, "첫 번째");
    assert.equal(page.window.DATA.IDX, "3");
    assert.equal(page.window.DATA.packet, NOTE);
  });

  test("a note keeps its first packet; the read viewer takes each new one", async () => {
    const cases = [
      { idx: "0", second: "첫 번째" },
      { idx: "29999", second: "첫 번째" },
      { idx: "30000", second: "두 번째" },
      { idx: "30001", second: "두 번째" },
    ];
    for (const c of cases) {
      const page = await openPage(326);
      page.call("setPacket", NOTE, c.idx);
      page.call("setPacket", OTHER, c.idx);
      assert.equal(shownText(page), c.second, `serial ${c.idx}`);
    }
  });

  test("P-TYPE 2 shows P-MSG in a borderless frame, and the viewer can go back to HTML", async () => {
    const page = await openPage(326);
    page.call("setPacket", FRAMED, "30000");
    const frames = page.document.querySelectorAll("#m_bdy iframe");
    assert.equal(frames.length, 1);
    assert.equal(frames[0].getAttribute("src"), "http://web.test/page.aspx?a=1&b=2");
    assert.equal(frames[0].getAttribute("frameborder"), "0");
    assert.equal(page.$("m_bdy").children.length, 1);
    page.call("setPacket", NOTE, "30000");
    assert.equal(page.document.querySelectorAll("#m_bdy iframe").length, 0);
    assert.equal(shownText(page), "첫 번째");
  });

  test("the same packet handed over again is not drawn again", async () => {
    const page = await openPage(326);
    page.call("setPacket", NOTE, "30000");
    page.document.querySelector("#m_bdy p").textContent = "scrolled and marked by the reader";
    page.call("setPacket", NOTE, "30000");
    assert.equal(shownText(page), "scrolled and marked by the reader");
  });

  test("setPacket before the document is ready shows the packet once it is", async () => {
    const page = await openPage(326, { beforeReady: (w) => w.setPacket(NOTE, "2") });
    assert.equal(shownText(page), "첫 번째");
  });

  test("a note's close button shows the main list at P-CAT, then closes 100 ms later", async () => {
    const page = await openPage(326);
    page.call("setPacket", NOTE, "3");
    page.$("m_close").click();
    assert.deepEqual(page.calls, [["4", "7"]]);
    page.clock.tick(99);
    assert.equal(page.calls.length, 1);
    page.clock.tick(1);
    assert.deepEqual(page.calls, [["4", "7"], ["3", "6"]]);
  });

  test("the read viewer's close button only closes it", async () => {
    const page = await openPage(326);
    page.call("setPacket", NOTE, "30000");
    page.$("m_close").click();
    page.clock.tick(100);
    assert.deepEqual(page.calls, [["30000", "6"]]);
  });

  test("onWebExit closes with the kept serial number, 0 included", async () => {
    const page = await openPage(326);
    page.call("setPacket", NOTE, "0");
    page.call("onWebExit");
    assert.deepEqual(page.calls, [["0", "6"]]);
  });
});

// The alarm box and the alarm strip answer clicks alike.
for (const id of [327, 345]) {
  describe(`alarm ${id === 327 ? "box (327)" : "strip (345)"}`, () => {
    const ALARM = packet({ "P-WND": id === 327 ? "2" : "3", "P-CAT": "6", "P-TAT": "삼성전자 &lt;목표가&gt;" });

    test("a click on the text shows the main list at P-CAT and closes one second later", async () => {
      const page = await openPage(id);
      page.call("setPacket", ALARM, "5");
      page.$("m_txt").click();
      assert.deepEqual(page.calls, [["6", "7"]]);
      page.clock.tick(999);
      assert.equal(page.calls.length, 1);
      page.clock.tick(1);
      assert.deepEqual(page.calls, [["6", "7"], ["5", "6"]]);
    });

    test("the close mark closes at once", async () => {
      const page = await openPage(id);
      page.call("setPacket", ALARM, "5");
      page.$("m_x").click();
      assert.deepEqual(page.calls, [["5", "6"]]);
    });

    test("only the first packet counts", async () => {
      const page = await openPage(id);
      page.call("setPacket", ALARM, "5");
      page.call("setPacket", packet({ "P-CAT": "9", "P-TAT": "다른 알림" }), "8");
      page.$("m_x").click();
      assert.deepEqual(page.calls, [["5", "6"]]);
      assert.equal(page.window.DATA.packet, ALARM);
    });
  });
}

describe("alarm box text (327)", () => {
  const cases = [
    { fields: { "P-TAT": "목표가 도달" }, text: "목표가 도달" },
    { fields: { "P-TAT": "" }, text: "Tacklet 메시지가 도착하셨습니다." },
    { fields: {}, text: "Tacklet 메시지가 도착하셨습니다." },
    { fields: { "P-TAT": "<img src=x onerror=alert(1)>" }, text: "<img src=x onerror=alert(1)>" },
  ];
  for (const c of cases) {
    test(`P-TAT ${"P-TAT" in c.fields ? JSON.stringify(c.fields["P-TAT"]) : "missing"}`, async () => {
      const page = await openPage(327);
      page.call("setPacket", packet(c.fields), "1");
      assert.equal(page.$("m_txt").textContent, c.text);
      assert.equal(page.$("m_txt").children.length, 0);
    });
  }
});

describe("alarm strip blinking (345)", () => {
  function red(page) {
    const el = page.$("m_txt");
    return el.classList.contains("on") && page.window.getComputedStyle(el).color === "rgb(236, 50, 50)";
  }

  test("plain at first, red after 500 ms, plain after 1 s, and on; the repeated packet changes nothing", async () => {
    const page = await openPage(345);
    const strip = packet({ "P-WND": "3", "P-CAT": "6" });
    page.call("setPacket", strip, "2");
    assert.equal(page.$("m_txt").textContent, "Tacklet 정보가 도착하셨습니다");
    const start = page.clock.now;
    const expected = [[0, false], [499, false], [500, true], [999, true], [1000, false], [1499, false], [1500, true], [2000, false]];
    for (const [ms, want] of expected) {
      page.clock.tick(start + ms - page.clock.now);
      if (ms === 1000) {
        // The program hands the packet over again one second after placement.
        page.call("setPacket", strip, "2");
      }
      assert.equal(red(page), want, `${ms} ms`);
    }
  });
});

describe("page window (346)", () => {
  const CAL = packet({ "IDX": "30001", "P-WND": "9", "P-MSG": "http://web.test/appCal.aspx?cp=5", "P-TYPE": "2" });

  test("the calendar packet shows its address in a frame; only the first packet counts", async () => {
    const page = await openPage(346);
    page.call("setPacket", CAL, "30001");
    page.call("setPacket", packet({ "P-MSG": "<b>later</b>" }), "30001");
    const frame = page.document.querySelector("#m_bdy iframe");
    assert.equal(frame.getAttribute("src"), "http://web.test/appCal.aspx?cp=5");
    assert.equal(page.document.querySelector("#m_bdy b"), null);
  });

  test("other packets show P-MSG as HTML", async () => {
    const page = await openPage(346);
    page.call("setPacket", packet({ "P-MSG": "<b>html</b>" }), "40");
    assert.equal(page.document.querySelector("#m_bdy b").textContent, "html");
  });

  test("the close button closes the window with its serial number", async () => {
    const page = await openPage(346);
    page.call("setPacket", CAL, "30001");
    page.$("m_close").click();
    assert.deepEqual(page.calls, [["30001", "6"]]);
  });
});
