import { test, describe } from "node:test";
import assert from "node:assert/strict";
import { openPage, row, rows, LIST_URL, IMG_HOST, WEB_HOST } from "./page_harness.mjs";

const CATEGORIES = [
  { seq: 1, nm: "종목 <b>뉴스</b>" },
  { seq: 2, nm: "시황" },
];

async function openList({ messages = { 1: rows(3), 2: rows(2, "2") }, ...options } = {}) {
  return openPage(311, { service: { categories: CATEGORIES, messages }, ...options });
}

// Opens the page and lets startPage load the menu and the first list.
async function startedList(options) {
  const page = await openList(options);
  page.call("startPage", "5", "10");
  page.service.flush();
  return page;
}

function menu(page) {
  return [...page.document.querySelectorAll("#m_mnuWrap .mnu")].map((el) => ({
    catSeq: el.getAttribute("catSeq"),
    on: el.classList.contains("on"),
  }));
}

function titles(page) {
  return [...page.document.querySelectorAll("#m_bdy .row .tit")].map((el) => el.textContent);
}

// The page links as text, "*" marking the current page (plain bold text).
function nav(page) {
  return [...page.$("m_nav").children].map((el) => (el.tagName === "A" ? el.textContent : `*${el.textContent}`));
}

// Clicks the page link with this text and returns the page that was asked for.
function follow(page, text) {
  const link = [...page.$("m_nav").querySelectorAll("a")].find((a) => a.textContent === text);
  link.click();
  const asked = page.service.posted("msg_lst").at(-1).pg;
  page.service.flush();
  return asked;
}

describe("startPage and the menu", () => {
  test("loads the menu, then page 1 of the first category, with the posted form parameters", async () => {
    const page = await startedList();
    assert.deepEqual(page.service.posted(), [
      { ps: "cat_lst", flag: "1", cp: "5" },
      { ps: "msg_lst", catSeq: "1", cp: "5", pg: "1", pgSz: "10" },
    ]);
    for (const request of page.service.requests) {
      assert.equal(request.method, "POST");
      assert.equal(request.url, LIST_URL);
      assert.match(request.headers["content-type"], /^application\/x-www-form-urlencoded/);
    }
    assert.deepEqual(menu(page), [{ catSeq: "1", on: true }, { catSeq: "2", on: false }]);
    // The category name is HTML.
    assert.equal(page.document.querySelector(".mnu b").textContent, "뉴스");
    assert.deepEqual(titles(page), ["message 1", "message 2", "message 3"]);
    assert.equal(page.call("getTopHeight"), "41");
  });

  test("a second startPage, while the menu loads or after, sends nothing", async () => {
    const page = await openList();
    page.call("startPage", "5", "10");
    page.call("startPage", "7", "20");
    page.service.flush();
    page.call("startPage", "7", "20", "<b>banner</b>");
    page.service.flush();
    assert.equal(page.service.posted("cat_lst").length, 1);
    assert.deepEqual(page.service.posted("msg_lst").map((p) => [p.cp, p.pgSz]), [["5", "10"]]);
    assert.equal(page.$("m_bnr").innerHTML, "");
  });

  test("startPage called before the document is ready loads the menu once it is", async () => {
    const page = await openList({
      beforeReady: (window) => window.startPage("5", "10", "<i>ad</i>"),
    });
    page.service.flush();
    assert.equal(page.service.posted("cat_lst").length, 1);
    assert.deepEqual(menu(page).map((m) => m.catSeq), ["1", "2"]);
    assert.equal(page.$("m_bnr").innerHTML, "<i>ad</i>");
  });

  test("after a failed menu load the next startPage tries again", async () => {
    const page = await openList();
    page.service.respond = () => ({ status: 500, text: "" });
    page.call("startPage", "5", "10");
    page.service.flush();
    page.service.respond = null;
    page.call("startPage", "5", "10");
    page.service.flush();
    assert.equal(page.service.posted("cat_lst").length, 2);
    assert.deepEqual(menu(page).map((m) => m.catSeq), ["1", "2"]);
  });

  test("a category click and setView select that category at page 1", async () => {
    const page = await startedList();
    page.document.querySelectorAll(".mnu")[1].click();
    page.service.flush();
    assert.deepEqual(menu(page), [{ catSeq: "1", on: false }, { catSeq: "2", on: true }]);
    page.call("setView", "1");
    assert.deepEqual(page.service.posted("msg_lst").slice(1).map((p) => [p.catSeq, p.pg]), [["2", "1"], ["1", "1"]]);
    page.service.flush();
    assert.deepEqual(menu(page), [{ catSeq: "1", on: true }, { catSeq: "2", on: false }]);
  });

  test("setView of a category the menu lacks reloads the menu once, then shows the first category", async () => {
    const page = await startedList();
    page.call("setView", "9");
    page.service.flush();
    assert.deepEqual(page.service.posted().slice(2).map((p) => [p.ps, p.catSeq]), [
      ["cat_lst", undefined],
      ["msg_lst", "1"],
    ]);
    assert.deepEqual(menu(page)[0], { catSeq: "1", on: true });
  });

  test("setView of a category added since the menu was built finds it after the reload", async () => {
    const page = await startedList();
    page.service.categories = [...CATEGORIES, { seq: 3, nm: "신규" }];
    page.call("setView", "3");
    page.service.flush();
    assert.deepEqual(page.service.posted("msg_lst").at(-1).catSeq, "3");
    assert.deepEqual(menu(page).map((m) => m.on), [false, false, true]);
  });
});

