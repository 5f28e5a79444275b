import { test, describe } from "node:test";
import assert from "node:assert/strict";
import { openScripts } from "./page_harness.mjs";

const page = await openScripts({ body: "<div id='here'></div>" });
const w = page.window;

test("command codes are one-character texts", () => {
  const names = ["CONST_SW_HIDE", "CONST_SW_MAXIMIZE", "CONST_SW_MINIMIZE", "CONST_SW_RESTORE", "CONST_SW_EXT",
    "CONST_SW_PAGE", "CONST_SW_PAGE_HIDE", "CONST_SW_MAIN_SHOW", "CONST_READ_EXT", "CONST_OPEN_URL"];
  assert.deepEqual(names.map((n) => w[n]), ["0", "1", "2", "3", "4", "5", "6", "7", "8", "9"]);
});

test("DATA starts with the page size 10 only", () => {
  assert.deepEqual(Object.entries(w.DATA), [["pgSz", 10]]);
});

test("$ finds an element by id", () => {
  assert.equal(w.$("here"), page.document.getElementById("here"));
  assert.equal(w.$("nowhere"), null);
});

describe("jscommand", () => {
  const cases = [
    { args: ["6", "12"], sent: [["12", "6"]] },
    { args: ["9", "a", "b", "c"], sent: [["c", "b", "a", "9"]] },
    { args: ["9", "a", "b"], sent: [["b", "a", "9"]] },
    { args: ["7", "", "x"], sent: [["x", "", "7"]] },
    { args: ["7", "", "", "y"], sent: [["y", "", "", "7"]] },
    { args: ["7", ""], sent: [["7"]] },
    { args: ["6", undefined], sent: [["6"]] },
    { args: ["7", "", "", ""], sent: [["7"]] },
    { args: ["0"], sent: [["0"]] },
    { args: ["", "", "", ""], sent: [] },
    { args: [], sent: [] },
  ];
  for (const c of cases) {
    test(`jscommand(${c.args.map((a) => JSON.stringify(a)).join(", ")})`, () => {
      page.calls.length = 0;
      w.jscommand(...c.args);
      assert.deepEqual(page.calls, c.sent);
    });
  }

  test("onWebExit sends the kept serial number, also 0", () => {
    page.calls.length = 0;
    w.DATA.IDX = "0";
    w.onWebExit();
    delete w.DATA.IDX;
    assert.deepEqual(page.calls, [["0", "6"]]);
  });
});

describe("Packet.get", () => {
  const cases = [
    { xml: "<PKT><GBN>3</GBN><P-TIT>제목</P-TIT></PKT>", tag: "P-TIT", value: "제목" },
    { xml: "<PKT><GBN>3</GBN><P-TIT></P-TIT></PKT>", tag: "P-TIT", value: "" },
    { xml: "<PKT><GBN>1</GBN><P-ID>7</P-ID></PKT>", tag: "ID", value: "" },
    { xml: "<PKT><A>1</A><A>2</A></PKT>", tag: "A", value: "1" },
    { xml: "<A><A>x</A></A>", tag: "A", value: "<A>x" },
    { xml: "</A><A>x</A>", tag: "A", value: "x" },
    { xml: "<PKT><A>open only</PKT>", tag: "A", value: "" },
    { xml: "<PKT><gbn>3</gbn></PKT>", tag: "GBN", value: "" },
    { xml: "<PKT><P-MSG><img src='a.gif'> &amp; text</P-MSG></PKT>", tag: "P-MSG", value: "<img src='a.gif'> &amp; text" },
    { xml: "<PKT><GBN>3</GBN></PKT>", tag: "PKT", value: "<GBN>3</GBN>" },
    { xml: "", tag: "A", value: "" },
    { xml: undefined, tag: "A", value: "" },
  ];
  for (const c of cases) {
    test(`${c.tag} in ${JSON.stringify(c.xml)}`, () => {
      const p = new w.Packet(c.xml);
      assert.equal(p.get(c.tag), c.value);
      assert.equal(p.m_xml, c.xml ?? "");
    });
  }
});

describe("Date.prototype.format", () => {
  // Tuesday 5 March 2024, 14:07:09 local time.
  const afternoon = new w.Date(2024, 2, 5, 14, 7, 9);
  const cases = [
    { date: afternoon, f: "yyyy-MM-dd HH:mm:ss", out: "2024-03-05 14:07:09" },
    { date: afternoon, f: "yyyyMMdd", out: "20240305" },
    { date: afternoon, f: "yy.MM.dd E", out: "24.03.05 화요일" },
    { date: afternoon, f: "a/p hh:mm", out: "오후 02:07" },
    { date: new w.Date(2024, 2, 3, 0, 5, 0), f: "E a/p hh시 HH", out: "일요일 오전 12시 00" },
    { date: new w.Date(2024, 2, 9, 12, 0, 0), f: "E a/p hh", out: "토요일 오후 12" },
    { date: new w.Date(2005, 0, 1), f: "yy", out: "05" },
    { date: new w.Date(2100, 0, 1), f: "yy", out: "100" },
    // Tokens found without regard to case, but replaced only in their exact capitals.
    { date: afternoon, f: "YYYY Yy e A/P Dd mM hH SS", out: "YYYY Yy e A/P Dd mM hH SS" },
    { date: afternoon, f: "MM mm", out: "03 07" },
    { date: afternoon, f: "yyyyy", out: "2024y" },
    { date: afternoon, f: "기준: yyyy년", out: "기준: 2024년" },
    { date: new w.Date(NaN), f: "yyyyMMdd", out: " " },
    { date: new w.Date("not a date"), f: "HH", out: " " },
  ];
  for (const c of cases) {
    test(`${JSON.stringify(c.f)} -> ${JSON.stringify(c.out)}`, () => {
      assert.equal(c.date.format(c.f), c.out);
    });
  }

  test("the start of the epoch is a valid date", () => {
    const epoch = new w.Date(0);
    assert.equal(epoch.format("yyyy"), String(epoch.getFullYear()));
  });
});

describe("zf", () => {
  const cases = [
    [() => "7".zf(3), "007"],
    [() => (7).zf(2), "07"],
    [() => (0).zf(2), "00"],
    [() => (123).zf(2), "123"],
    [() => "1234".zf(4), "1234"],
    [() => "".zf(2), "00"],
    [() => "ab".zf(0), "ab"],
  ];
  for (const [expr, out] of cases) {
    test(`${expr.toString().slice(6)} -> ${out}`, () => {
      assert.equal(w.eval(`(${expr.toString()})()`), out);
    });
  }
});
