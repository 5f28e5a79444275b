import { test, describe } from "node:test";
import assert from "node:assert/strict";
import { readFileSync, readdirSync } from "node:fs";
import { execFileSync } from "node:child_process";
import { RESOURCES, LIST_URL, openPage } from "./page_harness.mjs";

const PAGES = [
  { id: 311, file: "main_list.html", title: "Tacklet", functions: ["startPage", "getTopHeight", "setView", "getPacket", "setBnr"] },
  { id: 326, file: "note_view.html", title: "Tacklet-VIEW", functions: ["setPacket", "onWebExit"] },
  { id: 327, file: "alarm_box.html", title: "Tacklet-BOX", functions: ["setPacket", "onWebExit"] },
  { id: 345, file: "alarm_strip.html", title: "Tacklet-BOX", functions: ["setPacket", "onWebExit"] },
  { id: 346, file: "page_window.html", title: "Tacklet-CAL", functions: ["setPacket", "onWebExit"] },
];

const IMAGES = [
  [328, "bmp", 203, 41], [329, "bmp", 2, 41], [330, "jpg", 29, 40], [331, "bmp", 1, 23],
  [332, "bmp", 225, 23], [333, "bmp", 140, 23], [340, "bmp", 90, 1], [341, "gif", 105, 41],
  [342, "bmp", 87, 2], [347, "gif", 9, 9], [349, "bmp", 237, 125], [350, "jpg", 231, 30],
  [354, "jpg", 160, 40],
];

const raw = (file) => readFileSync(RESOURCES + file, "utf8");

describe("pages", () => {
  for (const p of PAGES) {
    test(`${p.id} ${p.file}`, async () => {
      const source = raw(`pages/${p.file}`);
      const scripts = [...source.matchAll(/<script[^>]*\ssrc="([^"]*)"/g)].map((m) => m[1]);
      assert.deepEqual(scripts, ["res:/JS/#313", "res:/JS/#320"]);
      assert.doesNotMatch(source, /charset/i);
      assert.deepEqual([...new Set(source.match(/@[A-Z_]+@/g))].filter((h) => !["@TACKLET_WEB_HOST@", "@TACKLET_IMG_HOST@"].includes(h)), []);

      const page = await openPage(p.id);
      assert.deepEqual(page.scripts, ["res:/JS/#313", "res:/JS/#320"]);
      assert.equal(page.document.title, p.title);
      assert.equal(page.document.querySelector("base").getAttribute("target"), "_blank");
      assert.equal(page.window.Ext.Ajax.url, LIST_URL);
      for (const name of p.functions) {
        assert.equal(typeof page.window[name], "function", name);
      }
      const body = page.window.getComputedStyle(page.document.body);
      assert.equal(body.overflow, "hidden");
      assert.equal(body.margin, "0px");
      page.close();
    });
  }

  test("every image a page or script names is one of the images", () => {
    const files = new Set(readdirSync(RESOURCES + "img"));
    const known = new Map(IMAGES.map(([n, ext]) => [String(n), `${n}.${ext}`]));
    for (const p of PAGES) {
      for (const [, n] of raw(`pages/${p.file}`).matchAll(/res:\/IMG\/#(\d+)/g)) {
        assert.ok(known.has(n) && files.has(known.get(n)), `${p.file} names image ${n}`);
      }
    }
  });
});

// Width and height from the file's own header, and the format it really is.
function imageInfo(buf) {
  if (buf.toString("latin1", 0, 2) === "BM") {
    return { format: "bmp", width: buf.readInt32LE(18), height: Math.abs(buf.readInt32LE(22)), bits: buf.readUInt16LE(28), compression: buf.readUInt32LE(30) };
  }
  if (/^GIF8[79]a$/.test(buf.toString("latin1", 0, 6))) {
    return { format: "gif", width: buf.readUInt16LE(6), height: buf.readUInt16LE(8) };
  }
  if (buf[0] === 0xff && buf[1] === 0xd8) {
    for (let i = 2; i < buf.length;) {
      const marker = buf[i + 1];
      if (marker >= 0xc0 && marker <= 0xc2) {
        return { format: "jpg", height: buf.readUInt16BE(i + 5), width: buf.readUInt16BE(i + 7) };
      }
      i += 2 + buf.readUInt16BE(i + 2);
    }
  }
  return { format: "unknown" };
}

describe("images", () => {
  for (const [n, ext, width, height] of IMAGES) {
    test(`${n}.${ext} is ${ext} ${width}x${height}`, () => {
      const info = imageInfo(readFileSync(`${RESOURCES}img/${n}.${ext}`));
      assert.deepEqual([info.format, info.width, info.height], [ext, width, height]);
      if (ext === "bmp") {
        assert.deepEqual([info.bits, info.compression], [24, 0]);
      }
    });
  }
});

function wavInfo(buf) {
  assert.equal(buf.toString("latin1", 0, 4), "RIFF");
  assert.equal(buf.toString("latin1", 8, 12), "WAVE");
  const info = {};
  for (let i = 12; i + 8 <= buf.length;) {
    const id = buf.toString("latin1", i, i + 4);
    const size = buf.readUInt32LE(i + 4);
    if (id === "fmt ") {
      Object.assign(info, {
        format: buf.readUInt16LE(i + 8), channels: buf.readUInt16LE(i + 10),
        rate: buf.readUInt32LE(i + 12), bits: buf.readUInt16LE(i + 22),
      });
    } else if (id === "data") {
      info.data = buf.subarray(i + 8, i + 8 + size);
    }
    i += 8 + size + (size % 2);
  }
  info.seconds = info.data.length / (info.rate * info.channels * (info.bits / 8));
  return info;
}

describe("sounds", () => {
  const cases = [
    { file: "316.wav", rate: 22050, bits: 16, seconds: 2.1 },
    { file: "351.wav", rate: 11025, bits: 8, seconds: 0.7 },
  ];
  for (const c of cases) {
    test(`${c.file}: PCM mono ${c.rate} Hz ${c.bits}-bit, about ${c.seconds} s, not silent`, () => {
      const info = wavInfo(readFileSync(`${RESOURCES}sound/${c.file}`));
      assert.deepEqual([info.format, info.channels, info.rate, info.bits], [1, 1, c.rate, c.bits]);
      assert.ok(Math.abs(info.seconds - c.seconds) < 0.05, `${info.seconds} s`);
      const levels = c.bits === 16
        ? Array.from({ length: info.data.length / 2 }, (_, i) => info.data.readInt16LE(2 * i) / 32768)
        : Array.from(info.data, (b) => (b - 128) / 128);
      const peak = Math.max(...levels.map(Math.abs));
      assert.ok(peak > 0.5 && peak < 1, `peak ${peak}`);
    });
  }
});

describe("texts", () => {
  const files = [...PAGES.map((p) => `pages/${p.file}`), "js/ext_core.js", "js/tacklet.js"];
  for (const file of files) {
    test(`${file} converts to CP949 as the build does`, () => {
      const input = readFileSync(RESOURCES + file);
      const converted = execFileSync("iconv", ["-f", "UTF-8", "-t", "CP949"], { input });
      const back = execFileSync("iconv", ["-f", "CP949", "-t", "UTF-8"], { input: converted });
      assert.equal(back.toString("utf8"), input.toString("utf8"));
    });
  }
});