describe("list rows", () => {
  // A subject, a blank, a hyphen and twelve more characters ending in a time.
  const DATED = "삼성전자 급등 - 03/05 10:30";
  const ICON = `http://${IMG_HOST}/img/icon_new.gif`;

  const cases = [
    { name: "dated today: cut, new icon", title: DATED, dt: "2024-03-05 09:59:00", shown: "삼성전자 급등", icon: true },
    { name: "dated earlier: cut, no icon", title: DATED, dt: "2024-03-04 23:59:00", shown: "삼성전자 급등", icon: false },
    { name: "hyphen elsewhere: whole", title: "삼성-전자 급등 03/05 10:30", dt: "2024-03-05", shown: "삼성-전자 급등 03/05 10:30", icon: false },
    { name: "colon elsewhere: whole", title: "급등 - 03/05 1030:", dt: "2024-03-05", shown: "급등 - 03/05 1030:", icon: false },
    { name: "no hyphen at all: whole", title: "abcdefghi:jk", dt: "2024-03-05", shown: "abcdefghi:jk", icon: false },
    { name: "markup in a title is text", title: "<b>x</b>", dt: "2024-03-05", shown: "<b>x</b>", icon: false },
  ];

  for (const c of cases) {
    test(`title ${c.name}`, async () => {
      const page = await startedList({ messages: { 1: [row(c.title, { dt: c.dt })] } });
      const tit = page.document.querySelector(".row .tit");
      assert.equal(tit.textContent.trim(), c.shown);
      const img = tit.querySelector("img");
      assert.equal(img ? img.getAttribute("src") : null, c.icon ? ICON : null);
    });
  }

  test("notice rows are bold without date; other rows show P-DT up to the first 일", async () => {
    const page = await startedList({
      messages: {
        1: [
          row("공지", { gongji: "1", pdt: "3월 5일 10:30" }),
          row("보통", { pdt: "3월 5일 10:30 (일요일)" }),
          row("날짜 없음", { pdt: "10:30" }),
        ],
      },
    });
    const list = [...page.document.querySelectorAll("#m_bdy .row")];
    assert.equal(page.window.getComputedStyle(list[0].querySelector(".tit")).fontWeight, "bold");
    assert.equal(list[0].querySelector(".dt"), null);
    assert.notEqual(page.window.getComputedStyle(list[1].querySelector(".tit")).fontWeight, "bold");
    assert.deepEqual(list.slice(1).map((r) => r.querySelector(".dt").textContent), ["3월 5일", ""]);
  });

  test("clicking a title asks the program to read that row, index 0 included", async () => {
    const page = await startedList();
    const tits = page.document.querySelectorAll("#m_bdy .tit");
    tits[0].click();
    tits[2].click();
    assert.deepEqual(page.calls, [["0", "8"], ["2", "8"]]);
  });

  test("getPacket gives the row's packet of the list shown, else empty text", async () => {
    const page = await openList();
    assert.equal(page.call("getPacket", "0"), "");
    page.call("startPage", "5", "10");
    page.service.flush();
    const listed = rows(3);
    assert.equal(page.call("getPacket", "1"), listed[1].pkt);
    for (const idx of ["3", "-1", "abc", ""]) {
      assert.equal(page.call("getPacket", idx), "", `index ${idx}`);
    }
  });

  test("an answer to an older list request does not replace a newer list", async () => {
    const page = await startedList();
    page.call("setView", "1");
    page.call("setView", "2");
    page.service.pending.reverse();
    page.service.flush();
    assert.deepEqual(titles(page), ["message 1", "message 2"]);
    assert.equal(page.call("getPacket", "0"), rows(2, "2")[0].pkt);
  });

  test("an unreadable answer raises a script error and leaves the list as it was", async () => {
    const page = await startedList();
    page.service.respond = () => ({ status: 200, text: "<html>error</html>" });
    page.call("setView", "2");
    page.service.flush();
    assert.equal(page.service.errors.length, 1);
    assert.deepEqual(titles(page), ["message 1", "message 2", "message 3"]);
  });
});

