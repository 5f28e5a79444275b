/*
 * Tacklet page script library (resource 320), loaded by every page after Ext.
 *
 * It holds what all pages share: the command codes understood by the program's
 * window.external.jscommand, the page state object DATA, the packet reader, the
 * close request every popup answers, and small date and padding helpers.
 */

// Command codes of window.external.jscommand, as the one-character texts the
// program reads back as numbers.
var CONST_SW_HIDE = "0";
var CONST_SW_MAXIMIZE = "1";
var CONST_SW_MINIMIZE = "2";
var CONST_SW_RESTORE = "3";
var CONST_SW_EXT = "4";
var CONST_SW_PAGE = "5";
var CONST_SW_PAGE_HIDE = "6";
var CONST_SW_MAIN_SHOW = "7";
var CONST_READ_EXT = "8";
var CONST_OPEN_URL = "9";

// Page state. Pages add cp, packet, IDX and jsonList as they learn them.
var DATA = { pgSz: 10 };

/*
 * Sends a command to the program. Pages write the code first; the program
 * reads the code from the last argument and its parameter from the one before,
 * so the arguments go out reversed, up to the last non-empty one. Empty
 * arguments before that one are passed on so positions stay put.
 */
function jscommand(s1, s2, s3, s4) {
    var host = window.external;
    if (s4) {
        host.jscommand(s4, s3, s2, s1);
    } else if (s3) {
        host.jscommand(s3, s2, s1);
    } else if (s2) {
        host.jscommand(s2, s1);
    } else if (s1) {
        host.jscommand(s1);
    }
}

/*
 * Read-only view of a packet text "<PKT><GBN>n</GBN>...</PKT>". There is no
 * escaping in packets: a value is whatever stands between the first opening
 * tag and the first closing tag after it.
 */
function Packet(xml) {
    this.m_xml = xml == null ? "" : String(xml);
}

Packet.prototype.get = function (tag) {
    var xml = this.m_xml;
    var open = xml.indexOf("<" + tag + ">");
    if (open < 0) {
        return "";
    }
    var start = xml.indexOf(">", open) + 1;
    var end = xml.indexOf("</" + tag + ">", start);
    if (end < 0) {
        return "";
    }
    return xml.substring(start, end);
};

// Asks the program to close the popup showing this page.
function onWebExit() {
    jscommand(CONST_SW_PAGE_HIDE, DATA.IDX);
}

function $(id) {
    return document.getElementById(id);
}

/*
 * Pads on the left with "0" up to len characters; longer texts stay as they are.
 */
String.prototype.zf = function (len) {
    var s = String(this);
    while (s.length < len) {
        s = "0" + s;
    }
    return s;
};

Number.prototype.zf = function (len) {
    return String(this).zf(len);
};

/*
 * Formats the date with the tokens yyyy, yy, MM, dd, E, HH, hh, mm, ss and
 * a/p. Tokens are found without regard to case but only the exact spellings
 * below are replaced, so "MM" is the month while "mm" is the minutes, and a
 * spelling such as "YYYY" stays in the text untouched.
 */
Date.prototype.format = function (f) {
    if (isNaN(this.getTime())) {
        return " ";
    }
    var d = this;
    var weekdays = ["일요일", "월요일", "화요일", "수요일", "목요일", "금요일", "토요일"];
    return String(f).replace(/yyyy|yy|MM|dd|E|HH|hh|mm|ss|a\/p/gi, function (token) {
        switch (token) {
            case "yyyy": return String(d.getFullYear());
            case "yy": return (d.getFullYear() % 1000).zf(2);
            case "MM": return (d.getMonth() + 1).zf(2);
            case "dd": return d.getDate().zf(2);
            case "E": return weekdays[d.getDay()];
            case "HH": return d.getHours().zf(2);
            case "hh": return (d.getHours() % 12 || 12).zf(2);
            case "mm": return d.getMinutes().zf(2);
            case "ss": return d.getSeconds().zf(2);
            case "a/p": return d.getHours() < 12 ? "오전" : "오후";
            default: return token;
        }
    });
};