describe("page links", () => {
  const cases = [
    { total: 23, pg: 1, links: ["*1", "2", "3"] },
    { total: 61, pg: 6, links: ["◀", "*6", "7"] },
    { total: 61, pg: 3, links: ["1", "2", "*3", "4", "5", "▶"] },
    { total: 50, pg: 5, links: ["1", "2", "3", "4", "*5"] },
    { total: 0, pg: 1, links: [] },
  ];
  for (const c of cases) {
    test(`${c.total} messages, page ${c.pg}`, async () => {
      const page = await startedList({ messages: { 1: rows(c.total) } });
      page.call("fnMenuSelect", "1", c.pg);
      page.service.flush();
      assert.deepEqual(nav(page), c.links);
    });
  }

  test("arrows lead to the page before and after the block, numbers to their page", async () => {
    const page = await startedList({ messages: { 1: rows(61) } });
    assert.equal(follow(page, "3"), "3");
    assert.equal(follow(page, "▶"), "6");
    assert.deepEqual(nav(page), ["◀", "*6", "7"]);
    assert.equal(follow(page, "◀"), "5");
    assert.deepEqual(page.service.posted("msg_lst").map((p) => p.catSeq), ["1", "1", "1", "1"]);
  });
});

describe("setBnr", () => {
  test("with the page size in use only the banner changes", async () => {
    const page = await startedList();
    page.call("setBnr", "<img src='x.gif'>", "10");
    page.call("setBnr", "<span>second</span>", "");
    assert.equal(page.$("m_bnr").innerHTML, "<span>second</span>");
    assert.equal(page.$("m_bnr").style.height, "80px");
    assert.equal(page.service.requests.length, 2);
  });

  test("empty banner keeps the banner row as it is", async () => {
    const page = await startedList();
    page.call("setBnr", "", "10");
    assert.equal(page.$("m_bnr").innerHTML, "");
    assert.equal(page.$("m_bnr").style.height, "");
  });

  test("a new page size reloads the menu and the category shown with that size", async () => {
    const page = await startedList();
    page.call("setView", "2");
    page.service.flush();
    page.call("setBnr", "<b>b</b>", "20");
    page.service.flush();
    assert.deepEqual(page.service.posted().slice(3), [
      { ps: "cat_lst", flag: "1", cp: "5" },
      { ps: "msg_lst", catSeq: "2", cp: "5", pg: "1", pgSz: "20" },
    ]);
    assert.deepEqual(menu(page).map((m) => m.on), [false, true]);
  });

  test("a page size of 0 or not a number is ignored", async () => {
    const page = await startedList();
    page.call("setBnr", "", "0");
    page.call("setBnr", "", "abc");
    assert.equal(page.service.requests.length, 2);
  });
});

describe("header", () => {
  const cases = [
    { screen: { width: 1366, height: 768 }, left: "318", top: "114" },
    { screen: { width: 1365, height: 767 }, left: "317.5", top: "113.5" },
  ];
  for (const c of cases) {
    test(`calendar on a ${c.screen.width}x${c.screen.height} screen`, async () => {
      const page = await startedList({ screen: c.screen });
      page.$("m_cal").click();
      assert.deepEqual(page.calls, [[
        "<PKT><GBN>3</GBN><IDX>30001</IDX><P-WND>9</P-WND>" +
          `<P-MSG>http://${WEB_HOST}/appCal.aspx?cp=5</P-MSG>` +
          `<P-TOP>${c.top}</P-TOP><P-LEFT>${c.left}</P-LEFT>` +
          "<P-WW>730</P-WW><P-HH>540</P-HH><P-TYPE>2</P-TYPE></PKT>",
        "9",
      ]]);
    });
  }

  test("minimize and close marks", async () => {
    const page = await startedList();
    page.$("m_min").click();
    page.$("m_cls").click();
    assert.deepEqual(page.calls, [["2"], ["0"]]);
  });

  test("click areas sit where image 354 draws them", async () => {
    const page = await openList();
    const box = (id) => {
      const s = page.window.getComputedStyle(page.$(id));
      return [s.left, s.top, s.width, s.height].map((v) => parseInt(v, 10));
    };
    assert.deepEqual(box("m_cal"), [0, 7, 72, 26]);
    assert.deepEqual(box("m_min"), [118, 15, 17, 11]);
    assert.deepEqual(box("m_cls"), [135, 15, 19, 11]);
  });
});
